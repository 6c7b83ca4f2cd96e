#include <gtest/gtest.h>

#include "app/build_gate.h"
#include "app/product.h"
#include "app/transform_file.h"
#include "app/transforms_value.h"
#include "sim_test.h"

namespace tavix {
namespace {

constexpr char16_t kLogFolder[] = u"C:\\logs\\";

class StepsTest : public SimTest {
 protected:
  void SetUp() override {
    sim_.AddFolder(kLogFolder);
    GetRunLog(kLogFolder);
  }
  std::string Log() const { return MaskedLog(kLogFolder); }
  void SetBuild(const std::u16string& build) {
    sim_.SetString(HkeyLocalMachine(), 0, kProductSpecificKey, kBuildVersionValue, build);
  }
};

std::string Line(const std::string& message) { return LogLine(message); }

// The packed form Windows Installer gives a product code.
std::u16string Pack(const std::u16string& code) {
  std::u16string hex;
  for (char16_t c : code) {
    if (c != u'{' && c != u'}' && c != u'-') hex += c;
  }
  std::u16string packed;
  for (const auto& [start, length] : {std::pair{0, 8}, {8, 4}, {12, 4}}) {
    packed.append(hex.rbegin() + (32 - start - length), hex.rbegin() + (32 - start));
  }
  for (std::size_t i = 16; i < 32; i += 2) {
    packed += hex[i + 1];
    packed += hex[i];
  }
  return packed;
}

// Tests that the packed codes kept as constants are those of the codes.
TEST(ProductTest, PackedCodesMatchProductCodes) {
  EXPECT_EQ(Pack(kProductCode32), kPackedCode32);
  EXPECT_EQ(Pack(kProductCode64), kPackedCode64);
  EXPECT_EQ(Pack(u"{12345678-ABCD-EF01-2345-6789ABCDEF01}"), u"87654321DCBA10FE32547698BADCFE10");
}

// Tests the gate's verdict and line for known builds and near-misses.
TEST_F(StepsTest, BuildVersionGate) {
  const std::string updated =
      "----- --> Velmoran Tavix has been updated. Current Build Version is : ";
  const struct {
    std::optional<std::u16string> build;
    bool goesOn;
    std::string line;
  } cases[] = {
      {u"1.0.43.27", true, "----- --> Starting update: TAVIX_RTM_1_0_FOR_SUITES = 1.0.43.27."},
      {u"1.0.43.24", true, "----- --> Starting update: TAVIX_RTM_1_0_FOR_KESTRAVANE  = 1.0.43.24."},
      {u"1.0.43.13", true, "----- --> Starting update: TAVIX_RTM_1_0_FOR_ZIRK = 1.0.43.13."},
      {u"1.0.43.270", false, updated + "1.0.43.270"},
      {u"1.0.43.2", false, updated + "1.0.43.2"},
      {u" 1.0.43.27", false, updated + " 1.0.43.27"},
      {u"1.0.43.27 ", false, updated + "1.0.43.27 "},
      {u"1.0.43.28", false, updated + "1.0.43.28"},
      {u"", false, updated},
      {std::nullopt, false, updated},
  };
  for (const auto& c : cases) {
    ResetRunLogForTesting();
    sim_.RemoveValue(HkeyLocalMachine(), 0, kProductSpecificKey, kBuildVersionValue);
    sim_.CreateKey(HkeyLocalMachine(), 0, kProductSpecificKey);
    if (c.build) SetBuild(*c.build);
    GetRunLog(kLogFolder);
    EXPECT_EQ(CheckBuildVersion(), c.goesOn) << c.line;
    EXPECT_EQ(Log(), Line(c.line));
  }
}

// Tests that the product code comes back exactly as stored.
TEST_F(StepsTest, ProductCodeAsStored) {
  EXPECT_EQ(ReadProductCode(), u"");
  const std::u16string lower = u"{6d2e47b1-0000-1033-0002-5a9c20f3e184}";
  sim_.SetString(HkeyLocalMachine(), kKeyWow64_32Key, kProductSpecificKey, kProductCodeValue,
                 lower);
  EXPECT_EQ(ReadProductCode(), lower);
  EXPECT_EQ(Log(), "");
}

// Tests where the transform file path points for each answer of the
// Windows folder query.
TEST_F(StepsTest, TransformFilePath) {
  const std::u16string tail =
      std::u16string(u"\\Installer\\") + kProductCode32 + u"\\VelmoranTavix.mst";
  const std::u16string full260(260, u'W');
  const struct {
    std::u16string folder;
    std::optional<UINT> result;
    std::u16string path;
  } cases[] = {
      {u"D:\\Windows", std::nullopt, u"D:\\Windows" + tail},
      {u"C:\\WINDOWS\\", std::nullopt, u"C:\\WINDOWS\\" + tail},
      {u"ignored", 0u, u"C:\\Windows" + tail},
      {full260, std::nullopt, u"C:\\Windows" + tail},  // needs 261 units
      {full260, 261u, u"C:\\Windows" + tail},
      // A full buffer without a NUL is read no further than its 260 units.
      {full260 + u"overrun", 260u, full260 + tail},
  };
  for (const auto& c : cases) {
    sim_.SetWindowsDirectory(c.folder, c.result);
    EXPECT_EQ(BuildTransformFilePath(kProductCode32), c.path) << c.path.size();
  }
  sim_.ClearCalls();
  EXPECT_EQ(BuildTransformFilePath(u""), u"");
  EXPECT_EQ(sim_.CountCalls("GetSystemWindowsDirectoryW"), 0u);
}

// Tests the removal's result, line and calls for each state of the file.
TEST_F(StepsTest, RemoveTransformFile) {
  const std::u16string path = u"C:\\windows\\Installer\\{X}\\VelmoranTavix.mst";
  const struct {
    bool exists, readOnly;
    std::u16string argument;
    bool removed;
    std::size_t removeCalls;
    std::string line;
  } cases[] = {
      {true, false, path, true, 1, "----- --> Removed file : " + U8(path)},
      {false, false, path, false, 0, "Error --> Failed to remove file : " + U8(path)},
      {false, false, u"", false, 0, "Error --> Failed to remove file : "},
      {true, true, path, false, 1, "Error --> Failed to remove file : " + U8(path)},
  };
  for (const auto& c : cases) {
    ResetRunLogForTesting();
    GetRunLog(kLogFolder);
    if (c.exists) sim_.AddFile(path, "mst", c.readOnly);
    sim_.ClearCalls();
    EXPECT_EQ(RemoveTransformFile(c.argument), c.removed) << c.line;
    EXPECT_EQ(sim_.CountCalls("_wremove"), c.removeCalls) << c.line;
    EXPECT_EQ(Log(), Line(c.line));
    EXPECT_EQ(sim_.FileExists(path), c.exists && !c.removed);
    // The folder stays.
    EXPECT_TRUE(!c.exists || sim_._waccess(u"C:\\windows\\Installer\\{X}", 0) == 0);
  }
}

class RewriteTest : public StepsTest {
 protected:
  const std::u16string path_ =
      u"C:\\windows\\Installer\\" + std::u16string(kProductCode32) + u"\\VelmoranTavix.mst";
  const std::u16string key_ = std::u16string(kProductsKeyPrefix) + kPackedCode32;
};

// Tests the rewrite on the worked examples: log lines, stored value, type.
TEST_F(RewriteTest, WorkedExamples) {
  const std::string p = U8(path_);
  const std::string done =
      Line("************Updated Transforms Register value Successfully.************ ") + "\r\n";
  auto replaced = [&](const std::string& before, const std::string& after) {
    return Line("Replaced Transforms Register value --> old value : " + before) + "\r\n" +
           Line("--------------------------------- --> New value : " + after) + "\r\n" + done;
  };
  auto unchanged = [&](const std::string& value) {
    return Line("----- -->No updated on Transforms Register value --> value : ") + value + "\r\n";
  };
  const struct {
    std::optional<std::u16string> value;
    std::string log;
    std::optional<std::u16string> stored;
  } cases[] = {
      {u"A;" + path_ + u";B", replaced("A;" + p + ";B", "A;B"), u"A;B"},
      {u"A;" + path_, replaced("A;" + p, "A;"), u"A;"},
      {path_ + u";A;" + path_, replaced(p + ";A;" + p, "A;"), u"A;"},
      {path_ + u";" + path_ + u";", replaced(p + ";" + p + ";", ""), u""},
      {path_, replaced(p, ""), u""},
      {path_ + u".old;B", replaced(p + ".old;B", ".old;B"), u".old;B"},
      {u"A;B", unchanged("A;B"), std::nullopt},
      {u"c:\\WINDOWS\\installer\\x.mst", unchanged("c:\\WINDOWS\\installer\\x.mst"), std::nullopt},
      {std::nullopt, unchanged(""), std::nullopt},
  };
  for (const auto& c : cases) {
    SimPlatform fresh;
    SetCurrentPlatform(&fresh);
    ResetRunLogForTesting();
    fresh.AddFolder(kLogFolder);
    GetRunLog(kLogFolder);
    if (c.value)
      fresh.SetString(HkeyClassesRoot(), 0, key_, kTransformsValue, *c.value, kRegExpandSz);
    EXPECT_TRUE(RewriteTransformsValue(kProductCode32, path_));
    EXPECT_EQ(MaskTimeStamps(fresh.FileBytes(std::u16string(kLogFolder) + kRunLogFileName)), c.log);
    const auto after = fresh.GetValue(HkeyClassesRoot(), 0, key_, kTransformsValue);
    if (c.stored) {
      ASSERT_TRUE(after.has_value());
      EXPECT_EQ(after->type, kRegSz);
      EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(after->data.data()),
                               after->data.size() / 2),
                *c.stored + u'\0');
      EXPECT_EQ(fresh.CountCalls("RegSetValueExW"), 1u);
    } else {
      EXPECT_EQ(fresh.CountCalls("RegSetValueExW"), 0u);
      EXPECT_EQ(after.has_value(), c.value.has_value());
    }
    ResetRunLogForTesting();
    SetCurrentPlatform(&sim_);
    EXPECT_EQ(fresh.OpenHandleCount(), 0u);
  }
}

