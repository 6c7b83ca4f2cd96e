// Runs the whole clean-up once for every platform call it makes, with that
// call failing, and again with it and every later call failing, and checks
// each run against a model of what the failure must lead to.
#include <gtest/gtest.h>

#include <functional>

#include "app/driver.h"
#include "app/product.h"
#include "log/run_log.h"
#include "log/text.h"
#include "log_mask.h"
#include "platform/sim_platform.h"

namespace tavix {
namespace {

constexpr char16_t kTemp[] = u"C:\\Users\\user\\AppData\\Local\\Temp\\";
constexpr char16_t kFallbackTemp[] = u"C:\\temp\\";
const std::u16string kPath =
    u"C:\\windows\\Installer\\" + std::u16string(kProductCode32) + u"\\VelmoranTavix.mst";
const std::u16string kFallbackPath =
    u"C:\\Windows\\Installer\\" + std::u16string(kProductCode32) + u"\\VelmoranTavix.mst";
const std::u16string kKey = std::u16string(kProductsKeyPrefix) + kPackedCode32;
const std::u16string kOldValue = u"A;" + kPath + u";B";

// The typical machine: the 32-bit product's key in the 32-bit view only.
void SetUpMachine(SimPlatform& sim) {
  sim.SetTempPath(kTemp);
  sim.AddFolder(kFallbackTemp);
  sim.SetString(HkeyLocalMachine(), kKeyWow64_32Key, kProductSpecificKey, kBuildVersionValue,
                u"1.0.43.27");
  sim.SetString(HkeyLocalMachine(), kKeyWow64_32Key, kProductSpecificKey, kProductCodeValue,
                kProductCode32);
  sim.SetString(HkeyClassesRoot(), 0, kKey, kTransformsValue, kOldValue, kRegExpandSz);
  sim.AddFile(kPath, "transform");
}

bool IsRegistryCall(const std::string& f) { return f.rfind("Reg", 0) == 0; }

// The call sites of a full run, in the order they are made.
struct CallSites {
  std::size_t tempPath = 0, logOpen = 0, windowsFolder = 0, access = 0, remove = 0;
  struct Line {
    std::size_t time, write, flush;
  };
  std::vector<Line> lines;                         // one per log line
  std::vector<std::vector<std::size_t>> registry;  // runs of registry calls
  std::vector<std::string> functions;              // of every call
};

CallSites Survey(const std::vector<SimPlatform::Call>& calls) {
  CallSites sites;
  for (std::size_t j = 0; j < calls.size(); ++j) {
    const std::string& f = calls[j].function;
    sites.functions.push_back(f);
    if (f == "GetTempPathW") sites.tempPath = j;
    if (f == "_wfsopen") sites.logOpen = j;
    if (f == "GetSystemWindowsDirectoryW") sites.windowsFolder = j;
    if (f == "_waccess") sites.access = j;
    if (f == "_wremove") sites.remove = j;
    if (f == "GetLocalTime") sites.lines.push_back({j, j + 1, j + 2});
    if (IsRegistryCall(f)) {
      if (j == 0 || !IsRegistryCall(calls[j - 1].function)) sites.registry.emplace_back();
      sites.registry.back().push_back(j);
    }
  }
  return sites;
}

struct Expected {
  std::int32_t exitCode = 0;
  std::u16string logFolder;
  std::optional<std::string> log;  // none: no log file
  std::u16string transforms;
  bool fileRemains = false;
};

// What a run must do when the calls for which `fails` holds fail. Every call
// before the first failure is the same as in the full run, so the call sites
// of the full run place each failure; after it, calls either all succeed
// (one failure) or all fail (every later call failing).
Expected Model(const CallSites& s, const std::function<bool(std::size_t)>& fails, bool single) {
  Expected e;
  e.logFolder = fails(s.tempPath) ? kFallbackTemp : kTemp;
  bool streamOk = !fails(s.logOpen);
  std::string log;
  std::size_t line = 0;
  auto write = [&](const std::u16string& message) {
    const CallSites::Line& at = s.lines[line++];
    if (!streamOk || fails(at.write)) {
      streamOk = false;
      return;
    }
    std::string bytes;
    for (const char c : WideToUtf8(message))
      bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    log += LogLine(bytes);
    if (fails(at.flush)) streamOk = false;
  };
  // A read fails when an open or a query of it fails; closes do not matter.
  // A lone failure of the first view probe is survived where the key is also
  // in the next view tried.
  auto read = [&](const std::vector<std::size_t>& block, bool otherViewHoldsKey) {
    for (std::size_t k = 0; k < block.size(); ++k) {
      if (s.functions[block[k]] == "RegCloseKey" || !fails(block[k])) continue;
      if (k == 0 && single && otherViewHoldsKey) continue;
      return false;
    }
    return true;
  };
  auto finish = [&] {
    if (!fails(s.logOpen)) e.log = log;
    return e;
  };

  e.transforms = kOldValue;
  e.fileRemains = true;
  write(u"Start --> Clean Up Velmoran Tavix transform files and register items.");
  if (!read(s.registry[0], false)) {
    write(u"----- --> Velmoran Tavix has been updated. Current Build Version is : ");
    return finish();
  }
  write(u"----- --> Starting update: TAVIX_RTM_1_0_FOR_SUITES = 1.0.43.27.");
  if (!read(s.registry[1], false)) {
    write(u"ERROR --> This Product is not Velmoran Tavix 1.0, Product Code : ");
    e.exitCode = -1;
    return finish();
  }
  write(u"----- --> Updating x86 version, Product Code : " + std::u16string(kProductCode32));
  const std::u16string path = fails(s.windowsFolder) ? kFallbackPath : kPath;
  // Below HKEY_CLASSES_ROOT both views hold the key.
  const std::u16string old = read(s.registry[2], true) ? kOldValue : u"";
  if (old.find(path) != std::u16string::npos) {
    write(u"Replaced Transforms Register value --> old value : " + old + u"\n");
    write(u"--------------------------------- --> New value : A;B\n");
    const std::vector<std::size_t>& writeCalls = s.registry[3];
    const bool written = !fails(writeCalls[0]) && !fails(writeCalls[1]);
    if (written) e.transforms = u"A;B";
    write(written ? u"************Updated Transforms Register value Successfully.************ \n"
                  : u"************Updated Transforms Register value Failed.************ \n");
  } else {
    write(u"----- -->No updated on Transforms Register value --> value : \n" + old);
  }
  const bool removed = !fails(s.access) && !fails(s.remove);
  e.fileRemains = !removed;
  write((removed ? u"----- --> Removed file : " : u"Error --> Failed to remove file : ") + path);
  return finish();
}

struct Outcome {
  std::int32_t exitCode;
  std::optional<std::string> log;
  std::u16string transforms;
  DWORD type;
  bool fileRemains;
  std::size_t openHandles;
  std::vector<std::u16string> removed;
  std::vector<SimPlatform::Call> calls;
};

Outcome RunWith(const std::function<bool(std::size_t)>& fails, const std::u16string& logFolder) {
  SimPlatform sim;
  SetUpMachine(sim);
  sim.SetFailure([&](const std::string&, std::size_t index) { return fails(index); });
  SetCurrentPlatform(&sim);
  Outcome run;
  run.exitCode = RunCleanUp();
  sim.SetFailure(nullptr);
  ResetRunLogForTesting();
  SetCurrentPlatform(nullptr);
  const std::u16string logPath = logFolder + kRunLogFileName;
  if (sim.FileExists(logPath)) run.log = MaskTimeStamps(sim.FileBytes(logPath));
  const auto value = sim.GetValue(HkeyClassesRoot(), 0, kKey, kTransformsValue);
  run.transforms = std::u16string(reinterpret_cast<const char16_t*>(value->data.data()),
                                  value->data.size() / 2 - 1);
  run.type = value->type;
  run.fileRemains = sim.FileExists(kPath);
  run.openHandles = sim.OpenHandleCount();
  run.removed = sim.removedFiles();
  run.calls = sim.calls();
  return run;
}

// Tests every call site of a full run failing alone, and failing with every
// call after it.
TEST(FaultSweepTest, EveryCallSite) {
  const Outcome full = RunWith([](std::size_t) { return false; }, kTemp);
  const CallSites sites = Survey(full.calls);
  ASSERT_EQ(sites.registry.size(), 4u);
  ASSERT_EQ(sites.lines.size(), 7u);
  std::printf("full run: %zu platform calls, %zu fault cases\n", full.calls.size(),
              2 * full.calls.size());

  for (const bool single : {true, false}) {
    for (std::size_t i = 0; i < full.calls.size(); ++i) {
      const auto fails = [&](std::size_t j) { return single ? j == i : j >= i; };
      const Expected expected = Model(sites, fails, single);
      const Outcome run = RunWith(fails, expected.logFolder);
      const std::string where = (single ? "only call " : "from call ") + std::to_string(i) + " (" +
                                full.calls[i].function + ")";
      EXPECT_EQ(run.exitCode, expected.exitCode) << where;
      EXPECT_EQ(run.log, expected.log) << where;
      EXPECT_EQ(WideToUtf8(run.transforms), WideToUtf8(expected.transforms)) << where;
      EXPECT_EQ(run.type, expected.transforms == kOldValue ? kRegExpandSz : kRegSz) << where;
      EXPECT_EQ(run.fileRemains, expected.fileRemains) << where;
      EXPECT_EQ(run.openHandles, 0u) << where;
      for (const std::u16string& removed : run.removed) {
        EXPECT_TRUE(removed == kPath || removed == kFallbackPath) << where;
      }
    }
  }
}

}  // namespace
}  // namespace tavix
