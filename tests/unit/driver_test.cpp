#include <gtest/gtest.h>

#include "app/driver.h"
#include "sim_test.h"

namespace tavix {
namespace {

class DriverTest : public SimTest {};

// Tests where the log goes for each answer of the temporary folder query.
TEST_F(DriverTest, TemporaryFolder) {
  const std::u16string full(259, u'T');  // 259 units + "\" = 260
  const struct {
    std::u16string folder;
    std::optional<DWORD> result;
    std::u16string logPath;
  } cases[] = {
      {u"D:\\tmp\\", std::nullopt, u"D:\\tmp\\VelmoranTavix_TransformsCleanUp.log"},
      {u"D:\\tmp", std::nullopt, u"D:\\tmp/VelmoranTavix_TransformsCleanUp.log"},
      {u"ignored", 0u, u"C:\\temp\\VelmoranTavix_TransformsCleanUp.log"},
      {full + u"\\", std::nullopt, u"C:\\temp\\VelmoranTavix_TransformsCleanUp.log"},
      {u"D:\\tmp\\", 261u, u"C:\\temp\\VelmoranTavix_TransformsCleanUp.log"},
      // 260 is success; a full buffer without a NUL is read no further.
      {full + u"\\overrun", 260u, full + u"\\VelmoranTavix_TransformsCleanUp.log"},
  };
  for (const auto& c : cases) {
    SimPlatform sim;
    SetCurrentPlatform(&sim);
    ResetRunLogForTesting();
    sim.SetTempPath(c.folder, c.result);
    EXPECT_EQ(RunCleanUp(), kExitOk);
    ASSERT_GE(sim.calls().size(), 2u);
    EXPECT_EQ(sim.calls()[0].function, "GetTempPathW");
    EXPECT_EQ(sim.calls()[0].number, 260u);
    EXPECT_EQ(sim.calls()[1].text, c.logPath) << U8(c.folder);
    ResetRunLogForTesting();
    SetCurrentPlatform(&sim_);
  }
}

// Tests that a run stopped by the gate reads nothing after the build.
TEST_F(DriverTest, GateStopsTheRun) {
  sim_.SetString(HkeyLocalMachine(), 0,
                 u"Software\\Velmoran\\Velmoran Tavix\\R1.0\\ProductSpecific", u"upiMasterID",
                 u"{6D2E47B1-0000-1033-0002-5A9C20F3E184}");
  EXPECT_EQ(RunCleanUp(), kExitOk);
  for (const auto& call : sim_.calls()) {
    EXPECT_NE(call.text, u"upiMasterID");
    EXPECT_NE(call.function, "GetSystemWindowsDirectoryW");
  }
}

}  // namespace
}  // namespace tavix
