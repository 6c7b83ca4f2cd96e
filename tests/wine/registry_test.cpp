// The registry layer on the real registry: what whole runs cannot show.
#include <gtest/gtest.h>

#include <array>

#include "machine.h"
#include "registry/registry_read.h"
#include "registry/registry_write.h"
#include "registry/scoped_reg_key.h"

namespace tavix {
namespace {

class RegistrySuite : public ::testing::Test {
 protected:
  RegistrySuite() { Reset(false); }
  // No key is left open and no predefined root is ever closed.
  void TearDown() override {
    EXPECT_EQ(platform_.openKeys, 0);
    EXPECT_FALSE(platform_.closedARoot);
  }
  std::vector<REGSAM> OpenMasks() const {
    std::vector<REGSAM> masks;
    for (const auto& call : platform_.calls)
      if (call.function == "RegOpenKeyExW") masks.push_back(call.sam);
    return masks;
  }
  std::u16string Read(const std::u16string& path, const char16_t* name = u"v") {
    return ReadRegistryString(path.c_str(), HkeyLocalMachine(), name);
  }

  TestPlatform platform_;
  // Below the product's own keys in HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT.
  const std::u16string lm_ = kProductKey, cr_ = kInstaller32;
};

// Tests how data of every shape, and paths of every spelling, read as text:
// empty names skipped in the walk, the probe taking the path as it stands.
TEST_F(RegistrySuite, ReadAsText) {
  PutString(HkeyLocalMachine(), 0, lm_ + u"\\Keyz", u"v", u"zz");
  EXPECT_EQ(Read(lm_ + u"\\\\Keyz\\"), u"zz");
  EXPECT_EQ(Read(u"\\" + lm_ + u"\\Keyz") + Read(lm_ + u"\\Keyz "), u"");
  const struct {
    const char16_t* name;
    DWORD type;
    std::vector<BYTE> data;
    std::u16string text;
  } values[] = {
      {u"multi", kRegMultiSz, Utf16Bytes(std::u16string(u"first\0second\0\0", 14)), u"first"},
      {u"dword", kRegDword, {1, 0, 0, 0}, std::u16string(1, u'\x0001')},
      {u"no nul", kRegExpandSz, Utf16Bytes(u"%abc%"), u"%abc%"},
      {u"odd", kRegBinary, {'a', 0, 'b', 0, 'c'}, u"ab"},
      {u"no data", kRegSz, {}, u""},
  };
  for (const auto& v : values) PutValue(HkeyLocalMachine(), 0, lm_, v.name, {v.type, v.data});
  for (const auto& v : values) EXPECT_EQ(Read(lm_, v.name), v.text) << U8(v.name);

  for (const char16_t* key : {u"\\a\\b", u"\\a/b", u"\\ c \\ d ", u"\\c\\d", u"\\\tt\t"}) {
    PutString(HkeyLocalMachine(), 0, lm_ + key, u"v", key);
  }
  EXPECT_EQ(Read(lm_ + u"\\a/b"), u"\\a\\b");       // found literally, walked split
  EXPECT_EQ(Read(lm_ + u"\\ c \\ d "), u"\\c\\d");  // only blanks are trimmed
  EXPECT_EQ(Read(lm_ + u"\\\tt\t"), u"\\\tt\t");
  EXPECT_EQ(Read(lm_ + u"/a/b") + Read(lm_ + u"\\a\\b\\ "), u"");  // no such literal key

  EXPECT_EQ(ScopedRegKey(OpenRegistryPath(u"", HkeyCurrentUser())).get(), HkeyCurrentUser());
}

// Tests the opens of a read: three view probes for a path no view holds,
// write access below HKEY_CURRENT_USER for the walk only, and the 32-bit
// view before the 64-bit one.
TEST_F(RegistrySuite, OpenSequence) {
  EXPECT_EQ(Read(lm_ + u"\\Nowhere"), u"");
  EXPECT_EQ(OpenMasks(), (std::vector<REGSAM>{0x20219, 0x20119, 0x20019}));

  PutString(HkeyCurrentUser(), 0, kProductKey, u"v", u"x");
  platform_.calls.clear();
  EXPECT_EQ(ReadRegistryString(kProductKey, HkeyCurrentUser(), u"v"), u"x");
  EXPECT_EQ(OpenMasks(),
            (std::vector<REGSAM>{0x20219, 0x20219, 0x2021F, 0x2021F, 0x2021F, 0x2021F, 0x2021F}));

  if (!TwoViews()) return;
  PutString(HkeyLocalMachine(), kKeyWow64_32Key, lm_ + u"\\Both", u"v", u"32-bit");
  PutString(HkeyLocalMachine(), kKeyWow64_64Key, lm_ + u"\\Both", u"v", u"64-bit");
  PutString(HkeyLocalMachine(), kKeyWow64_64Key, lm_ + u"\\Only64", u"v", u"64-bit");
  EXPECT_EQ(Read(lm_ + u"\\Both"), u"32-bit");
  platform_.calls.clear();
  EXPECT_EQ(Read(lm_ + u"\\Only64"), u"64-bit");
  // Two probes, the root, then one open per key name, all in the 64-bit view.
  EXPECT_EQ(OpenMasks(), std::vector<REGSAM>({0x20219, 0x20119, 0x20119, 0x20119, 0x20119, 0x20119,
                                              0x20119, 0x20119, 0x20119}));
}

// Tests the three modes of a write: a string (creating keys, replacing
// another type, an empty text, the path as given), a value deletion and a
// key deletion.
TEST_F(RegistrySuite, WriteAndDelete) {
  PutValue(HkeyClassesRoot(), 0, cr_, u"Other", {kRegDword, {7, 0, 0, 0}});
  for (const auto& [path, name, text] :
       std::vector<std::array<std::u16string, 3>>{{cr_ + u"\\new\\deeper", u"Transforms", u"a;b"},
                                                  {cr_, u"Other", u"replaced"},
                                                  {cr_, u"Empty", u""},
                                                  {cr_ + u"\\ padded \\x/y", u"v", u"as given"}}) {
    EXPECT_TRUE(WriteRegistryString(path.c_str(), name.c_str(), text.c_str()));
    EXPECT_EQ(ShowValue(HkeyClassesRoot(), 0, path, name),
              ShowValue(RegValue{kRegSz, Utf16Bytes(text + u'\0')}));
  }
  for (const TestPlatform::Call& call : platform_.calls) {
    EXPECT_TRUE(call.function != "RegCreateKeyExW" || call.sam == 0x20006u);
  }

  EXPECT_TRUE(WriteRegistryString(cr_.c_str(), u"Other", nullptr));
  EXPECT_EQ(ShowValue(HkeyClassesRoot(), 0, cr_, u"Other"), "(none)");
  EXPECT_FALSE(WriteRegistryString((cr_ + u"\\made\\here").c_str(), u"Missing", nullptr));
  EXPECT_TRUE(KeyExists(HkeyClassesRoot(), cr_ + u"\\made\\here"));

  // Blanks next to separators and doubled separators vanish from a key path
  // to delete; a key that has subkeys stays; short paths make no call.
  EXPECT_TRUE(WriteRegistryString((u" " + cr_ + u" \\\\ made \\ here ").c_str(), nullptr, u"x"));
  EXPECT_FALSE(KeyExists(HkeyClassesRoot(), cr_ + u"\\made\\here"));
  EXPECT_FALSE(WriteRegistryString(cr_.c_str(), nullptr, nullptr));
  EXPECT_TRUE(KeyExists(HkeyClassesRoot(), cr_ + u"\\new\\deeper"));
  platform_.calls.clear();
  for (const char16_t* path : {u"X", u"\\ \\ \\", u"Installer/Products"}) {
    EXPECT_FALSE(WriteRegistryString(path, nullptr, nullptr)) << U8(path);
  }
  EXPECT_FALSE(WriteRegistryString(nullptr, u"v", u"t"));
  EXPECT_TRUE(platform_.calls.empty());
}

}  // namespace
}  // namespace tavix
