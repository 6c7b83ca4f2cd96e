// The machine the Windows tests run on: the registry and files of this
// Windows (or Wine prefix), the exe under test started as a child process,
// or the clean-up run in this process over a TestPlatform.
#ifndef TAVIX_TESTS_WINE_MACHINE_H_
#define TAVIX_TESTS_WINE_MACHINE_H_

#include <optional>
#include <string>
#include <vector>

#include "test_platform.h"

namespace tavix {

// The only keys the tests write: the product's own key (below
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER) and its two Installer keys.
extern const char16_t kProductKey[], kInstaller32[], kInstaller64[];
extern std::u16string g_exe;  // the exe under test, from --exe=
extern bool g_plantedLink;    // --planted-link: a link stands at the log's name
bool TwoViews();              // false for a 32-bit process on 32-bit Windows
// Deletes the product's keys in both views and, with `files`, the tests'
// files and folders.
void Reset(bool files = true);

void PutFile(const std::u16string& path, const std::string& bytes, bool readOnly = false);
std::optional<std::string> GetFile(const std::u16string& path);

struct RegValue {
  DWORD type;
  std::vector<BYTE> data;
};
std::vector<BYTE> Utf16Bytes(const std::u16string& text);  // no NUL added
// Creates `path` below `root` in `view` and stores the value there.
void PutValue(HKEY root, REGSAM view, const std::u16string& path, const std::u16string& name,
              const RegValue& value);
void PutString(HKEY root, REGSAM view, const std::u16string& path, const std::u16string& name,
               const std::u16string& text, DWORD type = kRegSz);
// A value as "type N: text", NULs included, or "(none)".
std::string ShowValue(const std::optional<RegValue>& value);
std::string ShowValue(HKEY root, REGSAM view, const std::u16string& path,
                      const std::u16string& name);
bool KeyExists(HKEY root, const std::u16string& path);
std::string MaskTimeStamps(const std::string& log);  // each line's HH:MM:SS as ##:##:##
std::string U8(const std::u16string& text);

// Runs the clean-up with that temporary folder: the exe as a child process,
// or, `inProcess`, in this process over the current platform. The full
// 32-bit exit code.
std::uint32_t RunOnce(const std::u16string& tempFolder, const std::u16string& arguments = u"",
                      bool inProcess = false);

extern const char16_t kTemp[], kLogName[];  // where the cases' log goes

}  // namespace tavix

#endif  // TAVIX_TESTS_WINE_MACHINE_H_
