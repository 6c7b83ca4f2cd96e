#include "app/replace_all.h"

#include <vector>

namespace tavix {

std::ptrdiff_t ReplaceAll(std::wstring& text, const std::wstring& pattern,
                          const std::wstring& replacement) {
  if (pattern.empty() || pattern.size() > text.size()) return 0;

  // Each search resumes behind the replacement just made, so it only ever
  // sees text after the previous match: the occurrences are exactly those
  // of one left-to-right scan of the original text that does not overlap
  // matches. Knuth-Morris-Pratt keeps that scan linear.
  const std::size_t m = pattern.size();
  std::vector<std::size_t> border(m, 0);
  std::size_t k = 0;
  for (std::size_t i = 1; i < m; ++i) {
    while (k > 0 && pattern[i] != pattern[k]) k = border[k - 1];
    if (pattern[i] == pattern[k]) ++k;
    border[i] = k;
  }

  std::wstring result;
  std::ptrdiff_t count = 0;
  std::size_t copied = 0;  // text before this index is settled in `result`
  std::size_t matched = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    while (matched > 0 && text[i] != pattern[matched]) matched = border[matched - 1];
    if (text[i] == pattern[matched]) ++matched;
    if (matched == m) {
      const std::size_t start = i + 1 - m;
      if (count == 0) result.reserve(text.size());
      result.append(text, copied, start - copied);
      result += replacement;
      copied = i + 1;
      matched = 0;
      ++count;
    }
  }
  if (count > 0) {
    result.append(text, copied, std::wstring::npos);
    text.swap(result);
  }
  return count;
}

}  // namespace tavix
