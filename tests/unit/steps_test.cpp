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
};

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

class RewriteTest : public StepsTest {
 protected:
  const std::u16string path_ =
      u"C:\\windows\\Installer\\" + std::u16string(kProductCode32) + u"\\VelmoranTavix.mst";
  const std::u16string key_ = std::u16string(kProductsKeyPrefix) + kPackedCode32;
};

// Tests that an empty path, which the run never passes, is reported as not
// removed without any file call.
TEST_F(StepsTest, RemoveEmptyPath) {
  sim_.ClearCalls();
  EXPECT_FALSE(RemoveTransformFile(u""));
  EXPECT_EQ(Log(), LogLine("Error --> Failed to remove file : "));
  EXPECT_EQ(sim_.CountCalls("_wremove"), 0u);
}

// Tests the refusals: empty arguments and unknown codes touch no registry.
TEST_F(RewriteTest, Refusals) {
  EXPECT_FALSE(RewriteTransformsValue(u"", path_));
  EXPECT_FALSE(RewriteTransformsValue(kProductCode32, u""));
  EXPECT_EQ(Log(), "");
  const std::u16string lower = u"{6d2e47b1-0000-1033-0002-5a9c20f3e184}";
  EXPECT_FALSE(RewriteTransformsValue(lower, path_));
  EXPECT_EQ(Log(), LogLine("----- -->No updated on Transforms Register value --> Product Code and "
                           "Transforms file : ") +
                       "\r\n" +
                       LogLine("--------------------------------- --> Product Code : " + U8(lower) +
                               ", Transforms file : " + U8(path_) + " ") +
                       "\r\n");
  EXPECT_EQ(sim_.CountCalls("RegOpenKeyExW"), 0u);
}

}  // namespace
}  // namespace tavix
