#include "app/transforms_value.h"

#include <vector>

#include "app/product.h"
#include "log/run_log.h"
#include "platform/platform.h"
#include "registry/registry_read.h"
#include "registry/registry_write.h"

namespace tavix {

std::ptrdiff_t ReplaceAll(std::u16string& text, const std::u16string& pattern,
                          const std::u16string& replacement) {
  if (pattern.empty() || pattern.size() > text.size()) return 0;

  // Each search resumes behind the replacement just made, so it only ever
  // sees text after the previous match: the occurrences are exactly those
  // of one left-to-right scan of the original text that does not overlap
  // matches. Knuth-Morris-Pratt keeps that scan linear.
  const std::size_t m = pattern.size();
  std::vector<std::size_t> border(m, 0);
  for (std::size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && pattern[i] != pattern[k]) k = border[k - 1];
    if (pattern[i] == pattern[k]) ++k;
    border[i] = k;
  }

  std::u16string result;
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
    result.append(text, copied, std::u16string::npos);
    text.swap(result);
  }
  return count;
}

bool RewriteTransformsValue(std::u16string productCode, std::u16string transformPath) {
  if (productCode.empty() || transformPath.empty()) return false;

  const char16_t* packedCode = nullptr;
  if (productCode == kProductCode32) {
    packedCode = kPackedCode32;
  } else if (productCode == kProductCode64) {
    packedCode = kPackedCode64;
  }
  RunLog* log = GetRunLog();
  if (packedCode == nullptr) {
    log->WriteLogLine(
        u"----- -->No updated on Transforms Register value --> Product Code and "
        u"Transforms file : \n");
    log->WriteLogLine(u"--------------------------------- --> Product Code : " + productCode +
                      u", Transforms file : " + transformPath + u" \n");
    return false;
  }

  const std::u16string keyPath = std::u16string(kProductsKeyPrefix) + packedCode;
  // The key may exist in both registry views, each with a value of its own:
  // the new text replaces the copy it was made from, so the write goes to the
  // view the read found it in and no other copy changes.
  REGSAM view = 0;
  const std::u16string oldValue =
      ReadRegistryString(keyPath.c_str(), HkeyClassesRoot(), kTransformsValue, &view);
  std::u16string newValue = oldValue;
  const std::ptrdiff_t withSeparator = ReplaceAll(newValue, transformPath + u";", u"");
  const std::ptrdiff_t alone = ReplaceAll(newValue, transformPath, u"");

  if (withSeparator > 0 || alone > 0) {
    log->WriteLogLine(u"Replaced Transforms Register value --> old value : " + oldValue + u"\n");
    log->WriteLogLine(u"--------------------------------- --> New value : " + newValue + u"\n");
    const bool written =
        WriteRegistryString(keyPath.c_str(), kTransformsValue, newValue.c_str(), view);
    log->WriteLogLine(
        written ? u"************Updated Transforms Register value Successfully.************ \n"
                : u"************Updated Transforms Register value Failed.************ \n");
    return true;
  }
  log->WriteLogLine(u"----- -->No updated on Transforms Register value --> value : \n" + oldValue);
  return true;
}

}  // namespace tavix
