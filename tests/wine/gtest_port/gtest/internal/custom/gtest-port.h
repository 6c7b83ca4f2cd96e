// GoogleTest on MinGW's win32 thread model, whose C++ library has no
// std::mutex: these single-threaded programs never wait on a Notification.
#pragma once
#define GTEST_HAS_NOTIFICATION_ 1
namespace testing::internal {
struct Notification {
  void Notify() {}
  void WaitForNotification() {}
};
}  // namespace testing::internal
