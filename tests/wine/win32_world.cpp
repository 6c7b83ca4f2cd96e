// The world on real Windows (under Wine): this prefix's registry and files,
// the exe under test started as a child process.
//   wine_tests.exe [--exe=<Windows path of the exe>] [GoogleTest flags]
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "platform/win32_platform.h"
#include "world.h"

namespace {
// Outside namespace tavix, where the macros' HKEY is the global one.
const ::HKEY kMachine = HKEY_LOCAL_MACHINE, kClasses = HKEY_CLASSES_ROOT, kUser = HKEY_CURRENT_USER;
}  // namespace

namespace tavix {
namespace {

namespace fs = std::filesystem;
std::wstring W(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// The real registry, with its opens, creates and closes recorded.
class TrackedPlatform final : public Win32Platform {
 public:
  LONG RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM sam,
                     HKEY* result) override {
    const LONG answer = Win32Platform::RegOpenKeyExW(key, subKey, options, sam, result);
    return Record("RegOpenKeyExW", key, subKey, sam, answer, answer == 0 ? *result : nullptr);
  }
  LONG RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD reserved, char16_t* keyClass,
                       DWORD options, REGSAM sam, const void* security, HKEY* result,
                       DWORD* disposition) override {
    const LONG answer = Win32Platform::RegCreateKeyExW(key, subKey, reserved, keyClass, options,
                                                       sam, security, result, disposition);
    return Record("RegCreateKeyExW", key, subKey, sam, answer, answer == 0 ? *result : nullptr);
  }
  LONG RegCloseKey(HKEY key) override {
    open -= 1;
    return Record("RegCloseKey", key, nullptr, 0, Win32Platform::RegCloseKey(key), nullptr);
  }
  LONG Record(const char* function, HKEY key, const char16_t* text, REGSAM sam, LONG answer,
              HKEY opened) {
    calls.push_back({function, reinterpret_cast<std::uintptr_t>(key), text ? text : u"", sam});
    open += opened != nullptr && !IsPredefinedKey(opened);
    return answer;
  }
  std::vector<World::RegCall> calls;
  std::ptrdiff_t open = 0;
};

class Win32World final : public World {
 public:
  Win32World() { SetCurrentPlatform(&platform_); }
  Platform& platform() override { return platform_; }
  bool twoViews() const override {
    BOOL wow64 = FALSE;
    return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
  }
  void Reset() override {
    const struct {
      ::HKEY root;
      const wchar_t *parent, *name;
    } trees[] = {{kMachine, L"Software", L"Velmoran"},
                 {kMachine, L"Software", L"TavixTest"},
                 {kClasses, L"Installer", L"Products"},
                 {kClasses, nullptr, L"TavixTest"},
                 {kUser, L"Software", L"TavixTest"}};
    for (const auto& tree : trees) {
      for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        ::HKEY key = nullptr;
        if (::RegOpenKeyExW(tree.root, tree.parent, 0, KEY_ALL_ACCESS | view, &key) == 0) {
          ::RegDeleteTreeW(key, tree.name);
          ::RegCloseKey(key);
        }
      }
    }
    ::RegDeleteKeyValueW(kUser, nullptr, L"TavixTest");
    for (const fs::path& file : files_) {
      std::error_code ignored;
      fs::permissions(file, fs::perms::owner_write, fs::perm_options::add, ignored);
      fs::remove(file, ignored);
    }
    files_.clear();
    ClearCalls();
  }
  void MakeFolder(const std::u16string& path) override { fs::create_directories(W(path)); }
  void PutFile(const std::u16string& path, const std::string& bytes, bool readOnly) override {
    files_.push_back(W(path));
    fs::create_directories(files_.back().parent_path());
    std::ofstream(files_.back(), std::ios::binary) << bytes;
    if (readOnly) fs::permissions(files_.back(), fs::perms::owner_write, fs::perm_options::remove);
  }
  std::optional<std::string> GetFile(const std::u16string& path) override {
    files_.push_back(W(path));  // the exe's log and file go at the next reset
    std::ifstream file(files_.back(), std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  bool PlantLink(const std::u16string& link, const std::u16string& target, bool symbolic) override {
    files_.push_back(W(link));
    // Wine makes no symbolic links: those are planted from Linux beforehand.
    return GetFileAttributesW(W(link).c_str()) != INVALID_FILE_ATTRIBUTES ||
           (!symbolic && CreateHardLinkW(W(link).c_str(), W(target).c_str(), nullptr));
  }
  std::uint32_t Run(const std::u16string& tempFolder, const std::u16string& arguments) override {
    SetEnvironmentVariableW(L"TMP", W(tempFolder).c_str());
    SetEnvironmentVariableW(L"TEMP", W(tempFolder).c_str());
    std::wstring commandLine = L"\"" + exe + L"\" " + W(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ::DWORD exitCode = 0xDEADBEEF;
    if (CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
      WaitForSingleObject(process.hProcess, 60000);
      GetExitCodeProcess(process.hProcess, &exitCode);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
    return exitCode;
  }
  std::vector<RegCall> RegistryCalls() const override { return platform_.calls; }
  void ClearCalls() override { platform_.calls.clear(); }
  std::size_t OpenHandles() const override { return static_cast<std::size_t>(platform_.open); }

  std::wstring exe;

 private:
  TrackedPlatform platform_;
  std::vector<fs::path> files_;
};

Win32World* g_world;

}  // namespace

World& TheWorld() { return *g_world; }

}  // namespace tavix

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tavix::Win32World world;
  tavix::g_world = &world;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--exe=", 0) == 0) world.exe.assign(arg.begin() + 6, arg.end());
  }
  return RUN_ALL_TESTS();
}
