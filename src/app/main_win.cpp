// Process entry: a windowless GUI-subsystem program. Arguments are ignored.
#include <windows.h>

#include "app/driver.h"
#include "platform/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Static: the run log holds on to the platform until the process ends.
  static tavix::Win32Platform platform;
  tavix::SetCurrentPlatform(&platform);
  return tavix::RunCleanUp();
}
