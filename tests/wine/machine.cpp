// The machine, and the test program's entry:
//   wine_tests.exe [--exe=<Windows path of the exe>] [--planted-link] [GoogleTest flags]
#include "machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "app/driver.h"
#include "log/run_log.h"

namespace tavix {

namespace fs = std::filesystem;
std::wstring g_exe;
bool g_plantedLink = false;

namespace {

const std::pair<HKEY, std::wstring> kKeys[] = {{HKEY_LOCAL_MACHINE, kProductKey},
                                               {HKEY_CLASSES_ROOT, kInstaller32},
                                               {HKEY_CLASSES_ROOT, kInstaller64}};
// Stands while the tests run: product keys found with it are their own.
const std::wstring kMarker = L"Software\\Velmoran\\Velmoran Tavix tests running";

void SetTemp(const std::wstring& folder) {
  SetEnvironmentVariableW(L"TMP", folder.c_str());
  SetEnvironmentVariableW(L"TEMP", folder.c_str());
}

}  // namespace

void Reset(bool files) {
  for (const auto& [root, path] : kKeys) {
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
      RegDeleteKeyExW(root, path.c_str(), view, 0);
  }
  const std::wstring installer = L"C:\\windows\\Installer\\";
  for (const std::wstring& tree :
       {std::wstring(L"C:\\tavix"), installer + kCode32, installer + kCode64}) {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(tree, ignored))
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);  // read-only files too
    if (files) fs::remove_all(tree, ignored);
  }
}

void PutFile(const std::wstring& path, const std::string& bytes, bool readOnly) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(fs::path(path), std::ios::binary) << bytes;
  if (readOnly) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
}

std::optional<std::string> GetFile(const std::wstring& path) {
  std::ifstream file(fs::path(path), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void PutValue(HKEY root, REGSAM view, const std::wstring& path, const wchar_t* name,
              const std::wstring& text, DWORD type) {
  HKEY key = nullptr;
  RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr);
  EXPECT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1) * 2),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

Value GetValue(HKEY root, REGSAM view, const std::wstring& path, const wchar_t* name) {
  std::wstring data(2048, L'\0');
  DWORD type = 0, size = 4096;
  const DWORD flags = RRF_RT_ANY | RRF_NOEXPAND |
                      (view == KEY_WOW64_64KEY ? RRF_SUBKEY_WOW6464KEY : 0) |
                      (view == KEY_WOW64_32KEY ? RRF_SUBKEY_WOW6432KEY : 0);
  if (RegGetValueW(root, path.c_str(), name, flags, &type, &data[0], &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::pair(type, data.substr(0, size / 2));
}

std::string U8(const std::wstring& text) { return WideToUtf8(text); }

std::string MaskTimes(const std::string& log) {
  return std::regex_replace(log, std::regex("(^|\n)[0-9]{2}:[0-9]{2}:[0-9]{2}"), "$1##:##:##");
}

DWORD RunExe(const std::wstring& tempFolder, const std::wstring& arguments,
             const std::wstring& exe) {
  SetTemp(tempFolder);
  std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  DWORD exitCode = 0xDEADBEEF;  // not started, or still running after a minute
  if (CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process)) {
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
      GetExitCodeProcess(process.hProcess, &exitCode);
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return exitCode;
}

DWORD RunInProcess(const std::wstring& tempFolder) {
  SetTemp(tempFolder);
  const int exitCode = RunCleanUp();
  ResetRunLogForTesting();
  return static_cast<DWORD>(exitCode);
}

}  // namespace tavix

int wmain(int argc, wchar_t** argv) {
  using namespace tavix;
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg.rfind(L"--exe=", 0) == 0) g_exe = arg.substr(6);
    g_plantedLink |= arg == L"--planted-link";
  }
  // The tests write the product's keys and remove what they made: where the
  // keys exist and this program did not leave them, the product is installed.
  bool installed = false;
  for (const auto& [root, path] : kKeys) {
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY key = nullptr;
      installed |= RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS;
      if (key) RegCloseKey(key);
    }
  }
  if (installed && !GetValue(HKEY_CURRENT_USER, 0, kMarker, L"")) {
    std::fprintf(stderr,
                 "The product's keys exist here; these tests would change them. Refused.\n");
    return 2;
  }
  PutValue(HKEY_CURRENT_USER, 0, kMarker, L"", L"");
  const int result = RUN_ALL_TESTS();
  Reset();
  RegDeleteKeyW(HKEY_CURRENT_USER, kMarker.c_str());
  return result;
}
