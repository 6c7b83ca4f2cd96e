// Striking the cached transform file out of the product's "Transforms" value.
#ifndef TAVIX_APP_TRANSFORMS_VALUE_H_
#define TAVIX_APP_TRANSFORMS_VALUE_H_

#include <cstddef>
#include <string>

namespace tavix {

// Replaces occurrences of `pattern` in `text` and returns how many. The
// result is that of searching from the start, replacing the occurrence at p
// and searching again from p + replacement length, but computed in time
// linear in the text. Matches are exact code units, anywhere in the text. An
// empty pattern replaces nothing.
std::ptrdiff_t ReplaceAll(std::u16string& text, const std::u16string& pattern,
                          const std::u16string& replacement);

// Removes every occurrence of `transformPath` (with its following ';' where
// it has one) from the "Transforms" value of the product's Installer key,
// logs the old and the new value and writes the new one back as REG_SZ, in
// the registry view the value was read from (no other copy changes).
// False for an empty argument or an unknown product code; true otherwise,
// whether or not anything was removed or written.
bool RewriteTransformsValue(std::u16string productCode, std::u16string transformPath);

}  // namespace tavix

#endif  // TAVIX_APP_TRANSFORMS_VALUE_H_
