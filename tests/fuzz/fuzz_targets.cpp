// libFuzzer targets, one per build of this file (FUZZ_TARGET names it): the
// linear ReplaceAll against the plain procedure, and the UTF-8 conversions
// against each other.
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

// The encoder and the decoder against each other on any UTF-16: each unit
// comes back, but an unpaired surrogate as U+FFFD; and what the decoder
// makes of any bytes encodes and decodes unchanged.
[[maybe_unused]] void Utf8Agrees(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = Units(data, size, false);
  const std::u16string back = tavix::Utf8ToWide(tavix::WideToUtf8(text));
  CHECK(back.size() == text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool paired =
        text[i] >> 10 == 0x36
            ? i + 1 < text.size() && text[i + 1] >> 10 == 0x37
            : text[i] >> 10 == 0x37 && i > 0 && text[i - 1] >> 10 == 0x36 && back[i - 1] != 0xFFFD;
    CHECK(back[i] == (text[i] >> 11 != 0x1B || paired ? text[i] : 0xFFFD));
  }
  const std::u16string decoded = tavix::Utf8ToWide(std::string(data, data + size));
  CHECK(tavix::Utf8ToWide(tavix::WideToUtf8(decoded)) == decoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FUZZ_TARGET(data, size);
  return 0;
}
