// A libFuzzer target: the linear ReplaceAll against the plain procedure, on text of four letters
// so that matches and overlaps are frequent. A byte gives the pattern's length, one the (short)
// replacement's, then each byte is a unit of the pattern, the replacement and the text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/replace_all.h"
#include "reference_replace.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::wstring units;
  for (std::size_t i = 2; i < size; ++i) units += L"ab;\u00e9"[data[i] % 4];
  const std::size_t patternLength = std::min<std::size_t>(data[0], units.size());
  const std::size_t replacementLength =
      std::min<std::size_t>(data[1] % 64, units.size() - patternLength);
  const std::wstring pattern = units.substr(0, patternLength);
  const std::wstring replacement = units.substr(patternLength, replacementLength);
  std::wstring actual = units.substr(patternLength + replacementLength);
  std::wstring expected = actual;
  const std::ptrdiff_t count = tavix::ReplaceAll(actual, pattern, replacement);
  const bool none = pattern.empty();
  const std::ptrdiff_t expectedCount =
      none ? 0 : ReferenceReplaceAll(expected, pattern, replacement);
  if (count != expectedCount || actual != expected) std::abort();
  return 0;
}
