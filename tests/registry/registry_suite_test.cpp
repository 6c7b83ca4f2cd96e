// One suite for the registry layer, run on the simulated registry and on the
// real registry API. Every case must pass on both.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "backend.h"
#include "log/text.h"
#include "registry/registry_read.h"
#include "registry/registry_write.h"
#include "registry/scoped_reg_key.h"
#include "tracking_platform.h"

namespace tavix {
namespace {

std::vector<BYTE> Utf16Bytes(const std::u16string& text) {
  std::vector<BYTE> bytes(text.size() * 2);
  if (!text.empty()) std::memcpy(bytes.data(), text.data(), bytes.size());
  return bytes;
}

class RegistrySuite : public ::testing::Test {
 protected:
  RegistrySuite() : backend_(MakeRegistryBackend()), tracking_(backend_->platform()) {
    SetCurrentPlatform(&tracking_);
    const std::u16string test =
        Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name());
    hklm_ = u"Software\\TavixRegistrySuite\\" + backend_->runId() + u"\\" + test;
    hkcr_ = u"TavixRegistrySuite\\" + backend_->runId() + u"\\" + test;
  }
  ~RegistrySuite() override { SetCurrentPlatform(nullptr); }

  // No call leaves a handle open, and no predefined root is ever closed.
  void TearDown() override {
    EXPECT_EQ(tracking_.OpenHandles(), 0u);
    for (const auto& call : tracking_.calls()) {
      if (call.function == "RegCloseKey") {
        EXPECT_FALSE(IsPredefinedKey(call.key));
      }
    }
  }

  // Creates `path` below `root` in `view` and stores a value there.
  void Seed(HKEY root, REGSAM view, const std::u16string& path, const std::u16string& name,
            DWORD type, const std::vector<BYTE>& data) {
    ScopedRegKey key;
    ASSERT_EQ(tracking_.RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, kKeyWrite | view,
                                        nullptr, key.Receive(), nullptr),
              kErrorSuccess)
        << WideToUtf8(path);
    ASSERT_EQ(tracking_.RegSetValueExW(key.get(), name.c_str(), 0, type, data.data(),
                                       static_cast<DWORD>(data.size())),
              kErrorSuccess);
    key.reset();
    tracking_.ClearCalls();
  }
  void SeedString(HKEY root, REGSAM view, const std::u16string& path, const std::u16string& name,
                  const std::u16string& text, DWORD type = kRegSz) {
    Seed(root, view, path, name, type, Utf16Bytes(text + u'\0'));
  }

  // Reads a value's type and bytes directly, without the layer under test.
  bool Raw(HKEY root, const std::u16string& path, const std::u16string& name, DWORD& type,
           std::vector<BYTE>& data) {
    ScopedRegKey key;
    if (tracking_.RegOpenKeyExW(root, path.c_str(), 0, kKeyRead, key.Receive()) != 0) {
      return false;
    }
    DWORD size = 0;
    if (tracking_.RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != 0) {
      return false;
    }
    data.assign(size, 0);
    return tracking_.RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, data.data(),
                                      &size) == 0;
  }
  bool KeyExists(HKEY root, const std::u16string& path, REGSAM view = 0) {
    ScopedRegKey key;
    return tracking_.RegOpenKeyExW(root, path.c_str(), 0, kKeyRead | view, key.Receive()) == 0;
  }

  std::unique_ptr<RegistryBackend> backend_;
  TrackingPlatform tracking_;
  std::u16string hklm_;  // this test's own key below HKEY_LOCAL_MACHINE
  std::u16string hkcr_;  // and below HKEY_CLASSES_ROOT
};

// --- The platform itself: what the layer relies on -------------------------

