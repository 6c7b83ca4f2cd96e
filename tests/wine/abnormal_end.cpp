// Gives up as the start-up code does when it cannot set the run up, linked as the exe is with its
// terminate_win.cpp, where every abnormal end (out of memory included) ends the same way: at
// once, with exit code 3.
#include <windows.h>

extern "C" void _amsg_exit(int);

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  _amsg_exit(8);
  return 0;
}
