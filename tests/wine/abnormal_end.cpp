// The exe's abnormal end, in a GUI program like it: each way of failing ends
// the process within seconds with exit code 3, never through the C runtime's
// abort(), which shows a box in a GUI program.
//   abnormal_end.exe        runs itself once per way and checks each; exit 0 if all pass
//   abnormal_end.exe WAY    fails that way
#include <windows.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  const std::wstring way = commandLine;
  if (!way.empty()) {
    // The C runtime's abort() raises SIGABRT on its way out: 99 marks a path
    // through it, even where no box appears (under Wine).
    std::signal(SIGABRT, [](int) { _exit(99); });
    if (way == L"abort") std::abort();
    if (way == L"outofmemory") *static_cast<char* volatile*>(::operator new(PTRDIFF_MAX)) = 0;
    if (way == L"length") std::vector<char>().reserve(std::vector<char>().max_size() + 1);
    return 0;
  }
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  int failures = 0;
  for (const wchar_t* name : {L"abort", L"outofmemory", L"length"}) {
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + name;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    DWORD code = 0xDEADBEEF;  // not started, or still running after 10 s (on a box, say)
    if (CreateProcessW(self, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &child)) {
      if (WaitForSingleObject(child.hProcess, 10000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(child.hProcess, &code);
      } else {
        TerminateProcess(child.hProcess, code);
      }
      CloseHandle(child.hThread);
      CloseHandle(child.hProcess);
    }
    std::printf("%-5s %ls: exit code 0x%lX\n", code == 3 ? "ok" : "FAIL", name, code);
    failures += code != 3;
  }
  return failures;
}
