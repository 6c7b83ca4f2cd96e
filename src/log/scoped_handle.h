// Sole owner of one open handle: a file, a folder or a token.
#ifndef TAVIX_LOG_SCOPED_HANDLE_H_
#define TAVIX_LOG_SCOPED_HANDLE_H_

#include "platform/platform.h"

namespace tavix {

// Closes its handle through the current platform when it goes out of scope.
// Holds InvalidHandleValue() when empty, the value CreateFileW fails with.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() { reset(); }
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.handle_) {
    other.handle_ = InvalidHandleValue();
  }
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = other.handle_;
      other.handle_ = InvalidHandleValue();
    }
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != InvalidHandleValue(); }
  void reset() {
    if (valid()) CurrentPlatform().CloseHandle(handle_);
    handle_ = InvalidHandleValue();
  }

 private:
  HANDLE handle_ = InvalidHandleValue();
};

}  // namespace tavix

#endif  // TAVIX_LOG_SCOPED_HANDLE_H_
