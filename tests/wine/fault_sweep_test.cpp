// Runs the typical case in this process once for every platform call it
// makes, with that call failing, and checks each run against the typical
// outcome changed the way that one failure must change it.
#include <gtest/gtest.h>

#include <filesystem>

#include "machine.h"
#include "registry/scoped_reg_key.h"

namespace tavix {
namespace {

using Calls = std::vector<TestPlatform::Call>;
constexpr REGSAM kViews[] = {kKeyWow64_32Key, kKeyWow64_64Key, 0};

bool IsRegistry(const Calls& calls, std::size_t i) {
  return calls[i].function.rfind("Reg", 0) == 0;
}

// A failed view probe only moves the read on to the next view; it fails the
// read when no later view holds the key.
bool LaterViewHolds(const TestPlatform::Call& probe) {
  for (auto view = std::find(std::begin(kViews), std::end(kViews), probe.sam & 0x300) + 1;
       view < std::end(kViews); ++view) {
    ScopedRegKey key;
    if (CurrentPlatform().RegOpenKeyExW(reinterpret_cast<HKEY>(probe.key), probe.text.c_str(), 0,
                                        kKeyRead | *view, key.Receive()) == kErrorSuccess)
      return true;
  }
  return false;
}

Expected Effect(const Calls& calls, std::size_t i) {
  Case c = FindCase("TypicalRun");
  const std::string& f = calls[i].function;
  std::size_t block = 0, lines = 0;  // runs of registry calls and log lines up to call i
  for (std::size_t j = 0; j <= i; ++j) {
    block += IsRegistry(calls, j) && (j == 0 || !IsRegistry(calls, j - 1));
    lines += calls[j].function == "GetLocalTime";
  }
  if (f == "GetSystemWindowsDirectoryW") {
    c.log = "START GATE X86 NOUPD REMOVED";  // the fallback path differs in letter case
    return Expect(c, u"C:\\Windows\\Installer\\" + std::u16string(c.code) + u"\\VelmoranTavix.mst");
  }
  if (f == "_waccess" || f == "_wremove") c.log = "START GATE X86 REPLACED NOTREMOVED";
  const bool probe = f == "RegOpenKeyExW" && calls[i].text.find(u'\\') != std::u16string::npos;
  if (IsRegistry(calls, i) && f != "RegCloseKey" && !(probe && LaterViewHolds(calls[i]))) {
    const char* logs[] = {"",
                          "START UPDATED=", "START GATE NOTOURS=", "START GATE X86 NOUPD= REMOVED",
                          "START GATE X86 FAILED REMOVED"};
    c.log = logs[block];
  }
  Expected e = Expect(c);
  if (f == "GetTempPathW") e.logFolder = u"C:\\temp\\";
  // Before its first line the log file is opened: it is not there when that
  // fails, and created but empty when a check of it fails.
  if (lines == 0 && f != "GetTempPathW" && f != "GetLocalTime")
    e.log = f == "CreateFileW" ? std::nullopt : std::optional("");
  if (f == "WriteFile") {  // that line and all after it are lost
    std::size_t at = std::string::npos;
    for (std::size_t n = 0; n < lines; ++n) at = e.log->find("##:##:##", at + 1);
    e.log->erase(at);
  }
  return e;
}

// Tests every call of the typical run failing in turn.
TEST(FaultSweepTest, EveryCallOfTheTypicalRun) {
  const Case& typical = FindCase("TypicalRun");
  const std::filesystem::path fallback(u"C:\\temp\\");
  const bool madeFallback = std::filesystem::create_directory(fallback);
  Calls calls;
  {
    ASSERT_TRUE(Seed(typical));
    TestPlatform platform;
    RunOnce(kTemp, u"", &platform);
    calls = platform.calls;
  }
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i) + ": " + calls[i].function);
    Seed(typical);
    std::filesystem::remove(fallback / kLogName);
    Expected e;
    {
      TestPlatform lookup;  // the registry as the run will find it
      e = Effect(calls, i);
    }
    TestPlatform platform;
    platform.fails = [i](std::size_t index) { return index == i; };
    Check(typical, RunOnce(kTemp, u"", &platform), e);
    EXPECT_EQ(platform.openKeys, 0) << "key handles left open";
    EXPECT_FALSE(platform.closedARoot);
  }
  std::filesystem::remove(fallback / kLogName);
  if (madeFallback) std::filesystem::remove(fallback);
}

}  // namespace
}  // namespace tavix
