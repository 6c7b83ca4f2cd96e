// Sole owner of one open registry key.
#ifndef TAVIX_REGISTRY_SCOPED_REG_KEY_H_
#define TAVIX_REGISTRY_SCOPED_REG_KEY_H_

#include <windows.h>

namespace tavix {

// Closes its key when it goes out of scope. A predefined root is held but
// never closed: Windows hands one back for a null subkey below it, and it is
// not ours to close.
class ScopedRegKey {
 public:
  ScopedRegKey() = default;
  explicit ScopedRegKey(HKEY key) : key_(key) {}
  ~ScopedRegKey() { reset(); }
  ScopedRegKey(ScopedRegKey&& other) noexcept : key_(other.release()) {}
  ScopedRegKey& operator=(ScopedRegKey&& other) noexcept {
    if (this != &other) {
      reset();
      key_ = other.release();
    }
    return *this;
  }
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;

  HKEY get() const { return key_; }
  HKEY release() {
    HKEY key = key_;
    key_ = nullptr;
    return key;
  }
  void reset() {
    // HKEY_CLASSES_ROOT up to HKEY_CURRENT_USER_LOCAL_SETTINGS.
    const ULONG_PTR first = reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT);
    if (key_ != nullptr && reinterpret_cast<ULONG_PTR>(key_) - first > 7) RegCloseKey(key_);
    key_ = nullptr;
  }
  // For out-parameters: closes any key held first, so none leaks.
  HKEY* Receive() {
    reset();
    return &key_;
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace tavix

#endif  // TAVIX_REGISTRY_SCOPED_REG_KEY_H_
