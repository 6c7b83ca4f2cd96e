// Opening a key path in the first registry view that holds it, and reading
// one value as text.
#ifndef TAVIX_REGISTRY_REGISTRY_READ_H_
#define TAVIX_REGISTRY_REGISTRY_READ_H_

#include <windows.h>

#include <string>

namespace tavix {

// Opens `path` below `root` for reading and returns the key, or null on any
// failure (including a null `path`). The whole path is first probed
// unchanged in the 32-bit view, the 64-bit view and then with no view flag;
// the first view that holds it is used to walk the path one key name at a
// time (names split at '\' and '/', blanks trimmed). Below
// HKEY_CURRENT_USER every key of the walk is also opened for writing.
// Every key opened on the way is closed; the caller owns the result, which
// may be a predefined root when the path names no key, and must then not be
// closed (ScopedRegKey takes care of both). A non-null `view` receives the
// view flag the path was found under (KEY_WOW64_32KEY, KEY_WOW64_64KEY, or 0
// for none, also when no view holds it).
HKEY OpenRegistryPath(const wchar_t* path, HKEY root, REGSAM* view = nullptr);

// The text of value `valueName` of `path` below `root`: the data read as
// UTF-16 up to the first NUL, whatever the value's type, an odd last byte
// ignored. The empty string on any failure. A non-null `view` receives the
// view flag of the key read, as from OpenRegistryPath.
std::wstring ReadRegistryString(const wchar_t* path, HKEY root, const wchar_t* valueName,
                                REGSAM* view = nullptr);

}  // namespace tavix

#endif  // TAVIX_REGISTRY_REGISTRY_READ_H_
