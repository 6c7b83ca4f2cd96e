#include "platform/platform.h"

#include <cstdlib>

namespace tavix {
namespace {

Platform* g_platform = nullptr;

std::uintptr_t KeyValue(HKEY key) { return reinterpret_cast<std::uintptr_t>(key); }

}  // namespace

bool IsPredefinedKey(HKEY key) {
  // HKEY_CLASSES_ROOT (0x80000000) up to HKEY_CURRENT_USER_LOCAL_SETTINGS
  // (0x80000007).
  const std::uintptr_t first = PredefinedKeyValue(0x80000000u);
  const std::uintptr_t value = KeyValue(key);
  return value >= first && value - first <= 7;
}

Platform& CurrentPlatform() {
  if (g_platform == nullptr) std::abort();
  return *g_platform;
}

Platform* SetCurrentPlatform(Platform* platform) {
  Platform* const replaced = g_platform;
  g_platform = platform;
  return replaced;
}

}  // namespace tavix
