// Whole clean-up runs as a table of cases: the machine before the run, and
// the exit code, log, "Transforms" value and cached file after it. The same
// table runs on the simulated platform and on the real exe under Wine, so
// both must produce the same bytes.
#ifndef TAVIX_TESTS_SCENARIOS_SCENARIO_H_
#define TAVIX_TESTS_SCENARIOS_SCENARIO_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tavix {

// The folders every run sees.
extern const char16_t kScenarioTempFolder[];     // exists
extern const char16_t kScenarioMissingFolder[];  // never exists
extern const char16_t kScenarioWindowsFolder[];

// The cached transform file of a product code.
std::u16string CachedFilePath(const std::u16string& productCode);

struct ProductValue {
  REGSAM view;  // kKeyWow64_32Key or kKeyWow64_64Key
  std::u16string name;
  std::u16string text;
};

struct Scenario {
  std::string name;

  // Before the run.
  std::vector<ProductValue> productValues;
  const char16_t* packedCode;                // whose Installer key is set up
  bool transformsKey = true;                 // that key exists
  std::optional<std::u16string> transforms;  // its "Transforms" value (REG_SZ)
  std::u16string cachedFileCode;             // product code of the cached file; empty: none
  bool cachedFileReadOnly = false;
  bool tempFolderExists = true;
  std::string earlierLog;    // bytes of an earlier run's log in the temp folder
  std::u16string arguments;  // command line after the program's name

  // After the run.
  std::int32_t exitCode = 0;
  std::optional<std::string> log;  // time stamps as "##:##:##"; none: no log file
  std::optional<std::u16string> transformsAfter;
  DWORD transformsTypeAfter = kRegSz;
  bool cachedFileAfter = false;
};

std::vector<Scenario> AllScenarios();

// The machine a scenario runs on.
class ScenarioWorld {
 public:
  struct Value {
    DWORD type;
    std::u16string text;  // up to the first NUL
  };
  virtual ~ScenarioWorld() = default;
  virtual void Prepare(const Scenario& scenario) = 0;
  // The full 32-bit exit code.
  virtual std::uint32_t Run(const std::u16string& arguments) = 0;
  virtual std::optional<std::string> ReadFile(const std::u16string& path) = 0;
  virtual std::optional<Value> ReadTransforms(const char16_t* packedCode) = 0;
  virtual bool FileExists(const std::u16string& path) = 0;
};

std::unique_ptr<ScenarioWorld> MakeScenarioWorld();

}  // namespace tavix

#endif  // TAVIX_TESTS_SCENARIOS_SCENARIO_H_
