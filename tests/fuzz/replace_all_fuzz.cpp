// A libFuzzer target: the linear ReplaceAll against the plain procedure.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/replace_all.h"
#include "reference_replace.h"

// UTF-16 units, or with `small` a byte a unit from four letters (frequent matches and overlaps).
static std::wstring Units(const std::uint8_t* data, std::size_t size, bool small) {
  std::wstring units;
  for (std::size_t i = 0; small ? i < size : i + 1 < size; i += small ? 1 : 2)
    units += small ? L"ab;\u00e9"[data[i] % 4] : static_cast<wchar_t>(data[i] | data[i + 1] << 8);
  return units;
}

// A mode byte, the pattern's and the (short) replacement's lengths, then their units and the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const bool small = data[0] & 1;
  const std::size_t unit = small ? 1 : 2, rest = (size - 3) / unit * unit;
  const std::size_t patternBytes = std::min<std::size_t>(data[1] * unit, rest);
  const std::size_t replacementBytes =
      std::min<std::size_t>(data[2] % 64 * unit, rest - patternBytes);
  const std::wstring pattern = Units(data + 3, patternBytes, small);
  const std::wstring replacement = Units(data + 3 + patternBytes, replacementBytes, small);
  const std::size_t textAt = 3 + patternBytes + replacementBytes;
  std::wstring actual = Units(data + textAt, size - textAt, small), expected = actual;
  const std::ptrdiff_t count = tavix::ReplaceAll(actual, pattern, replacement);
  if (count != (pattern.empty() ? 0 : ReferenceReplaceAll(expected, pattern, replacement)) ||
      actual != expected)
    std::abort();
  return 0;
}
