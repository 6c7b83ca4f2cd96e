#include <gtest/gtest.h>

#include <random>

#include "app/transforms_value.h"
#include "log/text.h"
#include "reference_replace.h"

namespace tavix {
namespace {

// Tests the two passes of the rewrite on the worked examples (P is the path).
TEST(ReplaceAllTest, WorkedExamples) {
  const struct {
    std::u16string value;
    std::ptrdiff_t first, second;
    std::u16string result;
  } cases[] = {
      {u"A;P;B", 1, 0, u"A;B"}, {u"A;P", 0, 1, u"A;"},  {u"P;A;P", 1, 1, u"A;"},
      {u"P;P;", 2, 0, u""},     {u"P", 0, 1, u""},      {u"A;B", 0, 0, u"A;B"},
      {u"", 0, 0, u""},         {u"XP;Y", 1, 0, u"XY"}, {u"p;P", 0, 1, u"p;"},
  };
  for (const auto& c : cases) {
    std::u16string text = c.value;
    EXPECT_EQ(ReplaceAll(text, u"P;", u""), c.first) << WideToUtf8(c.value);
    EXPECT_EQ(ReplaceAll(text, u"P", u""), c.second) << WideToUtf8(c.value);
    EXPECT_EQ(text, c.result) << WideToUtf8(c.value);
  }
}

// Tests cases where a removal brings text together: only text behind the
// last match is searched again.
TEST(ReplaceAllTest, JoinsAreNotSearchedAgain) {
  const struct {
    std::u16string text, pattern, replacement, result;
    std::ptrdiff_t count;
  } cases[] = {
      {u"aabb", u"ab", u"", u"ab", 1},     {u"aaa", u"aa", u"", u"a", 1},
      {u"abab", u"ab", u"ab", u"abab", 2}, {u"xx", u"x", u"xx", u"xxxx", 2},
      {u"abc", u"", u"z", u"abc", 0},      {u"ab", u"abc", u"", u"ab", 0},
  };
  for (const auto& c : cases) {
    std::u16string text = c.text;
    EXPECT_EQ(ReplaceAll(text, c.pattern, c.replacement), c.count) << WideToUtf8(c.text);
    EXPECT_EQ(text, c.result) << WideToUtf8(c.text);
  }
}

// Tests agreement with the plain procedure on random texts over a small
// alphabet, where overlaps and near-misses are frequent.
TEST(ReplaceAllTest, AgreesWithPlainProcedure) {
  std::mt19937 random(20261206);
  auto make = [&](std::size_t maxLength) {
    std::u16string s(random() % (maxLength + 1), u'a');
    for (char16_t& c : s) c = static_cast<char16_t>(u'a' + random() % 3);
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::u16string text = make(24);
    std::u16string pattern = make(4);
    if (pattern.empty()) pattern = u"a";
    const std::u16string replacement = make(3);
    std::u16string fast = text;
    std::u16string plain = text;
    ASSERT_EQ(ReplaceAll(fast, pattern, replacement),
              ReferenceReplaceAll(plain, pattern, replacement))
        << WideToUtf8(text) << " / " << WideToUtf8(pattern);
    ASSERT_EQ(fast, plain) << WideToUtf8(text) << " / " << WideToUtf8(pattern);
  }
}

}  // namespace
}  // namespace tavix
