// The "Transforms" text edit done the plain way: find, replace in place,
// search again behind the replacement (quadratic with many matches). The
// reference for the linear version; `pattern` is not empty.
#ifndef TAVIX_TESTS_FUZZ_REFERENCE_REPLACE_H_
#define TAVIX_TESTS_FUZZ_REFERENCE_REPLACE_H_
#include <string>
namespace tavix {
inline std::ptrdiff_t ReferenceReplaceAll(std::wstring& text, const std::wstring& pattern,
                                          const std::wstring& replacement) {
  std::ptrdiff_t count = 0;
  for (std::size_t at = text.find(pattern); at != std::wstring::npos;
       at = text.find(pattern, at + replacement.size()), ++count) {
    text.replace(at, pattern.size(), replacement);
  }
  return count;
}
}  // namespace tavix
#endif  // TAVIX_TESTS_FUZZ_REFERENCE_REPLACE_H_
