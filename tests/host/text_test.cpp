// The pure text routines at their edges: the "Transforms" edit, the UTF-8
// conversions and the bytes of a log line.
#include <gtest/gtest.h>

#include <random>

#include "app/transforms_value.h"
#include "log/run_log.h"
#include "log/text.h"
#include "reference_replace.h"

namespace tavix {
namespace {

// Tests the edit against the plain procedure on random texts over two
// letters, with patterns long enough to repeat inside themselves, and on the
// cases that procedure cannot take.
TEST(TextTest, ReplaceAll) {
  std::mt19937 random(20261206);
  auto make = [&](std::size_t minimum, std::size_t maximum) {
    std::u16string s(minimum + random() % (maximum - minimum + 1), u'a');
    for (char16_t& c : s) c = static_cast<char16_t>(u'a' + random() % 2);
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::u16string text = make(0, 40), pattern = make(1, 8), replacement = make(0, 3);
    std::u16string fast = text, plain = text;
    ASSERT_EQ(ReplaceAll(fast, pattern, replacement),
              ReferenceReplaceAll(plain, pattern, replacement))
        << WideToUtf8(text) << " / " << WideToUtf8(pattern);
    ASSERT_EQ(fast, plain) << WideToUtf8(text) << " / " << WideToUtf8(pattern);
  }
  std::u16string text = u"aaabaabb";
  EXPECT_EQ(ReplaceAll(text, u"aaabb", u"x") + ReplaceAll(text, u"", u"x"), 0);
  EXPECT_EQ(text, u"aaabaabb");
}

// Tests both conversions at the boundaries of every encoded length and on
// malformed input, which becomes U+FFFD.
TEST(TextTest, Conversions) {
  const struct {
    std::u16string wide;
    std::string utf8;
    int direction;  // 0: both ways, 1: to UTF-8 only, 2: to UTF-16 only
  } cases[] = {
      {u"A\u007F\u0080\u07FF", "A\x7F\xC2\x80\xDF\xBF", 0},
      {u"\u0800\uFFFF\U0001F600\U0010FFFF",
       "\xE0\xA0\x80\xEF\xBF\xBF\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", 0},
      {std::u16string(1, u'\0'), std::string(1, '\0'), 0},
      {u"\xD83D\xD83D\xDE00\xDC00", "\xEF\xBF\xBD\xF0\x9F\x98\x80\xEF\xBF\xBD", 1},
      {u"\uFFFD\uFFFD\uFFFD", "\xED\xA0\x80", 2},            // an encoded surrogate
      {u"\uFFFD\uFFFD", "\xC0\xAF", 2},                      // overlong
      {u"\uFFFD\uFFFD\uFFFD\uFFFD", "\xF4\x90\x80\x80", 2},  // above U+10FFFF
      {u"a\uFFFD\uFFFD", "a\xE2\x82", 2},                    // cut short
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.direction == 2 ? c.utf8 : WideToUtf8(c.wide), c.utf8) << WideToUtf8(c.wide);
    EXPECT_EQ(c.direction == 1 ? c.wide : Utf8ToWide(c.utf8), c.wide) << WideToUtf8(c.wide);
  }
}

// Tests the bytes of one log line: the time stamp's format and LF stored as
// CR LF, a CR on its own left as it is.
TEST(TextTest, LineFormat) {
  EXPECT_EQ(FormatWideString(u"%02d:%02d:%02d", 9, 5, 7), u"09:05:07");
  EXPECT_EQ(FormatWideString(nullptr), u"");
  EXPECT_EQ(ToCrLf("a\r\nb\n\n"), "a\r\r\nb\r\n\r\n");
}

}  // namespace
}  // namespace tavix
