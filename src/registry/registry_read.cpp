#include "registry/registry_read.h"

#include <utility>
#include <vector>

#include "registry/registry_path.h"
#include "registry/scoped_reg_key.h"

namespace tavix {
namespace {

// Finds the view that holds `path`: true with the view flag in `view`.
bool ProbeView(const wchar_t* path, HKEY root, REGSAM& view) {
  for (const REGSAM candidate : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}, REGSAM{0}}) {
    ScopedRegKey probe;
    if (RegOpenKeyExW(root, path, 0, KEY_READ | candidate, probe.Receive()) == ERROR_SUCCESS) {
      view = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace

HKEY OpenRegistryPath(const wchar_t* path, HKEY root, REGSAM* foundView) {
  if (foundView != nullptr) *foundView = 0;
  if (path == nullptr) return nullptr;
  REGSAM view = 0;
  if (!ProbeView(path, root, view)) return nullptr;
  if (foundView != nullptr) *foundView = view;

  std::vector<ScopedRegKey> opened;
  ScopedRegKey rootCheck;
  if (RegOpenKeyExW(root, nullptr, 0, KEY_READ | view, rootCheck.Receive()) != ERROR_SUCCESS) {
    return nullptr;
  }
  opened.push_back(std::move(rootCheck));

  std::vector<std::wstring> names;
  SplitRegistryPath(path, L"\\/", names);
  // A key below the current user's root comes back open for writing as well.
  const REGSAM walkAccess =
      (root == HKEY_CURRENT_USER ? KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY : KEY_READ) | view;
  HKEY parent = root;
  for (const std::wstring& name : names) {
    ScopedRegKey next;
    if (RegOpenKeyExW(parent, name.c_str(), 0, walkAccess, next.Receive()) != ERROR_SUCCESS) {
      return nullptr;
    }
    parent = next.get();
    opened.push_back(std::move(next));
  }
  return opened.back().release();
}

std::wstring ReadRegistryString(const wchar_t* path, HKEY root, const wchar_t* valueName,
                                REGSAM* view) {
  ScopedRegKey key(OpenRegistryPath(path, root, view));
  if (key.get() == nullptr) return std::wstring();

  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::wstring();
  }
  // One unit more than the data can fill, so the text always ends in a NUL.
  std::vector<wchar_t> buffer(size / 2 + 1, L'\0');
  DWORD read = size;
  if (RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &read) != ERROR_SUCCESS) {
    return std::wstring();
  }
  // Only what was returned counts, never more than the buffer holds.
  const std::size_t units = (read < size ? read : size) / 2;
  std::size_t length = 0;
  while (length < units && buffer[length] != L'\0') ++length;
  return std::wstring(buffer.data(), length);
}

}  // namespace tavix
