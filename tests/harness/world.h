// The machine the shared suites run on: the simulated Windows on the host,
// the real one under Wine. Registry work goes through the seam's Platform,
// so the same calls seed and inspect both; files and runs are the world's.
#ifndef TAVIX_TESTS_HARNESS_WORLD_H_
#define TAVIX_TESTS_HARNESS_WORLD_H_

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tavix {

class World {
 public:
  struct RegCall {  // of the registry API; `text` is the subkey or value name
    std::string function;
    std::uintptr_t key;
    std::u16string text;
    REGSAM sam;
  };
  virtual ~World() = default;
  virtual Platform& platform() = 0;
  virtual bool twoViews() const = 0;  // false on 32-bit Windows
  virtual void Reset() = 0;           // removes the keys, values and files tests make
  virtual void MakeFolder(const std::u16string& path) = 0;
  virtual void PutFile(const std::u16string& path, const std::string& bytes,
                       bool readOnly = false) = 0;
  virtual std::optional<std::string> GetFile(const std::u16string& path) = 0;
  // True also for a link planted before the program started; false if it cannot.
  virtual bool PlantLink(const std::u16string& link, const std::u16string& target,
                         bool symbolic) = 0;
  // Runs the clean-up with that temporary folder; the full 32-bit exit code.
  virtual std::uint32_t Run(const std::u16string& tempFolder, const std::u16string& arguments) = 0;
  // The calls made through platform() since Reset or ClearCalls (at least
  // the opens, creates and closes), and the key handles left open.
  virtual std::vector<RegCall> RegistryCalls() const = 0;
  virtual void ClearCalls() = 0;
  virtual std::size_t OpenHandles() const = 0;
};
World& TheWorld();                     // this program's; its platform is the current one
bool ClosedARoot(const World& world);  // a predefined root reached RegCloseKey

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
std::string ShowValue(HKEY root, const std::u16string& path, const std::u16string& name,
                      REGSAM view = 0);
bool KeyExists(HKEY root, const std::u16string& path);
std::string MaskTimeStamps(const std::string& log);  // each line's HH:MM:SS as ##:##:##
std::string U8(const std::u16string& text);

// Whole runs as a table of cases: the machine before the run, and the exit
// code, log, "Transforms" value and cached file after it.
struct Case {
  const char* name;
  // Words: view64 (the product's values in the 64-bit view only), both (a
  // later build in the 64-bit view too), split (the Installer key in the
  // 32-bit view, another "Transforms" in the 64-bit view), nokey (no
  // Installer key), nofile (no cached file), readonly (the cached file),
  // notemp (no temporary folder, so no log), oldlog (an earlier run's log),
  // hardlink, symlink (the log's name is a link to a file that must keep its
  // bytes), args (a command line).
  const char* setup;
  const char16_t* build;   // "BuildVersion"; null: none
  const char16_t* code;    // "upiMasterID"; null: none
  const char16_t* before;  // "Transforms", '*' for the cached file's path; null: none
  // The log in words: START, GATE, UPDATED, X86, X64, NOTOURS, REPLACED,
  // FAILED, NOUPD, REMOVED, NOTREMOVED; a word ending in '=' shows an empty
  // value. The exit code is -1 after NOTOURS, else 0; the cached file is gone
  // after REMOVED, else still there.
  const char* log;
  // The new "Transforms" text, stored as REG_SZ where the log says REPLACED;
  // elsewhere the value stays as it was.
  const char16_t* newValue = nullptr;
};
struct Expected {
  std::uint32_t exitCode;
  std::u16string logFolder;
  std::optional<std::string> log;  // time stamps masked
  std::optional<RegValue> transforms;
  bool fileAfter;
};
const Case& FindCase(const std::string& name);
bool Seed(const Case& c);  // false when this world cannot hold the case
// What the case must leave; REMOVED and NOTREMOVED name `removedPath` if given.
Expected Expect(const Case& c, const std::u16string& removedPath = {});
std::uint32_t RunCase(const Case& c);
void Check(const Case& c, std::uint32_t exitCode, const Expected& e);

}  // namespace tavix

#endif  // TAVIX_TESTS_HARNESS_WORLD_H_
