// Scenarios on the real exe: the registry and files of this Wine prefix are
// set up, the exe is started as a child process, and what it left is read.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "../scenarios/scenario.h"
#include "app/product.h"
#include "log/run_log.h"
#include "log/text.h"

// Outside namespace tavix: the Windows macros name the global HKEY and LONG.
namespace {

using tavix::CachedFilePath;
using tavix::kPackedCode32;
using tavix::kPackedCode64;
using tavix::kProductCode32;
using tavix::kProductCode64;
using tavix::kProductsKeyPrefix;
using tavix::kProductSpecificKey;
using tavix::kRunLogFileName;
using tavix::kScenarioMissingFolder;
using tavix::kScenarioTempFolder;
using tavix::ProductValue;
using tavix::Scenario;

std::wstring g_exe;  // the exe under test, set by main()

std::wstring W(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }
std::u16string U(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

// Deletes `name` and everything below it in the view `view` of `root`\`parent`.
void DeleteTree(::HKEY root, const wchar_t* parent, const wchar_t* name, REGSAM view) {
  ::HKEY key = nullptr;
  if (RegOpenKeyExW(root, parent, 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
    RegDeleteTreeW(key, name);
    RegCloseKey(key);
  }
}

void SetString(::HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name,
               const std::wstring& text) {
  ::HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void RemoveFile(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
}

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// The parent folders of `path`, created one by one.
void MakeFolders(const std::wstring& path) {
  for (std::size_t cut = path.find(L'\\', 3); cut != std::wstring::npos;
       cut = path.find(L'\\', cut + 1)) {
    CreateDirectoryW(path.substr(0, cut).c_str(), nullptr);
  }
}

class Win32World final : public tavix::ScenarioWorld {
 public:
  void Prepare(const Scenario& s) override {
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      DeleteTree(HKEY_LOCAL_MACHINE, L"Software", L"Velmoran", view);
      for (const char16_t* packed : {kPackedCode32, kPackedCode64}) {
        DeleteTree(HKEY_CLASSES_ROOT, L"Installer\\Products", W(packed).c_str(), view);
      }
    }
    for (const ProductValue& v : s.productValues) {
      SetString(HKEY_LOCAL_MACHINE, W(kProductSpecificKey), v.view, W(v.name), W(v.text));
    }
    const std::wstring key = W(kProductsKeyPrefix) + W(s.packedCode);
    if (s.transformsKey) {
      ::HKEY created = nullptr;
      ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                &created, nullptr),
                ERROR_SUCCESS);
      RegCloseKey(created);
    }
    if (s.transforms) SetString(HKEY_CLASSES_ROOT, key, 0, L"Transforms", W(*s.transforms));

    for (const char16_t* code : {kProductCode32, kProductCode64}) {
      RemoveFile(W(CachedFilePath(code)));
    }
    if (!s.cachedFileCode.empty()) {
      const std::wstring path = W(CachedFilePath(s.cachedFileCode));
      MakeFolders(path);
      WriteWholeFile(path, "transform");
      if (s.cachedFileReadOnly) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    }

    const std::wstring logName = W(kRunLogFileName);
    RemoveFile(W(kScenarioMissingFolder) + logName);
    RemoveDirectoryW(W(kScenarioMissingFolder).c_str());
    MakeFolders(W(kScenarioTempFolder));
    RemoveFile(W(kScenarioTempFolder) + logName);
    if (!s.earlierLog.empty()) WriteWholeFile(W(kScenarioTempFolder) + logName, s.earlierLog);
    tempFolder_ = W(s.tempFolderExists ? kScenarioTempFolder : kScenarioMissingFolder);
  }

  std::uint32_t Run(const std::u16string& arguments) override {
    // The child's environment is this one with TMP and TEMP pointing at the
    // scenario's folder.
    std::wstring environment;
    for (const wchar_t* entry = GetEnvironmentStringsW(); *entry; entry += wcslen(entry) + 1) {
      if (_wcsnicmp(entry, L"TMP=", 4) != 0 && _wcsnicmp(entry, L"TEMP=", 5) != 0) {
        environment.append(entry).push_back(L'\0');
      }
    }
    for (const wchar_t* name : {L"TMP=", L"TEMP="}) {
      environment.append(name).append(tempFolder_).push_back(L'\0');
    }
    environment.push_back(L'\0');

    std::wstring commandLine = L"\"" + g_exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + W(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(g_exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, &environment[0], nullptr, &startup, &process)) {
      ADD_FAILURE() << "cannot start the exe: error " << GetLastError();
      return 0xDEADBEEF;
    }
    WaitForSingleObject(process.hProcess, 60000);
    ::DWORD exitCode = 0xDEADBEEF;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
  }

  std::optional<std::string> ReadFile(const std::u16string& path) override {
    const HANDLE file = CreateFileW(W(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    ::DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
      bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
  }

  std::optional<Value> ReadTransforms(const char16_t* packedCode) override {
    const std::wstring key = W(kProductsKeyPrefix) + W(packedCode);
    ::DWORD type = 0;
    ::DWORD size = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), L"Transforms", RRF_RT_ANY | RRF_NOEXPAND,
                     &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    std::vector<wchar_t> data(size / 2 + 1, L'\0');
    RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), L"Transforms", RRF_RT_ANY | RRF_NOEXPAND, &type,
                 data.data(), &size);
    return Value{type, U(data.data())};
  }

