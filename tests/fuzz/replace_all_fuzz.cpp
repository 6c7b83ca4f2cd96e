// ReplaceAll on arbitrary text, pattern and replacement against the plain
// find-replace-search-on procedure.
//
// Input: a mode byte, the pattern's length and the replacement's length (in
// units), then the units of pattern, replacement and text in that order.
// With bit 0 of the mode set each later byte is one unit of a four-letter
// alphabet, so that matches, overlaps and near misses are frequent; without
// it, every two bytes are one little-endian UTF-16 unit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/transforms_value.h"
#include "fuzz_check.h"
#include "reference_replace.h"

namespace {

std::u16string Units(const std::uint8_t* data, std::size_t size, bool smallAlphabet) {
  if (!smallAlphabet) return tavix::fuzz::Utf16Le(data, size);
  static constexpr char16_t kAlphabet[] = {u'a', u'b', u';', u'\u00e9'};
  std::u16string units(size, u'\0');
  for (std::size_t i = 0; i < size; ++i) units[i] = kAlphabet[data[i] % 4];
  return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const bool smallAlphabet = (data[0] & 1) != 0;
  const std::size_t unitBytes = smallAlphabet ? 1 : 2;
  // The replacement is kept short: the reference shifts the whole text on
  // every match, and a long replacement only makes it slow.
  std::size_t patternBytes = data[1] * unitBytes;
  std::size_t replacementBytes = (data[2] % 64) * unitBytes;
  data += 3;
  size -= 3;
  if (patternBytes > size) patternBytes = size - size % unitBytes;
  if (replacementBytes > size - patternBytes) {
    replacementBytes = (size - patternBytes) - (size - patternBytes) % unitBytes;
  }
  const std::u16string pattern = Units(data, patternBytes, smallAlphabet);
  const std::u16string replacement = Units(data + patternBytes, replacementBytes, smallAlphabet);
  const std::size_t textOffset = patternBytes + replacementBytes;
  const std::u16string text = Units(data + textOffset, size - textOffset, smallAlphabet);

  // An empty pattern replaces nothing, whatever the replacement.
  std::u16string untouched = text;
  FUZZ_CHECK(tavix::ReplaceAll(untouched, u"", replacement) == 0);
  FUZZ_CHECK(untouched == text);
  if (pattern.empty()) return 0;

  std::u16string actual = text;
  std::u16string expected = text;
  const std::ptrdiff_t count = tavix::ReplaceAll(actual, pattern, replacement);
  FUZZ_CHECK(count == tavix::ReferenceReplaceAll(expected, pattern, replacement));
  FUZZ_CHECK(actual == expected);
  return 0;
}
