// Runs the typical case once for every platform call it makes, with that call
// failing, and checks each run against the typical outcome changed the way
// that one failure must change it.
#include <gtest/gtest.h>

#include "platform/sim_platform.h"
#include "world.h"

namespace tavix {
namespace {

using Calls = std::vector<SimPlatform::Call>;

bool IsRegistry(const Calls& calls, std::size_t i) {
  return calls[i].function.rfind("Reg", 0) == 0;
}

// The log of the first `lines` lines of `log`.
std::string FirstLines(const std::string& log, std::size_t lines) {
  std::size_t at = 0;
  for (std::size_t n = 0; n <= lines && at != std::string::npos; ++n) {
    at = log.find("##:##:##", n == 0 ? 0 : at + 1);
  }
  return log.substr(0, at);
}

Expected Effect(const Calls& calls, std::size_t i) {
  Case c = FindCase("TypicalRun");
  const std::string& f = calls[i].function;
  std::size_t block = 0, lines = 0;  // registry blocks and log lines up to call i
  for (std::size_t j = 0; j <= i; ++j) {
    if (IsRegistry(calls, j) && (j == 0 || !IsRegistry(calls, j - 1))) ++block;
    if (calls[j].function == "GetLocalTime") ++lines;
  }
  const bool firstOfBlock = IsRegistry(calls, i) && !IsRegistry(calls, i - 1);
  if (f == "GetSystemWindowsDirectoryW") {
    // The fallback path differs in letter case from the one in the value.
    c.log = "START GATE X86 NOUPD REMOVED";
    return Expect(c,
                  u"C:\\Windows\\Installer\\{6D2E47B1-0000-1033-0002-5A9C20F3E184}"
                  u"\\VelmoranTavix.mst");
  }
  if (f == "_waccess" || f == "_wremove") {
    c.log = "START GATE X86 REPLACED NOTREMOVED";
    c.fileAfter = true;
  }
  // A failed open or query fails the whole read, but for the first view
  // probe below HKEY_CLASSES_ROOT, which holds the key in every view.
  if (IsRegistry(calls, i) && f != "RegCloseKey" && !(block == 3 && firstOfBlock)) {
    const char* logs[] = {nullptr,
                          "START UPDATED=", "START GATE NOTOURS=", "START GATE X86 NOUPD= REMOVED",
                          "START GATE X86 FAILED REMOVED"};
    c.log = logs[block];
    c.exitCode = block == 2 ? -1 : 0;
    c.fileAfter = block < 3;
  }
  Expected e = Expect(c);
  if (f == "GetTempPathW") e.logFolder = u"C:\\temp\\";
  // The log file is opened before the first line: left out when it cannot
  // be opened, and created but left empty when a check of it fails.
  if (f == "CreateFileW") e.log.reset();
  if (lines == 0 && f != "CreateFileW" && f != "GetTempPathW") e.log = "";
  if (f == "WriteFile") e.log = FirstLines(*e.log, lines - 1);
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
  ASSERT_GT(calls.size(), 40u);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i) + ": " + calls[i].function);
    Prepare(typical).SetFailure([i](const std::string&, std::size_t index) { return index == i; });
    Check(typical, RunCase(typical), Effect(calls, i));
  }
}

}  // namespace
}  // namespace tavix