// Tests that a null or empty subkey below a predefined root gives the root,
// and below an opened key a new handle.
TEST_F(RegistrySuite, NullSubkeyOpensSameKey) {
  HKEY root = nullptr;
  ASSERT_EQ(tracking_.RegOpenKeyExW(HkeyLocalMachine(), nullptr, 0, kKeyRead, &root), 0);
  EXPECT_EQ(root, HkeyLocalMachine());
  ASSERT_EQ(
      tracking_.RegOpenKeyExW(HkeyClassesRoot(), nullptr, 0, kKeyRead | kKeyWow64_32Key, &root), 0);
  EXPECT_EQ(root, HkeyClassesRoot());

  SeedString(HkeyLocalMachine(), 0, hklm_, u"v", u"x");
  ScopedRegKey key, again, empty;
  ASSERT_EQ(tracking_.RegOpenKeyExW(HkeyLocalMachine(), hklm_.c_str(), 0, kKeyRead, key.Receive()),
            0);
  ASSERT_EQ(tracking_.RegOpenKeyExW(key.get(), nullptr, 0, kKeyRead, again.Receive()), 0);
  ASSERT_EQ(tracking_.RegOpenKeyExW(key.get(), u"", 0, kKeyRead, empty.Receive()), 0);
  EXPECT_NE(again.get(), key.get());
  EXPECT_NE(empty.get(), key.get());
  EXPECT_NE(empty.get(), again.get());
}

// Tests the answers for missing keys, bad paths and letter case.
TEST_F(RegistrySuite, OpenResults) {
  SeedString(HkeyLocalMachine(), 0, hklm_ + u"\\Key", u"v", u"x");
  const struct {
    HKEY root;
    std::u16string path;
    LONG result;
  } cases[] = {
      {HkeyLocalMachine(), hklm_ + u"\\Key", kErrorSuccess},
      {HkeyLocalMachine(), hklm_ + u"\\KEY", kErrorSuccess},
      {HkeyLocalMachine(), hklm_ + u"\\Key\\", kErrorSuccess},
      {HkeyLocalMachine(), hklm_ + u"\\Missing", kErrorFileNotFound},
      {HkeyLocalMachine(), hklm_ + u"\\Key ", kErrorFileNotFound},
      {HkeyLocalMachine(), u"\\" + hklm_, kErrorBadPathname},
      {HkeyLocalMachine(), hklm_ + u"/Key", kErrorFileNotFound},
  };
  for (const auto& c : cases) {
    HKEY key = reinterpret_cast<HKEY>(0x1);
    EXPECT_EQ(tracking_.RegOpenKeyExW(c.root, c.path.c_str(), 0, kKeyRead, &key), c.result)
        << WideToUtf8(c.path);
    if (c.result == kErrorSuccess) {
      tracking_.RegCloseKey(key);
    } else {
      EXPECT_EQ(key, nullptr);
    }
  }
}

// Tests the size query and a buffer that is too small.
TEST_F(RegistrySuite, QuerySizes) {
  Seed(HkeyLocalMachine(), 0, hklm_, u"Value", kRegBinary, {1, 2, 3, 4, 5});
  ScopedRegKey key;
  ASSERT_EQ(tracking_.RegOpenKeyExW(HkeyLocalMachine(), hklm_.c_str(), 0, kKeyRead, key.Receive()),
            0);
  DWORD type = 0, size = 0;
  EXPECT_EQ(tracking_.RegQueryValueExW(key.get(), u"VALUE", nullptr, &type, nullptr, &size), 0);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, kRegBinary);
  BYTE small[4] = {9, 9, 9, 9};
  size = 4;
  EXPECT_EQ(tracking_.RegQueryValueExW(key.get(), u"Value", nullptr, &type, small, &size),
            kErrorMoreData);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(small[0], 9);
  size = 0;
  EXPECT_EQ(tracking_.RegQueryValueExW(key.get(), u"Missing", nullptr, &type, nullptr, &size),
            kErrorFileNotFound);
}

// Tests that the 32-bit view of HKLM\Software\X is Software\Wow6432Node\X.
TEST_F(RegistrySuite, Wow6432NodeIsThe32BitView) {
  SeedString(HkeyLocalMachine(), kKeyWow64_32Key, hklm_, u"v", u"32");
  const std::u16string wow = u"Software\\Wow6432Node" + hklm_.substr(8);
  EXPECT_TRUE(KeyExists(HkeyLocalMachine(), wow, kKeyWow64_64Key));
  EXPECT_FALSE(KeyExists(HkeyLocalMachine(), hklm_, kKeyWow64_64Key));
  EXPECT_TRUE(KeyExists(HkeyLocalMachine(), hklm_, kKeyWow64_32Key));
}

