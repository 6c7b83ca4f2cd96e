// The text edit of the "Transforms" rewrite done the plain way, as the
// reference that the fast version is held against.
#ifndef TAVIX_TESTS_SUPPORT_REFERENCE_REPLACE_H_
#define TAVIX_TESTS_SUPPORT_REFERENCE_REPLACE_H_

#include <cstddef>
#include <string>

namespace tavix {

// Finds `pattern`, replaces it in place, searches again behind the
// replacement; quadratic on texts with many matches. `pattern` is not empty.
inline std::ptrdiff_t ReferenceReplaceAll(std::u16string& text, const std::u16string& pattern,
                                          const std::u16string& replacement) {
  std::ptrdiff_t count = 0;
  for (std::size_t at = text.find(pattern); at != std::u16string::npos;
       at = text.find(pattern, at + replacement.size())) {
    text.replace(at, pattern.size(), replacement);
    ++count;
  }
  return count;
}

}  // namespace tavix

#endif  // TAVIX_TESTS_SUPPORT_REFERENCE_REPLACE_H_
