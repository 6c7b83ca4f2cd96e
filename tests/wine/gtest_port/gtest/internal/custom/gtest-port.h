// GoogleTest on MinGW's win32 thread model, whose C++ library has no
// std::mutex: Notification, the only user of one, needs just a flag in these
// single-threaded test programs.
#ifndef TAVIX_TESTS_WINE_GTEST_PORT_H_
#define TAVIX_TESTS_WINE_GTEST_PORT_H_
#define GTEST_HAS_NOTIFICATION_ 1
namespace testing::internal {
class Notification {
 public:
  void Notify() { notified_ = true; }
  void WaitForNotification() {
    while (!notified_) {
    }
  }

 private:
  volatile bool notified_ = false;
};
}  // namespace testing::internal
#endif  // TAVIX_TESTS_WINE_GTEST_PORT_H_