  bool FileExists(const std::u16string& path) override {
    return GetFileAttributesW(W(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

 private:
  std::wstring tempFolder_;
};

}  // namespace

namespace tavix {

std::unique_ptr<ScenarioWorld> MakeScenarioWorld() { return std::make_unique<Win32World>(); }

}  // namespace tavix

namespace {

std::string Utf8(const std::u16string& text) { return tavix::WideToUtf8(text); }

// Runs the typical clean-up once on a freshly seeded sample installation and
// shows what it did.
int RunSample() {
  std::optional<Scenario> typical;
  for (const Scenario& s : tavix::AllScenarios()) {
    if (s.name == "TypicalRun") typical = s;
  }
  Win32World world;
  world.Prepare(*typical);
  const std::u16string key = std::u16string(kProductsKeyPrefix) + typical->packedCode;
  const std::u16string file = CachedFilePath(typical->cachedFileCode);
  auto show = [&](const char* when) {
    const auto value = world.ReadTransforms(typical->packedCode);
    std::printf(
        "Transforms %s : %s\n", when,
        value ? ("\"" + Utf8(value->text) + "\" (type " + std::to_string(value->type) + ")").c_str()
              : "(absent)");
    std::printf("Cached file %s : %s %s\n", when, Utf8(file).c_str(),
                world.FileExists(file) ? "exists" : "is gone");
  };
  std::printf("Sample installation: HKCR\\%s\n", Utf8(key).c_str());
  show("before");
  const std::uint32_t exitCode = world.Run(u"");
  const std::u16string logPath = std::u16string(kScenarioTempFolder) + kRunLogFileName;
  std::printf("\nRun log %s:\n%s\n", Utf8(logPath).c_str(),
              world.ReadFile(logPath).value_or("(no log)").c_str());
  std::printf("Exit code: %d (0x%08X)\n\n", static_cast<int>(exitCode),
              static_cast<unsigned>(exitCode));
  show("after");
  return exitCode == 0 ? 0 : 1;
}

}  // namespace

// Usage: scenarios.exe --exe=<Windows path of the exe> [--sample] [GoogleTest flags]
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  bool sample = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--exe=", 0) == 0) {
      const std::string path = arg.substr(6);
      g_exe.assign(path.begin(), path.end());
    }
    sample = sample || arg == "--sample";
  }
  if (g_exe.empty()) {
    std::fprintf(stderr, "usage: scenarios.exe --exe=PATH [--sample]\n");
    return 2;
  }
  return sample ? RunSample() : RUN_ALL_TESTS();
}