// Tests that a key with subkeys cannot be deleted.
TEST_F(RegistrySuite, DeleteKeyWithSubkeysFails) {
  SeedString(HkeyLocalMachine(), 0, hklm_ + u"\\Parent\\Child", u"v", u"x");
  ScopedRegKey key;
  ASSERT_EQ(tracking_.RegOpenKeyExW(HkeyLocalMachine(), hklm_.c_str(), 0, kKeyRead | kKeyWrite,
                                    key.Receive()),
            0);
  EXPECT_NE(tracking_.RegDeleteKeyW(key.get(), u"Parent"), kErrorSuccess);
  EXPECT_EQ(tracking_.RegDeleteKeyW(key.get(), u"Parent\\Child"), kErrorSuccess);
  EXPECT_EQ(tracking_.RegDeleteKeyW(key.get(), u"parent"), kErrorSuccess);
  EXPECT_EQ(tracking_.RegDeleteKeyW(key.get(), u"Parent"), kErrorFileNotFound);
}

// --- Opening and reading ---------------------------------------------------

// Tests that a key in both views is read in the 32-bit view, one in the
// 64-bit view alone is walked in that view at every step.
TEST_F(RegistrySuite, ViewSelection) {
  SeedString(HkeyLocalMachine(), kKeyWow64_32Key, hklm_ + u"\\Both", u"v", u"32-bit");
  SeedString(HkeyLocalMachine(), kKeyWow64_64Key, hklm_ + u"\\Both", u"v", u"64-bit");
  SeedString(HkeyLocalMachine(), kKeyWow64_64Key, hklm_ + u"\\Only64", u"v", u"only 64");
  EXPECT_EQ(ReadRegistryString((hklm_ + u"\\Both").c_str(), HkeyLocalMachine(), u"v"), u"32-bit");
  tracking_.ClearCalls();
  EXPECT_EQ(ReadRegistryString((hklm_ + u"\\Only64").c_str(), HkeyLocalMachine(), u"v"),
            u"only 64");
  std::vector<REGSAM> masks;
  for (const auto& call : tracking_.calls()) {
    if (call.function == "RegOpenKeyExW") masks.push_back(call.sam);
  }
  // Two probes, the root check, then one open per key name.
  ASSERT_EQ(masks.size(), 3u + 5u);
  EXPECT_EQ(masks[0], 0x20219u);
  EXPECT_EQ(masks[1], 0x20119u);
  for (std::size_t i = 2; i < masks.size(); ++i) EXPECT_EQ(masks[i], 0x20119u) << i;
}

// Tests that a path no view holds costs exactly three opens and nothing more.
TEST_F(RegistrySuite, PathInNoView) {
  EXPECT_EQ(OpenRegistryPath((hklm_ + u"\\Nowhere").c_str(), HkeyLocalMachine()), nullptr);
  ASSERT_EQ(tracking_.calls().size(), 3u);
  const REGSAM masks[] = {0x20219, 0x20119, 0x20019};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(tracking_.calls()[i].function, "RegOpenKeyExW");
    EXPECT_EQ(tracking_.calls()[i].sam, masks[i]);
    EXPECT_EQ(tracking_.calls()[i].text, hklm_ + u"\\Nowhere");
  }
  EXPECT_EQ(ReadRegistryString((hklm_ + u"\\Nowhere").c_str(), HkeyLocalMachine(), u"v"), u"");
  EXPECT_EQ(OpenRegistryPath(nullptr, HkeyLocalMachine()), nullptr);
  EXPECT_EQ(tracking_.calls().size(), 6u);
}

