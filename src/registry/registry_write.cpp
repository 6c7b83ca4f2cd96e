#include "registry/registry_write.h"

#include <string>
#include <vector>

#include "registry/registry_path.h"
#include "registry/scoped_reg_key.h"

namespace tavix {

bool WriteRegistryString(const wchar_t* path, const wchar_t* valueName, const wchar_t* text,
                         REGSAM view) {
  if (path == nullptr) return false;

  std::wstring keyPath = path;
  std::wstring keyToDelete;
  if (valueName == nullptr) {
    std::vector<std::wstring> names;
    SplitRegistryPath(path, L"\\", names);
    // Never delete a key directly below the root.
    if (names.size() < 2) return false;
    keyToDelete = names.back();
    names.pop_back();
    keyPath.clear();
    for (const std::wstring& name : names) {
      if (!keyPath.empty()) keyPath += L'\\';
      keyPath += name;
    }
  }

  ScopedRegKey key;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE | view, nullptr, key.Receive(), nullptr) != ERROR_SUCCESS) {
    return false;
  }

  LONG result;
  if (valueName == nullptr) {
    result = RegDeleteKeyW(key.get(), keyToDelete.c_str());
  } else if (text == nullptr) {
    result = RegDeleteValueW(key.get(), valueName);
  } else {
    const std::wstring value = text;
    result = RegSetValueExW(key.get(), valueName, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  return result == ERROR_SUCCESS;
}

}  // namespace tavix
