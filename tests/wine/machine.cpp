// The machine, and the test program's entry:
//   wine_tests.exe [--exe=<Windows path of the exe>] [GoogleTest flags]
#include "machine.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "app/driver.h"
#include "log/run_log.h"
#include "log/text.h"
#include "registry/scoped_reg_key.h"

namespace tavix {

namespace fs = std::filesystem;
const char16_t kProductKey[] = u"Software\\Velmoran\\Velmoran Tavix\\R1.0\\ProductSpecific";
const char16_t kInstaller32[] = u"Installer\\Products\\1B74E2D6000033010020A5C9023F1E48";
const char16_t kInstaller64[] = u"Installer\\Products\\1B74E2D6000033011020A5C9023F1E48";
const char16_t kTemp[] = u"C:\\tavix\\temp\\";
const char16_t kLogName[] = u"VelmoranTavix_TransformsCleanUp.log";
std::u16string g_exe;
bool g_plantedLink = false;

namespace {

const wchar_t* W(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
const struct {
  HKEY root;
  const char16_t* path;
} kKeys[] = {{HkeyLocalMachine(), kProductKey},
             {HkeyCurrentUser(), kProductKey},
             {HkeyClassesRoot(), kInstaller32},
             {HkeyClassesRoot(), kInstaller64}};
const char16_t kBackup[] = u"Software\\Velmoran\\Velmoran Tavix\\R1.0\\TestBackup";
::HKEY H(HKEY key) { return reinterpret_cast<::HKEY>(key); }

// Copies each of the product's keys (both views) to or from the backup below
// HKEY_CURRENT_USER; true when one of them holds a real installation.
bool Backup(bool restore) {
  bool installed = false;
  int n = 0;
  for (const auto& key : kKeys) {
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      const std::wstring saved = W(kBackup) + (L"\\" + std::to_wstring(n++));
      ::HKEY from = nullptr, to = nullptr;
      if (restore && RegOpenKeyExW(H(HkeyCurrentUser()), saved.c_str(), 0, KEY_READ, &from) == 0)
        RegCreateKeyExW(H(key.root), W(key.path), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                        &to, nullptr);
      if (!restore && RegOpenKeyExW(H(key.root), W(key.path), 0, KEY_READ | view, &from) == 0) {
        for (const wchar_t* value : {L"BuildVersion", L"upiMasterID", L"ProductName"})
          installed |= RegQueryValueExW(from, value, nullptr, nullptr, nullptr, nullptr) == 0;
        RegCreateKeyExW(H(HkeyCurrentUser()), saved.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &to, nullptr);
      }
      if (from && to) RegCopyTreeW(from, nullptr, to);
      if (from) RegCloseKey(from);
      if (to) RegCloseKey(to);
    }
  }
  if (restore) RegDeleteTreeW(H(HkeyCurrentUser()), W(kBackup));
  return installed;
}

}  // namespace

bool TwoViews() {
  BOOL wow64 = FALSE;
  return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

void Reset(bool files) {
  for (const auto& key : kKeys) {
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      ::HKEY open = nullptr;
      if (RegOpenKeyExW(H(key.root), W(key.path), 0, KEY_ALL_ACCESS | view, &open) == 0) {
        RegDeleteTreeW(open, nullptr);
        RegCloseKey(open);
        RegDeleteKeyExW(H(key.root), W(key.path), view, 0);
      }
    }
  }
  if (!files) return;
  for (const wchar_t* tree :
       {L"C:\\tavix", L"C:\\windows\\Installer\\{6D2E47B1-0000-1033-0002-5A9C20F3E184}",
        L"C:\\windows\\Installer\\{6D2E47B1-0000-1033-0102-5A9C20F3E184}"}) {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(tree, ignored))
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);  // read-only files too
    fs::remove_all(tree, ignored);
  }
}

void PutFile(const std::u16string& path, const std::string& bytes, bool readOnly) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(fs::path(path), std::ios::binary) << bytes;
  if (readOnly) SetFileAttributesW(W(path), FILE_ATTRIBUTE_READONLY);
}