// Tests that an empty path reads a value directly below the root, through
// the root handle itself, which is never closed.
TEST_F(RegistrySuite, EmptyPathReadsBelowRoot) {
  const std::u16string name = u"TavixSuite" + backend_->runId();
  SeedString(HkeyCurrentUser(), 0, u"", name, u"at the root");
  EXPECT_EQ(ReadRegistryString(u"", HkeyCurrentUser(), name.c_str()), u"at the root");
  const HKEY key = OpenRegistryPath(u"", HkeyCurrentUser());
  EXPECT_EQ(key, HkeyCurrentUser());
}

// Tests that slashes and blanks split the walk while the probe looks the
// path up literally.
TEST_F(RegistrySuite, SlashesAndBlanks) {
  SeedString(HkeyLocalMachine(), 0, hklm_ + u"\\a\\b", u"v", u"split");
  SeedString(HkeyLocalMachine(), 0, hklm_ + u"\\a/b", u"v", u"literal");
  SeedString(HkeyLocalMachine(), 0, hklm_ + u"\\ c \\ d ", u"v", u"padded");
  SeedString(HkeyLocalMachine(), 0, hklm_ + u"\\c\\d", u"v", u"trimmed");
  const struct {
    std::u16string path;
    std::u16string text;
  } cases[] = {
      {hklm_ + u"\\a/b", u"split"},    {hklm_ + u"\\ c \\ d ", u"trimmed"},
      {hklm_ + u"\\c\\d", u"trimmed"}, {hklm_ + u"/a/b", u""},  // no key has that literal name
      {hklm_ + u"\\\\a\\b", u"split"},                          // an empty name is skipped
      {hklm_ + u"\\a\\b\\ ", u""},                              // nor this one
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadRegistryString(c.path.c_str(), HkeyLocalMachine(), u"v"), c.text)
        << WideToUtf8(c.path);
  }
}

// Tests how data of every shape reads as text.
TEST_F(RegistrySuite, DataAsText) {
  const struct {
    const char* what;
    DWORD type;
    std::vector<BYTE> data;
    std::u16string text;
  } cases[] = {
      {"sz", kRegSz, Utf16Bytes(std::u16string(u"text\0", 5)), u"text"},
      {"expand sz", kRegExpandSz, Utf16Bytes(std::u16string(u"%SystemRoot%\\x\0", 15)),
       u"%SystemRoot%\\x"},
      {"multi sz", kRegMultiSz, Utf16Bytes(std::u16string(u"first\0second\0\0", 14)), u"first"},
      {"dword 1", kRegDword, {1, 0, 0, 0}, std::u16string(1, u'\x0001')},
      {"embedded nul", kRegSz, Utf16Bytes(std::u16string(u"ab\0cd\0", 6)), u"ab"},
      {"no terminator", kRegSz, Utf16Bytes(u"abc"), u"abc"},
      {"odd length", kRegBinary, {'a', 0, 'b', 0, 'c'}, u"ab"},
      {"one byte", kRegBinary, {'a'}, u""},
      {"empty text", kRegSz, {0, 0}, u""},
      {"no data", kRegSz, {}, u""},
      {"non-ascii", kRegSz, Utf16Bytes(std::u16string(u"\u00e9\U0001F600\0", 4)),
       u"\u00e9\U0001F600"},
  };
  for (const auto& c : cases) {
    Seed(HkeyLocalMachine(), 0, hklm_, Utf8ToWide(c.what), c.type, c.data);
    EXPECT_EQ(ReadRegistryString(hklm_.c_str(), HkeyLocalMachine(), Utf8ToWide(c.what).c_str()),
              c.text)
        << c.what;
  }
  EXPECT_EQ(ReadRegistryString(hklm_.c_str(), HkeyLocalMachine(), u"missing"), u"");
}

// --- Writing and deleting --------------------------------------------------

