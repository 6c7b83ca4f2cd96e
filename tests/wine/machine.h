// The machine: registry, files, the run in a child process or in this one, and Windows' answers
// bent for the product's code, which calls every system function through the import table.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <utility>

#include "app/driver.h"
#include "log/run_log.h"

namespace tavix {

namespace fs = std::filesystem;

// The system's names, spelt out so that a slip in one of its constants shows.
inline const std::wstring kProductKey =
                              L"Software\\Velmoran\\Velmoran Tavix\\R1.0\\ProductSpecific",
                          kInstaller32 = L"Installer\\Products\\1B74E2D6000033010020A5C9023F1E48",
                          kInstaller64 = L"Installer\\Products\\1B74E2D6000033011020A5C9023F1E48",
                          kCode32 = L"{6D2E47B1-0000-1033-0002-5A9C20F3E184}",
                          kCode64 = L"{6D2E47B1-0000-1033-0102-5A9C20F3E184}",
                          kTemp = L"C:\\tavix\\temp\\",  // the cases' temporary folder
    kLogName = L"VelmoranTavix_TransformsCleanUp.log", kLog = kTemp + kLogName;
inline const std::pair<HKEY, std::wstring> kKeys[] = {{HKEY_LOCAL_MACHINE, kProductKey},
                                                      {HKEY_CLASSES_ROOT, kInstaller32},
                                                      {HKEY_CLASSES_ROOT, kInstaller64}};
inline std::wstring g_exe;  // the exe under test, from --exe=

// Deletes the product's keys in both views, C:\tavix and the product's Installer folders.
inline void Reset() {
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
    fs::remove_all(tree, ignored);
  }
}

inline void PutFile(const std::wstring& path, const std::string& bytes, bool readOnly = false) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(fs::path(path), std::ios::binary) << bytes;
  if (readOnly) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
}

inline std::optional<std::string> GetFile(const std::wstring& path) {
  std::ifstream file(fs::path(path), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Stores `text` and its NUL.
inline void PutValue(HKEY root, REGSAM view, const std::wstring& path, const wchar_t* name,
                     const std::wstring& text, DWORD type = REG_SZ) {
  HKEY key = nullptr;
  RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr);
  EXPECT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1) * 2),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// The type and data (NULs included) in the process's view or, with `view`, the 32-bit one.
using Value = std::optional<std::pair<DWORD, std::wstring>>;
inline Value GetValue(HKEY root, REGSAM view, const std::wstring& path, const wchar_t* name) {
  std::wstring data(2048, L'\0');
  DWORD type = 0;
  DWORD size = 4096;
  const DWORD flags = RRF_RT_ANY | RRF_NOEXPAND | (view ? RRF_SUBKEY_WOW6432KEY : 0);
  if (RegGetValueW(root, path.c_str(), name, flags, &type, &data[0], &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::pair(type, data.substr(0, size / 2));
}

inline std::string U8(const std::wstring& text) { return WideToUtf8(text); }

inline std::string MaskTimes(const std::string& log) {  // each line's HH:MM:SS as ##:##:##
  return std::regex_replace(log, std::regex("(^|\n)[0-9]{2}:[0-9]{2}:[0-9]{2}"), "$1##:##:##");
}

// The full 32-bit exit code of the exe under test, run with the temporary folder kTemp.
inline DWORD RunExe() {
  std::wstring commandLine = L"\"" + g_exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  DWORD exitCode = 0xDEADBEEF;  // not started, or still running after a minute
  if (CreateProcessW(g_exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process)) {
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
      GetExitCodeProcess(process.hProcess, &exitCode);
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return exitCode;
}

inline DWORD RunInProcess() {
  const int exitCode = RunCleanUp();
  ResetRunLogForTesting();
  return static_cast<DWORD>(exitCode);
}

// Windows' own functions, by name, as found before the first Bend of each.
inline std::map<std::string, void*> g_originals;
#define TAVIX_REAL(name) reinterpret_cast<decltype(&::name)>(g_originals.at(#name))

template <typename F>
class Bend {
 public:
  Bend(const char* name, F replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; dll->Name != 0 && slot_ == nullptr; ++dll) {
      const auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
      for (std::size_t i = 0; names[i].u1.AddressOfData != 0 && slot_ == nullptr; ++i) {
        if (!IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal) &&
            std::strcmp(
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData)->Name,
                name) == 0)
          slot_ = reinterpret_cast<void**>(base + dll->FirstThunk) + i;
      }
    }
    if (slot_ == nullptr) throw std::runtime_error(std::string("not imported: ") + name);
    DWORD protection = 0;  // the table stays writable for the rest of the tests
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
    g_originals.emplace(name, *slot_);
    previous_ = *slot_;
    *slot_ = reinterpret_cast<void*>(replacement);
  }
  ~Bend() { *slot_ = previous_; }
  Bend(const Bend&) = delete;
  Bend& operator=(const Bend&) = delete;

 private:
  void** slot_ = nullptr;
  void* previous_ = nullptr;
};

// Bends `name` for the rest of the scope: TAVIX_BEND(GetTempPathW, [](DWORD, LPWSTR) WINAPI ...).
#define TAVIX_BEND(name, ...) const Bend<decltype(&::name)> bend_##name(#name, __VA_ARGS__)

}  // namespace tavix
