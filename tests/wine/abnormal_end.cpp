// Runs out of memory as the exe may, linked as the exe is with its terminate_win.cpp: it must
// end at once with exit code 3.
#include <windows.h>

#include <cstdint>
#include <new>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Kept in a volatile so that the allocation cannot be left out.
  void* volatile block = ::operator new(PTRDIFF_MAX);
  static_cast<void>(block);
  return 0;
}
