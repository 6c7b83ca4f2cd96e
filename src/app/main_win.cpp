// Process entry: a windowless GUI-subsystem program. Arguments are ignored.
#include <windows.h>

#include "app/driver.h"
#include "platform/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // No box for the whole run: no "no disk in the drive" prompt when a path
  // lies on an empty removable drive (the call then fails and the run goes
  // on), and no fault report box after a crash. Run unattended, or as SYSTEM
  // with no one to click, such a box would stop the update for good.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // Static: the run log holds on to the platform until the process ends.
  static tavix::Win32Platform platform;
  tavix::SetCurrentPlatform(&platform);
  return tavix::RunCleanUp();
}
