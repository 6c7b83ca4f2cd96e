// The machine the shared suites run on: the simulated Windows on the host,
// the real one under Wine. Registry work goes through the seam's Platform,
// so the same calls seed and inspect both; files and runs are the world's.
#ifndef TAVIX_TESTS_HARNESS_WORLD_H_
#define TAVIX_TESTS_HARNESS_WORLD_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tavix {

class World {
 public:
  // A recorded call of RegOpenKeyExW, RegCreateKeyExW or RegCloseKey.
  struct RegCall {
    std::string function;
    std::uintptr_t key;
    std::u16string text;  // the subkey; "<null>" for none
    REGSAM sam;
  };
  virtual ~World() = default;
  virtual Platform& platform() = 0;
  virtual bool twoViews() const = 0;  // false on 32-bit Windows
  // Removes what tests make: their keys, values and files.
  virtual void Reset() = 0;
  virtual void MakeFolder(const std::u16string& path) = 0;
  virtual void PutFile(const std::u16string& path, const std::string& bytes,
                       bool readOnly = false) = 0;
  virtual std::optional<std::string> GetFile(const std::u16string& path) = 0;
  // Makes `link` a hard or symbolic link to `target`; true also when a link
  // was planted there before this program started. False when this world
  // cannot make one.
  virtual bool PlantLink(const std::u16string& link, const std::u16string& target,
                         bool symbolic) = 0;
  // Runs the clean-up with `tempFolder` as the temporary folder; the full
  // 32-bit exit code.
  virtual std::uint32_t Run(const std::u16string& tempFolder, const std::u16string& arguments) = 0;
  // The calls made through platform() since the last reset or ClearCalls,
  // and the key handles left open (a run of the real exe is another process).
  virtual std::vector<RegCall> RegistryCalls() const = 0;
  virtual void ClearCalls() = 0;
  virtual std::size_t OpenHandles() const = 0;
};

// The one world of this test program. Its platform is the current one.
World& TheWorld();
// Whether a predefined root reached RegCloseKey among the world's calls.
bool ClosedARoot(const World& world);

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
// A value as "type N: text", NULs included; "(none)" when there is none.
std::string ShowValue(HKEY root, const std::u16string& path, const std::u16string& name);
std::string ShowValue(const std::optional<RegValue>& value);
bool KeyExists(HKEY root, const std::u16string& path, REGSAM view = 0);

// Log bytes with each line's "HH:MM:SS" replaced by "##:##:##".
std::string MaskTimeStamps(const std::string& bytes);
std::string U8(const std::u16string& text);

// Whole clean-up runs as a table of cases: the machine before the run, and
// the exit code, log, "Transforms" value and cached file after it. One runner
// serves the simulated platform and the real exe under Wine.
struct Case {
  const char* name;
  // Words: view64 (the product's values in the 64-bit view only), both (a
  // later build in the 64-bit view too), nokey (no Installer key), nofile (no
  // cached file), readonly (the cached file), notemp (the temporary folder is
  // missing, so the run leaves no log), oldlog (an earlier run's log),
  // hardlink and symlink (the log's name is a link to another file, which
  // must keep its bytes), args (a command line).
  const char* setup;
  const char16_t* build;   // "BuildVersion"; null: none
  const char16_t* code;    // "upiMasterID"; null: none
  const char16_t* before;  // "Transforms", '*' for the cached file's path; null: none
  // The log in words: START, GATE, UPDATED, X86, X64, NOTOURS, REPLACED,
  // FAILED, NOUPD, REMOVED, NOTREMOVED; a word ending in '=' shows an empty
  // value. Without a temporary folder there is no log file at all.
  const char* log;
  int exitCode;
  // The new "Transforms" text, stored as REG_SZ where the log says REPLACED;
  // elsewhere the value stays as it was.
  const char16_t* newValue = nullptr;
  bool fileAfter = false;  // the cached file is still there
};

struct Expected {
  std::uint32_t exitCode;
  std::u16string logFolder;
  std::optional<std::string> log;  // time stamps masked
  std::optional<RegValue> transforms;
  bool fileAfter;
};

const Case& FindCase(const std::string& name);
// Sets the world up for the case; false when this world cannot (two views,
// a symbolic link).
bool Seed(const Case& c);
// What the case must leave; REMOVED and NOTREMOVED name `removedPath` when
// given.
Expected Expect(const Case& c, const std::u16string& removedPath = {});
// Runs the clean-up on the seeded world; the exit code.
std::uint32_t RunCase(const Case& c);
void Check(const Case& c, std::uint32_t exitCode, const Expected& e);

}  // namespace tavix

#endif  // TAVIX_TESTS_HARNESS_WORLD_H_
