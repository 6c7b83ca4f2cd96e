// The "Transforms" edit against the plain procedure.
#include "app/replace_all.h"

#include <gtest/gtest.h>

#include <random>

#include "reference_replace.h"

namespace tavix {
namespace {

// Tests the edit against the plain procedure on random texts over two
// letters, with patterns long enough to repeat inside themselves, and on the
// cases that procedure cannot take.
TEST(ReplaceAllTest, AgreesWithThePlainProcedure) {
  std::mt19937 random(20261206);
  auto make = [&](std::size_t minimum, std::size_t maximum) {
    std::wstring s(minimum + random() % (maximum - minimum + 1), L'a');
    for (wchar_t& c : s) c = static_cast<wchar_t>(L'a' + random() % 2);
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::wstring text = make(0, 40), pattern = make(1, 8), replacement = make(0, 3);
    std::wstring fast = text, plain = text;
    const std::ptrdiff_t count = ReplaceAll(fast, pattern, replacement);
    ASSERT_EQ(count, ReferenceReplaceAll(plain, pattern, replacement))
        << std::string(text.begin(), text.end()) << " / "
        << std::string(pattern.begin(), pattern.end());
    ASSERT_EQ(fast, plain) << std::string(text.begin(), text.end());
  }
  std::wstring text = L"aaabaabb";
  EXPECT_EQ(ReplaceAll(text, L"aaabb", L"x") + ReplaceAll(text, L"", L"x"), 0);
  EXPECT_EQ(text, L"aaabaabb");
}

}  // namespace
}  // namespace tavix
