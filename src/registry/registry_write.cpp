#include "registry/registry_write.h"

#include <string>
#include <vector>

#include "platform/platform.h"
#include "registry/registry_path.h"
#include "registry/scoped_reg_key.h"

namespace tavix {

bool WriteRegistryString(const char16_t* path, const char16_t* valueName, const char16_t* text,
                         REGSAM view) {
  if (path == nullptr) return false;

  std::u16string keyPath = path;
  std::u16string keyToDelete;
  if (valueName == nullptr) {
    std::vector<std::u16string> names;
    SplitRegistryPath(path, u"\\", names);
    // Never delete a key directly below the root.
    if (names.size() < 2) return false;
    keyToDelete = names.back();
    names.pop_back();
    keyPath.clear();
    for (const std::u16string& name : names) {
      if (!keyPath.empty()) keyPath += u'\\';
      keyPath += name;
    }
  }

  Platform& platform = CurrentPlatform();
  ScopedRegKey key;
  DWORD disposition = 0;
  if (platform.RegCreateKeyExW(HkeyClassesRoot(), keyPath.c_str(), 0, nullptr,
                               kRegOptionNonVolatile, kKeyWrite | view, nullptr, key.Receive(),
                               &disposition) != kErrorSuccess) {
    return false;
  }

  LONG result;
  if (valueName == nullptr) {
    result = platform.RegDeleteKeyW(key.get(), keyToDelete.c_str());
  } else if (text == nullptr) {
    result = platform.RegDeleteValueW(key.get(), valueName);
  } else {
    const std::u16string value = text;
    result = platform.RegSetValueExW(key.get(), valueName, 0, kRegSz,
                                     reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
  }
  return result == kErrorSuccess;
}

}  // namespace tavix
