// libFuzzer targets, one per build of this file (FUZZ_TARGET names it): the
// linear ReplaceAll against the plain procedure, and the UTF-8 conversions
// against a plain encoder.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/transforms_value.h"
#include "log/text.h"
#include "reference_replace.h"

#define CHECK(condition) \
  if (!(condition)) std::abort()

namespace {

// Little-endian UTF-16 units, or with `small` a byte a unit from four
// letters, where matches and overlaps are frequent.
std::u16string Units(const std::uint8_t* data, std::size_t size, bool small) {
  std::u16string units;
  for (std::size_t i = 0; small ? i < size : i + 1 < size; i += small ? 1 : 2) {
    units += small ? u"ab;\u00e9"[data[i] % 4] : char16_t(data[i] | data[i + 1] << 8);
  }
  return units;
}

// A mode byte, the pattern's and the replacement's lengths, then the units
// of pattern, replacement and text. The replacement stays short: the plain
// procedure shifts the whole text at every match.
[[maybe_unused]] void ReplaceAllAgrees(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return;
  const bool small = data[0] & 1;
  const std::size_t unit = small ? 1 : 2, rest = (size - 3) / unit * unit;
  const std::size_t patternBytes = std::min<std::size_t>(data[1] * unit, rest);
  const std::size_t replacementBytes =
      std::min<std::size_t>(data[2] % 64 * unit, rest - patternBytes);
  const std::u16string pattern = Units(data + 3, patternBytes, small);
  const std::u16string replacement = Units(data + 3 + patternBytes, replacementBytes, small);
  const std::size_t textAt = 3 + patternBytes + replacementBytes;
  const std::u16string text = Units(data + textAt, size - textAt, small);
  std::u16string actual = text, expected = text;
  const std::ptrdiff_t count = tavix::ReplaceAll(actual, pattern, replacement);
  CHECK(count ==
        (pattern.empty() ? 0 : tavix::ReferenceReplaceAll(expected, pattern, replacement)));
  CHECK(actual == expected);
}

// Any UTF-16, each unpaired surrogate standing for U+FFFD.
[[maybe_unused]] void Utf8Agrees(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = Units(data, size, false);
  std::string utf8;
  std::u16string repaired;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >> 10 == 0x36 && i + 1 < text.size() && text[i + 1] >> 10 == 0x37) {
      repaired += text.substr(i, 2);
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else {
      c = c >> 11 == 0x1B ? 0xFFFD : c;
      repaired += char16_t(c);
    }
    const int length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    for (int k = length - 1; k > 0; --k, c >>= 6) bytes[k] = char(0x80 | (c & 0x3F));
    bytes[0] = char((length == 1 ? 0 : 0xF00 >> length & 0xF0) | c);
    utf8 += bytes;
  }
  CHECK(tavix::WideToUtf8(text) == utf8);
  CHECK(tavix::Utf8ToWide(utf8) == repaired);
  // Whatever bytes come in, what comes out encodes and decodes unchanged.
  const std::u16string decoded = tavix::Utf8ToWide(std::string(data, data + size));
  CHECK(tavix::Utf8ToWide(tavix::WideToUtf8(decoded)) == decoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FUZZ_TARGET(data, size);
  return 0;
}
