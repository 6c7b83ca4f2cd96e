// The machine the tests run on: its registry and files, the exe run as a child process or the
// clean-up run in this process, and Windows' answers bent where the product's code calls Windows.
#pragma once

#include <gtest/gtest.h>
#include <process.h>
#include <windows.h>
#include <winternl.h>

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

// The product's names, spelt out here so that a slip in one of its constants shows.
inline constexpr wchar_t kProductKey[] =
    L"Software\\Velmoran\\Velmoran Tavix\\R1.0\\ProductSpecific";
inline constexpr wchar_t kInstaller32[] = L"Installer\\Products\\1B74E2D6000033010020A5C9023F1E48";
inline constexpr wchar_t kInstaller64[] = L"Installer\\Products\\1B74E2D6000033011020A5C9023F1E48";
inline constexpr wchar_t kCode32[] = L"{6D2E47B1-0000-1033-0002-5A9C20F3E184}";
inline constexpr wchar_t kCode64[] = L"{6D2E47B1-0000-1033-0102-5A9C20F3E184}";
inline constexpr wchar_t kLogName[] = L"VelmoranTavix_TransformsCleanUp.log";
inline const std::wstring kTemp = L"C:\\tavix\\temp\\";  // the cases' temporary folder
inline const std::wstring kLog = kTemp + kLogName;
inline const std::wstring kFallback = L"C:\\temp\\";  // the product's fallback folder
inline std::wstring g_exe;                            // the exe under test, from --exe=
inline std::wstring g_inheritedTmp;   // TMP as this program inherited it, empty for none
inline std::wstring g_inheritedTemp;  // the temporary folder Windows gave with it

// A folder as this system names it: GetSystemWindowsDirectoryW, GetSystemDirectoryW.
inline std::wstring SystemFolder(UINT(WINAPI* get)(LPWSTR, UINT)) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = get(folder, MAX_PATH);
  return std::wstring(folder, length < MAX_PATH ? length : 0);
}
inline std::wstring CachedFile(const std::wstring& code) {
  return SystemFolder(GetSystemWindowsDirectoryW) + L"\\Installer\\" + code +
         L"\\VelmoranTavix.mst";
}
// The temporary folder of SYSTEM with its profile loaded, below the system folder.
inline std::wstring SystemTemp() {
  return SystemFolder(GetSystemDirectoryW) + L"\\config\\systemprofile\\AppData\\Local\\Temp\\";
}

// Deletes all the tests write: the product's keys and Installer folders, C:\tavix, the logs.
inline void Reset() {
  for (const wchar_t* path : {kProductKey, kInstaller32, kInstaller64}) {
    const HKEY root = path == kProductKey ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
    RegDeleteKeyExW(root, path, KEY_WOW64_32KEY, 0);
    RegDeleteKeyExW(root, path, KEY_WOW64_64KEY, 0);
  }
  std::error_code ignored;
  for (const wchar_t* code : {kCode32, kCode64}) {
    SetFileAttributesW(CachedFile(code).c_str(), FILE_ATTRIBUTE_NORMAL);  // if read-only
    fs::remove_all(fs::path(CachedFile(code)).parent_path(), ignored);
  }
  fs::remove_all(L"C:\\tavix", ignored);
  fs::remove(SystemTemp() + kLogName, ignored);
  fs::remove(kFallback + kLogName, ignored);
  if (!g_inheritedTemp.empty()) fs::remove(g_inheritedTemp + kLogName, ignored);
}

inline void PutFile(const std::wstring& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(fs::path(path), std::ios::binary) << bytes;
}

inline std::optional<std::string> GetFile(const std::wstring& path) {
  std::ifstream file(fs::path(path), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Stores `text` with its NUL, or its first `bytes` bytes.
inline void PutValue(HKEY root, REGSAM view, const std::wstring& path, const wchar_t* name,
                     const std::wstring& text, DWORD type = REG_SZ, DWORD bytes = 0) {
  HKEY key = nullptr;
  RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr);
  const DWORD size = bytes != 0 ? bytes : static_cast<DWORD>(text.size() + 1) * 2;
  const auto* data = reinterpret_cast<const BYTE*>(text.c_str());
  EXPECT_EQ(RegSetValueExW(key, name, 0, type, data, size), ERROR_SUCCESS) << "seeding " << name;
  RegCloseKey(key);
}

// The type and data (NULs included) of a value below HKEY_CLASSES_ROOT.
using Value = std::optional<std::pair<DWORD, std::wstring>>;
inline Value GetValue(const std::wstring& path, const wchar_t* name) {
  std::wstring data(2048, L'\0');
  DWORD type = 0;
  DWORD size = 4096;
  const DWORD flags = RRF_RT_ANY | RRF_NOEXPAND;
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, flags, &type, data.data(), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::pair(type, data.substr(0, size / 2));
}

inline std::string U8(const std::wstring& text) { return WideToUtf8(text); }

inline std::string MaskTimes(const std::string& log) {  // each line's HH:MM:SS as ##:##:##
  return std::regex_replace(log, std::regex("(^|\n)[0-9]{2}:[0-9]{2}:[0-9]{2}"), "$1##:##:##");
}

// The exe's full 32-bit exit code, in this environment; started again if Wine fails to start it.
inline DWORD RunExe() {
  intptr_t started = _wspawnl(_P_NOWAIT, g_exe.c_str(), g_exe.c_str(), nullptr);
  if (started == -1) started = _wspawnl(_P_NOWAIT, g_exe.c_str(), g_exe.c_str(), nullptr);
  if (started == -1) return 0xDEADBEEF;
  const auto process = reinterpret_cast<HANDLE>(started);
  DWORD exitCode = 0;
  WaitForSingleObject(process, INFINITE);
  GetExitCodeProcess(process, &exitCode);
  CloseHandle(process);
  return exitCode;
}

// Windows' own functions, by name, as found before the first Bend of each.
inline std::map<std::string, void*> g_originals;
#define TAVIX_REAL(name) reinterpret_cast<decltype(&::name)>(g_originals.at(#name))

// Points this program's import of `name` at `replacement` while it lives. MinGW calls every
// system function through the import table, the product's code included.
template <typename F>
class Bend {
 public:
  Bend(const char* name, F replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const LONG headersAt = reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew;
    const auto& imports = reinterpret_cast<IMAGE_NT_HEADERS*>(base + headersAt)
                              ->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         dll->Name != 0; ++dll) {
      const auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
      for (std::size_t i = 0; names[i].u1.AddressOfData != 0; ++i) {
        const auto* import =
            reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData);
        const bool byName = !IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal);
        if (byName && std::strcmp(import->Name, name) == 0) {
          slot_ = reinterpret_cast<void**>(base + dll->FirstThunk) + i;
        }
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
