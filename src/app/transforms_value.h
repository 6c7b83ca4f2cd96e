// Striking the cached transform file out of the product's "Transforms" value.
#ifndef TAVIX_APP_TRANSFORMS_VALUE_H_
#define TAVIX_APP_TRANSFORMS_VALUE_H_

#include <string>

namespace tavix {

// Removes every occurrence of `transformPath` (with its following ';' where
// it has one) from the "Transforms" value of the product's Installer key,
// logs the old and the new value and writes the new one back as REG_SZ, in
// the registry view the value was read from (no other copy changes).
// False for an empty argument or an unknown product code; true otherwise,
// whether or not anything was removed or written.
bool RewriteTransformsValue(std::wstring productCode, std::wstring transformPath);

}  // namespace tavix

#endif  // TAVIX_APP_TRANSFORMS_VALUE_H_
