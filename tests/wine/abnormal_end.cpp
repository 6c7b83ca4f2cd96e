// Ends abnormally on one of the exe's runtime paths, named by the argument, linked
// as the exe is and with its terminate_win.cpp: each must end with exit code 3.
//   abnormal_end.exe bad_alloc | length_error | abort
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR argument, int) {
  const std::wstring mode = argument;
  if (mode == L"bad_alloc") {
    // Kept in a volatile so that the allocation cannot be left out.
    void* volatile block = ::operator new(PTRDIFF_MAX);
    static_cast<void>(block);
  }
  if (mode == L"length_error") {
    std::wstring text;
    text.reserve(text.max_size() + mode.size());
  }
  if (mode == L"abort") std::abort();
  return 0;
}
