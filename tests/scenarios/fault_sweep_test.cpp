// Runs the typical case once for every platform call it makes, with that call
// failing, and checks each run against the typical outcome changed the way
// that one failure must change it.
#include <gtest/gtest.h>

#include "platform/sim_platform.h"
#include "world.h"

namespace tavix {
namespace {

using Calls = std::vector<SimPlatform::Call>;

Expected Effect(const Calls& calls, std::size_t i) {
  Case c = FindCase("TypicalRun");
  const std::string& f = calls[i].function;
  auto registry = [&](std::size_t j) { return calls[j].function.rfind("Reg", 0) == 0; };
  std::size_t block = 0, lines = 0;  // runs of registry calls and log lines up to call i
  for (std::size_t j = 0; j <= i; ++j) {
    block += registry(j) && (j == 0 || !registry(j - 1));
    lines += calls[j].function == "GetLocalTime";
  }
  if (f == "GetSystemWindowsDirectoryW") {
    c.log = "START GATE X86 NOUPD REMOVED";  // the fallback path differs in letter case
    return Expect(c, u"C:\\Windows\\Installer\\" + std::u16string(c.code) + u"\\VelmoranTavix.mst");
  }
  if (f == "_waccess" || f == "_wremove") c.log = "START GATE X86 REPLACED NOTREMOVED";
  // A failed open or query fails the whole read, but for the first view
  // probe below HKEY_CLASSES_ROOT, which holds the key in every view.
  if (registry(i) && f != "RegCloseKey" && !(block == 3 && !registry(i - 1))) {
    const char* logs[] = {"",
                          "START UPDATED=", "START GATE NOTOURS=", "START GATE X86 NOUPD= REMOVED",
                          "START GATE X86 FAILED REMOVED"};
    c.log = logs[block];
  }
  Expected e = Expect(c);
  if (f == "GetTempPathW") e.logFolder = u"C:\\temp\\";
  // Before its first line the log file is opened: it is not there when that
  // fails, and created but empty when a check of it fails.
  if (lines == 0 && f != "GetTempPathW")
    e.log = f == "CreateFileW" ? std::nullopt : std::optional("");
  if (f == "WriteFile") {  // that line and all after it are lost
    std::size_t at = std::string::npos;
    for (std::size_t n = 0; n < lines; ++n) at = e.log->find("##:##:##", at + 1);
    e.log->erase(at);
  }
  return e;
}

SimPlatform& Prepare(const Case& c) {
  Seed(c);
  auto& sim = static_cast<SimPlatform&>(TheWorld().platform());
  sim.AddFolder(u"C:\\temp\\");
  sim.ClearCalls();
  return sim;
}

TEST(FaultSweepTest, EveryCallOfTheTypicalRun) {
  const Case& typical = FindCase("TypicalRun");
  Prepare(typical);
  RunCase(typical);
  const Calls calls = static_cast<SimPlatform&>(TheWorld().platform()).calls();
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i) + ": " + calls[i].function);
    Prepare(typical).SetFailure([i](const std::string&, std::size_t index) { return index == i; });
    Check(typical, RunCase(typical), Effect(calls, i));
  }
}

}  // namespace
}  // namespace tavix