// Tests writing below a partly missing path, over a value of another type,
// and an empty text.
TEST_F(RegistrySuite, WriteString) {
  Seed(HkeyClassesRoot(), 0, hkcr_, u"Other", kRegDword, {7, 0, 0, 0});
  const std::u16string deep = hkcr_ + u"\\new\\deeper";
  const struct {
    std::u16string path;
    std::u16string name;
    std::u16string text;
  } cases[] = {
      {deep, u"Transforms", u"a;b"},
      {hkcr_, u"Other", u"replaced"},
      {hkcr_, u"Empty", u""},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(WriteRegistryString(c.path.c_str(), c.name.c_str(), c.text.c_str()));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Raw(HkeyClassesRoot(), c.path, c.name, type, data));
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(data, Utf16Bytes(c.text + u'\0')) << WideToUtf8(c.text);
  }
  for (const auto& call : tracking_.calls()) {
    if (call.function == "RegCreateKeyExW") {
      EXPECT_EQ(call.sam, 0x20006u);
    }
  }
}

// Tests that the write and delete-value modes take the path unchanged.
TEST_F(RegistrySuite, WritePathUnchanged) {
  const std::u16string odd = hkcr_ + u"\\ padded \\x/y";
  EXPECT_TRUE(WriteRegistryString(odd.c_str(), u"v", u"t"));
  EXPECT_TRUE(KeyExists(HkeyClassesRoot(), hkcr_ + u"\\ padded "));
  EXPECT_TRUE(KeyExists(HkeyClassesRoot(), hkcr_ + u"\\ padded \\x/y"));
  EXPECT_FALSE(KeyExists(HkeyClassesRoot(), hkcr_ + u"\\padded"));
  EXPECT_EQ(tracking_.calls().front().text, odd);
}

// Tests deleting values: a present one, and one below a missing path, whose
// keys are created all the same.
TEST_F(RegistrySuite, DeleteValue) {
  SeedString(HkeyClassesRoot(), 0, hkcr_, u"Gone", u"x");
  EXPECT_TRUE(WriteRegistryString(hkcr_.c_str(), u"Gone", nullptr));
  DWORD type = 0;
  std::vector<BYTE> data;
  EXPECT_FALSE(Raw(HkeyClassesRoot(), hkcr_, u"Gone", type, data));
  EXPECT_FALSE(WriteRegistryString((hkcr_ + u"\\made\\here").c_str(), u"Missing", nullptr));
  EXPECT_TRUE(KeyExists(HkeyClassesRoot(), hkcr_ + u"\\made\\here"));
}

// Tests the delete-key mode: a normalised path deletes the same key, short
// paths are refused without a registry call.
TEST_F(RegistrySuite, DeleteKey) {
  SeedString(HkeyClassesRoot(), 0, hkcr_ + u"\\Products\\X", u"v", u"x");
  const std::u16string messy = u" " + hkcr_ + u" \\\\ Products \\ X ";
  // The suite's key path has blanks nowhere, so trimming keeps its names.
  EXPECT_TRUE(WriteRegistryString(messy.c_str(), nullptr, u"ignored"));
  EXPECT_FALSE(KeyExists(HkeyClassesRoot(), hkcr_ + u"\\Products\\X"));
  EXPECT_TRUE(KeyExists(HkeyClassesRoot(), hkcr_ + u"\\Products"));
  EXPECT_FALSE(WriteRegistryString((hkcr_ + u"\\Products\\X").c_str(), nullptr, nullptr));

  tracking_.ClearCalls();
  for (const char16_t* path : {u"X", u"\\ \\ \\", u"", u"Installer/Products"}) {
    EXPECT_FALSE(WriteRegistryString(path, nullptr, nullptr)) << WideToUtf8(path);
  }
  EXPECT_FALSE(WriteRegistryString(nullptr, u"v", u"t"));
  EXPECT_TRUE(tracking_.calls().empty());

  SeedString(HkeyClassesRoot(), 0, hkcr_ + u"\\Parent\\Child", u"v", u"x");
  EXPECT_FALSE(WriteRegistryString((hkcr_ + u"\\Parent").c_str(), nullptr, nullptr));
  EXPECT_TRUE(KeyExists(HkeyClassesRoot(), hkcr_ + u"\\Parent\\Child"));
}

}  // namespace
}  // namespace tavix
