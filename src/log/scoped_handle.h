// Sole owner of one open handle: a file, a folder or a token.
#ifndef TAVIX_LOG_SCOPED_HANDLE_H_
#define TAVIX_LOG_SCOPED_HANDLE_H_

#include <windows.h>

namespace tavix {

// Closes its handle when it goes out of scope. Holds INVALID_HANDLE_VALUE
// when empty, the value CreateFileW fails with.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() { reset(); }
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.handle_) {
    other.handle_ = INVALID_HANDLE_VALUE;
  }
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = other.handle_;
      other.handle_ = INVALID_HANDLE_VALUE;
    }
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  void reset() {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  // For out-parameters: closes any handle held first, so none leaks.
  HANDLE* Receive() {
    reset();
    return &handle_;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace tavix

#endif  // TAVIX_LOG_SCOPED_HANDLE_H_
