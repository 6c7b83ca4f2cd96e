#include "registry/registry_read.h"

#include <utility>
#include <vector>

#include "registry/registry_path.h"
#include "registry/scoped_reg_key.h"

namespace tavix {
namespace {

// Finds the view that holds `path`: true with the view flag in `view`.
bool ProbeView(const char16_t* path, HKEY root, REGSAM& view) {
  Platform& platform = CurrentPlatform();
  for (const REGSAM candidate : {kKeyWow64_32Key, kKeyWow64_64Key, REGSAM{0}}) {
    ScopedRegKey probe;
    if (platform.RegOpenKeyExW(root, path, 0, kKeyRead | candidate, probe.Receive()) ==
        kErrorSuccess) {
      view = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace

HKEY OpenRegistryPath(const char16_t* path, HKEY root, REGSAM* foundView) {
  if (foundView != nullptr) *foundView = 0;
  if (path == nullptr) return nullptr;
  REGSAM view = 0;
  if (!ProbeView(path, root, view)) return nullptr;
  if (foundView != nullptr) *foundView = view;

  Platform& platform = CurrentPlatform();
  std::vector<ScopedRegKey> opened;
  ScopedRegKey rootCheck;
  if (platform.RegOpenKeyExW(root, nullptr, 0, kKeyRead | view, rootCheck.Receive()) !=
      kErrorSuccess) {
    return nullptr;
  }
  opened.push_back(std::move(rootCheck));

  std::vector<std::u16string> names;
  SplitRegistryPath(path, u"\\/", names);
  // A key below the current user's root comes back open for writing as well.
  const REGSAM walkAccess =
      (root == HkeyCurrentUser() ? kKeyRead | kKeySetValue | kKeyCreateSubKey : kKeyRead) | view;
  HKEY parent = root;
  for (const std::u16string& name : names) {
    ScopedRegKey next;
    if (platform.RegOpenKeyExW(parent, name.c_str(), 0, walkAccess, next.Receive()) !=
        kErrorSuccess) {
      return nullptr;
    }
    parent = next.get();
    opened.push_back(std::move(next));
  }
  return opened.back().release();
}

std::u16string ReadRegistryString(const char16_t* path, HKEY root, const char16_t* valueName,
                                  REGSAM* view) {
  ScopedRegKey key(OpenRegistryPath(path, root, view));
  if (key.get() == nullptr) return std::u16string();

  Platform& platform = CurrentPlatform();
  DWORD type = 0;
  DWORD size = 0;
  if (platform.RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &size) !=
      kErrorSuccess) {
    return std::u16string();
  }
  // One unit more than the data can fill, so the text always ends in a NUL.
  std::vector<char16_t> buffer(size / 2 + 1, u'\0');
  DWORD read = size;
  if (platform.RegQueryValueExW(key.get(), valueName, nullptr, &type,
                                reinterpret_cast<BYTE*>(buffer.data()), &read) != kErrorSuccess) {
    return std::u16string();
  }
  // Only what was returned counts, never more than the buffer holds.
  const std::size_t units = (read < size ? read : size) / 2;
  std::size_t length = 0;
  while (length < units && buffer[length] != u'\0') ++length;
  return std::u16string(buffer.data(), length);
}

}  // namespace tavix
