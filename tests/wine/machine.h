// The machine the Windows tests run on: the registry and files of this
// Windows (or Wine prefix), and the clean-up run in a child process or in
// this one.
#ifndef TAVIX_TESTS_WINE_MACHINE_H_
#define TAVIX_TESTS_WINE_MACHINE_H_

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

namespace tavix {

// The system's names, spelt out rather than taken from its headers, so that
// a slip in one of its constants shows.
inline const std::wstring kProductKey =
                              L"Software\\Velmoran\\Velmoran Tavix\\R1.0\\ProductSpecific",
                          kInstaller32 = L"Installer\\Products\\1B74E2D6000033010020A5C9023F1E48",
                          kInstaller64 = L"Installer\\Products\\1B74E2D6000033011020A5C9023F1E48",
                          kCode32 = L"{6D2E47B1-0000-1033-0002-5A9C20F3E184}",
                          kCode64 = L"{6D2E47B1-0000-1033-0102-5A9C20F3E184}",
                          kTemp = L"C:\\tavix\\temp\\",  // the cases' temporary folder
    kLogName = L"VelmoranTavix_TransformsCleanUp.log", kLog = kTemp + kLogName;

extern std::wstring g_exe;  // the exe under test, from --exe=
extern bool g_plantedLink;  // --planted-link: a link stands at the log's name

// Deletes the product's keys in both views and, with `files`, C:\tavix and
// the product codes' folders in the Installer folder.
void Reset(bool files = true);
void PutFile(const std::wstring& path, const std::string& bytes, bool readOnly = false);
std::optional<std::string> GetFile(const std::wstring& path);
// Stores `text` and its NUL.
void PutValue(HKEY root, REGSAM view, const std::wstring& path, const wchar_t* name,
              const std::wstring& text, DWORD type = REG_SZ);
using Value = std::optional<std::pair<DWORD, std::wstring>>;  // type and data, NULs included
Value GetValue(HKEY root, REGSAM view, const std::wstring& path, const wchar_t* name);
std::string U8(const std::wstring& text);
std::string MaskTimes(const std::string& log);  // each line's HH:MM:SS as ##:##:##

// The full 32-bit exit code of one run with that temporary folder: of `exe`
// in a child process, or of the clean-up run in this process.
DWORD RunExe(const std::wstring& tempFolder, const std::wstring& arguments = L"",
             const std::wstring& exe = g_exe);
DWORD RunInProcess(const std::wstring& tempFolder);

}  // namespace tavix

#endif  // TAVIX_TESTS_WINE_MACHINE_H_
