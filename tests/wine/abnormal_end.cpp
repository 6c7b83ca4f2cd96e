// Gives up as the exe may, linked as the exe is with its terminate_win.cpp: each way ends at once
// with exit code 3. The argument picks it: "abort", "memory" (operator new failing, an uncaught
// std::bad_alloc) or anything else (the start-up code giving up).
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <new>

extern "C" void _amsg_exit(int);

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR how, int) {
  if (how[0] == L'a') std::abort();
  void* volatile memory = how[0] == L'm' ? ::operator new(SIZE_MAX / 4) : nullptr;
  if (memory != nullptr) return 0;
  _amsg_exit(8);
  return 0;
}
