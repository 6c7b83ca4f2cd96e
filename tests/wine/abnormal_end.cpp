// Runs out of memory as the exe may, linked as the exe is with its terminate_win.cpp: operator new
// fails, its std::bad_alloc goes uncaught, and the run ends at once with exit code 3.
#include <windows.h>

#include <cstdint>
#include <new>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  void* volatile memory = ::operator new(SIZE_MAX / 4);
  return memory != nullptr ? 0 : 1;
}
