// GoogleTest port settings for the MinGW win32 thread model, whose C++
// library has no std::mutex. GoogleTest needs one only for Notification,
// which serves its own threading constructs; these test programs run on one
// thread, so a plain flag will do.
#ifndef TAVIX_TESTS_WINE_GTEST_PORT_H_
#define TAVIX_TESTS_WINE_GTEST_PORT_H_

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { notified_ = true; }
  void WaitForNotification() {
    while (!notified_) {
    }
  }

 private:
  volatile bool notified_ = false;
};

}  // namespace internal
}  // namespace testing

#endif  // TAVIX_TESTS_WINE_GTEST_PORT_H_
