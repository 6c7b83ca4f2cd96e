// Writing a string value, or deleting a value or a key, below
// HKEY_CLASSES_ROOT.
#ifndef TAVIX_REGISTRY_REGISTRY_WRITE_H_
#define TAVIX_REGISTRY_REGISTRY_WRITE_H_

#include <windows.h>

namespace tavix {

// The mode follows from which arguments are present (non-null):
//   valueName and text: writes `text` as REG_SZ (with its terminating NUL);
//   valueName alone:    deletes the value;
//   no valueName:       deletes the last key of `path` below its parent
//                       (names split at '\' only, blanks trimmed); a path of
//                       fewer than two key names is refused untouched.
// The key path is created first where missing, with KEY_WRITE plus `view`
// (KEY_WOW64_32KEY, KEY_WOW64_64KEY, or 0 for the process's own view).
// Returns true exactly when the final registry call succeeded; a null `path`
// gives false and touches nothing. Keys created stay even when it fails.
bool WriteRegistryString(const wchar_t* path, const wchar_t* valueName, const wchar_t* text,
                         REGSAM view = 0);

}  // namespace tavix

#endif  // TAVIX_REGISTRY_REGISTRY_WRITE_H_