std::optional<std::string> GetFile(const std::u16string& path) {
  std::ifstream file(fs::path(path), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<BYTE> Utf16Bytes(const std::u16string& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(bytes, bytes + text.size() * 2);
}

void PutValue(HKEY root, REGSAM view, const std::u16string& path, const std::u16string& name,
              const RegValue& value) {
  ::HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(H(root), W(path), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr),
      0);
  EXPECT_EQ(RegSetValueExW(key, W(name), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size())),
            0);
  RegCloseKey(key);
}

void PutString(HKEY root, REGSAM view, const std::u16string& path, const std::u16string& name,
               const std::u16string& text, DWORD type) {
  PutValue(root, view, path, name, {type, Utf16Bytes(text + u'\0')});
}

std::string ShowValue(const std::optional<RegValue>& value) {
  if (!value) return "(none)";
  std::u16string text(value->data.size() / 2, u'\0');
  std::memcpy(&text[0], value->data.data(), text.size() * 2);
  return "type " + std::to_string(value->type) + ": " + U8(text);
}

std::string ShowValue(HKEY root, REGSAM view, const std::u16string& path,
                      const std::u16string& name) {
  RegValue value{0, std::vector<BYTE>(4096)};
  ::DWORD size = 4096, type = 0;
  ::HKEY key = nullptr;
  const bool found = RegOpenKeyExW(H(root), W(path), 0, KEY_READ | view, &key) == 0 &&
                     RegQueryValueExW(key, W(name), nullptr, &type, value.data.data(), &size) == 0;
  if (key) RegCloseKey(key);
  if (!found) return ShowValue(std::nullopt);
  value.type = type;
  value.data.resize(size);
  return ShowValue(value);
}

bool KeyExists(HKEY root, const std::u16string& path) {
  ::HKEY key = nullptr;
  const bool exists = RegOpenKeyExW(H(root), W(path), 0, KEY_READ, &key) == 0;
  if (exists) RegCloseKey(key);
  return exists;
}

std::string MaskTimeStamps(const std::string& log) {
  return std::regex_replace(log, std::regex("(^|\n)[0-9]{2}:[0-9]{2}:[0-9]{2}"), "$1##:##:##");
}

std::string U8(const std::u16string& text) { return WideToUtf8(text); }

std::uint32_t RunOnce(const std::u16string& tempFolder, const std::u16string& arguments,
                      bool inProcess) {
  SetEnvironmentVariableW(L"TMP", W(tempFolder));
  SetEnvironmentVariableW(L"TEMP", W(tempFolder));
  if (inProcess) {
    const int exitCode = RunCleanUp();
    ResetRunLogForTesting();  // closes the log as the end of the process does
    return static_cast<std::uint32_t>(exitCode);
  }
  std::wstring commandLine = L"\"" + std::wstring(W(g_exe)) + L"\" " + W(arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ::DWORD exitCode = 0xDEADBEEF;
  if (CreateProcessW(W(g_exe), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process)) {
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return exitCode;
}

}  // namespace tavix

int main(int argc, char** argv) {
  ::HKEY key = nullptr;
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--exe=", 0) == 0) tavix::g_exe = tavix::Utf8ToWide(arg.substr(6));
    tavix::g_plantedLink |= arg == "--planted-link";
  }
  // On a developer's machine the product's keys may be real: refuse to run
  // where they hold an installation; whatever else is there comes back after
  // (and first, where a run was cut short).
  if (tavix::KeyExists(tavix::HkeyCurrentUser(), tavix::kBackup)) {
    tavix::Reset();
    tavix::Backup(true);
  }
  RegCreateKeyExW(HKEY_CURRENT_USER, tavix::W(tavix::kBackup), 0, nullptr, 0, KEY_WRITE, nullptr,
                  &key, nullptr);
  RegCloseKey(key);
  if (tavix::Backup(false)) {
    std::fprintf(stderr, "The product is installed here; these tests would change it. Refused.\n");
    tavix::Backup(true);
    return 2;
  }
  const int result = RUN_ALL_TESTS();
  tavix::Reset();
  tavix::Backup(true);
  return result;
}