// Tests that a failed write is logged after the two value lines and the
// result is still true.
TEST_F(RewriteTest, FailedWrite) {
  sim_.SetString(HkeyClassesRoot(), 0, key_, kTransformsValue, path_ + u";");
  sim_.SetFailure([](const std::string& f, std::size_t) { return f == "RegSetValueExW"; });
  EXPECT_TRUE(RewriteTransformsValue(kProductCode32, path_));
  EXPECT_EQ(Log(), Line("Replaced Transforms Register value --> old value : " + U8(path_) + ";") +
                       "\r\n" + Line("--------------------------------- --> New value : ") +
                       "\r\n" +
                       Line("************Updated Transforms Register value Failed.************ ") +
                       "\r\n");
}

// Tests the refusals: empty arguments and unknown codes touch no registry.
TEST_F(RewriteTest, Refusals) {
  EXPECT_FALSE(RewriteTransformsValue(u"", path_));
  EXPECT_FALSE(RewriteTransformsValue(kProductCode32, u""));
  EXPECT_EQ(Log(), "");
  const std::u16string lower = u"{6d2e47b1-0000-1033-0002-5a9c20f3e184}";
  EXPECT_FALSE(RewriteTransformsValue(lower, path_));
  EXPECT_EQ(Log(), Line("----- -->No updated on Transforms Register value --> Product Code and "
                        "Transforms file : ") +
                       "\r\n" +
                       Line("--------------------------------- --> Product Code : " + U8(lower) +
                            ", Transforms file : " + U8(path_) + " ") +
                       "\r\n");
  EXPECT_EQ(sim_.CountCalls("RegOpenKeyExW"), 0u);
}

}  // namespace
}  // namespace tavix
