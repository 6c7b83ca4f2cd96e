// GoogleTest without std::mutex (MinGW's win32 threads); no one waits on a Notification here.
#pragma once
#define GTEST_HAS_NOTIFICATION_ 1
namespace testing::internal {
struct Notification {
  void Notify() {}
  void WaitForNotification() {}
};
}  // namespace testing::internal
