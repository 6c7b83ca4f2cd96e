#include "tracking_platform.h"

#include <algorithm>

namespace tavix {

std::size_t TrackingPlatform::Count(const std::string& function) const {
  return static_cast<std::size_t>(std::count_if(
      calls_.begin(), calls_.end(), [&](const Call& c) { return c.function == function; }));
}

LONG TrackingPlatform::Record(const char* function, HKEY key, const char16_t* text, REGSAM sam,
                              LONG result) {
  calls_.push_back(Call{function, key, text ? std::u16string(text) : u"<null>", sam, result});
  return result;
}

void TrackingPlatform::Opened(LONG result, HKEY* handle) {
  if (result == kErrorSuccess && handle && *handle && !IsPredefinedKey(*handle)) {
    open_.insert(*handle);
  }
}

LONG TrackingPlatform::RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options,
                                     REGSAM samDesired, HKEY* result) {
  const LONG r = inner_.RegOpenKeyExW(key, subKey, options, samDesired, result);
  Opened(r, result);
  return Record("RegOpenKeyExW", key, subKey, samDesired, r);
}

LONG TrackingPlatform::RegQueryValueExW(HKEY key, const char16_t* valueName, DWORD* reserved,
                                        DWORD* type, BYTE* data, DWORD* cbData) {
  return Record("RegQueryValueExW", key, valueName, 0,
                inner_.RegQueryValueExW(key, valueName, reserved, type, data, cbData));
}

LONG TrackingPlatform::RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD reserved,
                                       char16_t* keyClass, DWORD options, REGSAM samDesired,
                                       const void* securityAttributes, HKEY* result,
                                       DWORD* disposition) {
  const LONG r = inner_.RegCreateKeyExW(key, subKey, reserved, keyClass, options, samDesired,
                                        securityAttributes, result, disposition);
  Opened(r, result);
  return Record("RegCreateKeyExW", key, subKey, samDesired, r);
}

LONG TrackingPlatform::RegSetValueExW(HKEY key, const char16_t* valueName, DWORD reserved,
                                      DWORD type, const BYTE* data, DWORD cbData) {
  return Record("RegSetValueExW", key, valueName, type,
                inner_.RegSetValueExW(key, valueName, reserved, type, data, cbData));
}

LONG TrackingPlatform::RegDeleteValueW(HKEY key, const char16_t* valueName) {
  return Record("RegDeleteValueW", key, valueName, 0, inner_.RegDeleteValueW(key, valueName));
}

LONG TrackingPlatform::RegDeleteKeyW(HKEY key, const char16_t* subKey) {
  return Record("RegDeleteKeyW", key, subKey, 0, inner_.RegDeleteKeyW(key, subKey));
}

LONG TrackingPlatform::RegCloseKey(HKEY key) {
  const auto it = open_.find(key);
  if (it != open_.end()) open_.erase(it);
  return Record("RegCloseKey", key, nullptr, 0, inner_.RegCloseKey(key));
}

}  // namespace tavix
