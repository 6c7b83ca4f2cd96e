#include "world.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <regex>

#include "log/text.h"
#include "registry/scoped_reg_key.h"

namespace tavix {

bool ClosedARoot(const World& world) {
  const std::vector<World::RegCall> calls = world.RegistryCalls();
  return std::any_of(calls.begin(), calls.end(), [](const World::RegCall& call) {
    return call.function == "RegCloseKey" && call.key - PredefinedKeyValue(0x80000000u) < 3;
  });
}

std::vector<BYTE> Utf16Bytes(const std::u16string& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(bytes, bytes + text.size() * 2);
}

void PutValue(HKEY root, REGSAM view, const std::u16string& path, const std::u16string& name,
              const RegValue& value) {
  Platform& platform = CurrentPlatform();
  ScopedRegKey key;
  if (platform.RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, kKeyWrite | view, nullptr,
                               key.Receive(), nullptr) != kErrorSuccess ||
      platform.RegSetValueExW(key.get(), name.c_str(), 0, value.type, value.data.data(),
                              static_cast<DWORD>(value.data.size())) != kErrorSuccess) {
    std::abort();  // the machine under test cannot be set up
  }
}

void PutString(HKEY root, REGSAM view, const std::u16string& path, const std::u16string& name,
               const std::u16string& text, DWORD type) {
  PutValue(root, view, path, name, {type, Utf16Bytes(text + u'\0')});
}

std::string ShowValue(const std::optional<RegValue>& value) {
  if (!value) return "(none)";
  std::u16string text(value->data.size() / 2, u'\0');
  std::memcpy(&text[0], value->data.data(), text.size() * 2);
  return "type " + std::to_string(value->type) + ": " + U8(text);
}

std::string ShowValue(HKEY root, const std::u16string& path, const std::u16string& name,
                      REGSAM view) {
  Platform& platform = CurrentPlatform();
  ScopedRegKey key;
  RegValue value{0, std::vector<BYTE>(4096)};
  DWORD size = 4096;
  if (platform.RegOpenKeyExW(root, path.c_str(), 0, kKeyRead | view, key.Receive()) !=
          kErrorSuccess ||
      platform.RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, value.data.data(),
                                &size) != kErrorSuccess) {
    return ShowValue(std::nullopt);
  }
  value.data.resize(size);
  return ShowValue(value);
}

bool KeyExists(HKEY root, const std::u16string& path) {
  ScopedRegKey key;
  return CurrentPlatform().RegOpenKeyExW(root, path.c_str(), 0, kKeyRead, key.Receive()) ==
         kErrorSuccess;
}

std::string MaskTimeStamps(const std::string& log) {
  return std::regex_replace(log, std::regex("(^|\n)[0-9]{2}:[0-9]{2}:[0-9]{2}"), "$1##:##:##");
}

std::string U8(const std::u16string& text) { return WideToUtf8(text); }

}  // namespace tavix
