// A GUI program linked like the exe, that fails the way its argument names:
// abort, outofmemory or length. wine_tests.exe runs it and checks the end.
#include <windows.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  const std::wstring way = commandLine;
  // The C runtime's abort() raises SIGABRT on its way out, and shows a box in
  // a GUI program: 99 marks a path through it, even where no box appears.
  std::signal(SIGABRT, [](int) { _exit(99); });
  if (way == L"abort") std::abort();
  if (way == L"outofmemory") *static_cast<char* volatile*>(::operator new(PTRDIFF_MAX)) = 0;
  if (way == L"length") std::vector<char>().reserve(std::vector<char>().max_size() + 1);
  return 0;
}
