// The "Transforms" edit done the plain, quadratic way. `pattern` is not empty.
#pragma once
#include <string>
inline std::ptrdiff_t ReferenceReplaceAll(std::wstring& text, const std::wstring& pattern,
                                          const std::wstring& replacement) {
  std::ptrdiff_t count = 0;
  for (std::size_t at = text.find(pattern); at != std::wstring::npos;
       at = text.find(pattern, at + replacement.size())) {
    text.replace(at, pattern.size(), replacement);
    ++count;
  }
  return count;
}
