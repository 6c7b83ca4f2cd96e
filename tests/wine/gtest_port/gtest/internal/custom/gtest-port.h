// GoogleTest on MinGW's win32 thread model, whose C++ library has no
// std::mutex: Notification, its only user, needs just a flag in these
// single-threaded test programs.
#ifndef TAVIX_TESTS_WINE_GTEST_PORT_H_
#define TAVIX_TESTS_WINE_GTEST_PORT_H_
#define GTEST_HAS_NOTIFICATION_ 1
namespace testing::internal {
struct Notification {
  void Notify() { notified = true; }
  void WaitForNotification() {
    while (!notified) {
    }
  }
  volatile bool notified = false;
};
}  // namespace testing::internal
#endif  // TAVIX_TESTS_WINE_GTEST_PORT_H_
