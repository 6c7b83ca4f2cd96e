#include <gtest/gtest.h>

#include "log/text.h"
#include "registry/registry_path.h"

namespace tavix {
namespace {

using Names = std::vector<std::u16string>;

// Tests splitting against a table of paths and both separator sets.
TEST(SplitRegistryPathTest, Table) {
  const struct {
    std::u16string path;
    std::u16string separators;
    Names names;
  } cases[] = {
      {u"", u"\\/", {}},
      {u"\\/ \\ /", u"\\/", {}},
      {u"Software\\Velmoran\\Velmoran Tavix\\R1.0\\ProductSpecific",
       u"\\/",
       {u"Software", u"Velmoran", u"Velmoran Tavix", u"R1.0", u"ProductSpecific"}},
      {u"\\Installer\\\\Products\\", u"\\/", {u"Installer", u"Products"}},
      {u" Installer \\ Products / 1B74E2D6000033010020A5C9023F1E48 ",
       u"\\/",
       {u"Installer", u"Products", u"1B74E2D6000033010020A5C9023F1E48"}},
      {u"Software\\ \\R1.0", u"\\/", {u"Software", u"R1.0"}},
      {u"\tX\t\\Y", u"\\/", {u"\tX\t", u"Y"}},
      {u"\u00a0X\\Y", u"\\/", {u"\u00a0X", u"Y"}},
      {u"Installer/Products", u"\\", {u"Installer/Products"}},
      {u"a\"b/c\"d", u"\\/", {u"a\"b", u"c\"d"}},
      {u"'a\\b'", u"\\", {u"'a", u"b'"}},
      {u"  ", u"\\", {}},
      {u"x", u"", {u"x"}},
  };
  for (const auto& c : cases) {
    Names names;
    SplitRegistryPath(c.path, c.separators, names);
    EXPECT_EQ(names, c.names) << WideToUtf8(c.path);
  }
}

// Tests that entries the list held before the call are dropped.
TEST(SplitRegistryPathTest, ReplacesEarlierEntries) {
  Names names = {u"stale", u"entries"};
  SplitRegistryPath(u"A\\B", u"\\", names);
  EXPECT_EQ(names, (Names{u"A", u"B"}));
  SplitRegistryPath(u"", u"\\", names);
  EXPECT_TRUE(names.empty());
}

}  // namespace
}  // namespace tavix
