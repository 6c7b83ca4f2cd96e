// Splitting a registry key path into its key names.
#ifndef TAVIX_REGISTRY_REGISTRY_PATH_H_
#define TAVIX_REGISTRY_REGISTRY_PATH_H_

#include <string>
#include <vector>

namespace tavix {

// Empties `components`, then fills it with the pieces of `path` cut at every
// character of `separators`, each trimmed of blanks (U+0020 only) at both
// ends; pieces left empty are dropped. Quotes are ordinary characters.
void SplitRegistryPath(const std::wstring& path, const std::wstring& separators,
                       std::vector<std::wstring>& components);

}  // namespace tavix

#endif  // TAVIX_REGISTRY_REGISTRY_PATH_H_
