// The machine the Windows tests run on: the registry and files of this
// Windows (or Wine prefix), and the clean-up run as the exe under test in a
// child process or in this process.
#ifndef TAVIX_TESTS_WINE_MACHINE_H_
#define TAVIX_TESTS_WINE_MACHINE_H_

#include <windows.h>

#include <optional>
#include <string>

namespace tavix {

// The system's names, spelt out here rather than taken from its headers, so
// that a slip in one of its constants shows.
inline constexpr wchar_t kProductKey[] =
    L"Software\\Velmoran\\Velmoran Tavix\\R1.0\\ProductSpecific";
inline constexpr wchar_t kInstaller32[] = L"Installer\\Products\\1B74E2D6000033010020A5C9023F1E48";
inline constexpr wchar_t kInstaller64[] = L"Installer\\Products\\1B74E2D6000033011020A5C9023F1E48";
inline constexpr wchar_t kCode32[] = L"{6D2E47B1-0000-1033-0002-5A9C20F3E184}";
inline constexpr wchar_t kCode64[] = L"{6D2E47B1-0000-1033-0102-5A9C20F3E184}";
inline constexpr wchar_t kTemp[] = L"C:\\tavix\\temp\\";  // the cases' temporary folder
inline constexpr wchar_t kLogName[] = L"VelmoranTavix_TransformsCleanUp.log";

extern std::wstring g_exe;  // the exe under test, from --exe=
extern bool g_plantedLink;  // --planted-link: a link stands at the log's name
bool TwoViews();            // false for a 32-bit process on 32-bit Windows
// Deletes the product's keys in both views and, with `files`, C:\tavix and
// the product codes' folders of the Installer folder.
void Reset(bool files = true);

void PutFile(const std::wstring& path, const std::string& bytes, bool readOnly = false);
std::optional<std::string> GetFile(const std::wstring& path);
void PutValue(HKEY root, REGSAM view, const std::wstring& path, const wchar_t* name, DWORD type,
              const std::wstring& data);  // `data` as it is stored, NULs included
void PutString(HKEY root, REGSAM view, const std::wstring& path, const wchar_t* name,
               const std::wstring& text, DWORD type = REG_SZ);  // with its NUL
// A value as "type N: text", its NULs shown as '|', or "(none)".
std::string ShowValue(HKEY root, REGSAM view, const std::wstring& path, const wchar_t* name);
std::string Shown(DWORD type, const std::wstring& data);
std::string U8(const std::wstring& text);
std::string MaskTimes(const std::optional<std::string>& log);  // HH:MM:SS as ##:##:##

// The full 32-bit exit code of one run with that temporary folder: of `exe`
// (the exe under test by default), or of the clean-up run in this process.
DWORD RunExe(const std::wstring& tempFolder, const std::wstring& arguments = L"",
             std::wstring exe = g_exe);
DWORD RunInProcess(const std::wstring& tempFolder);

}  // namespace tavix

#endif  // TAVIX_TESTS_WINE_MACHINE_H_
