// Times whole runs of two programs, started alternately as child processes,
// and prints the median of each and their ratio.
//   run_timer.exe RUNS BASELINE_EXE MEASURED_EXE
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Seconds(const LARGE_INTEGER& a, const LARGE_INTEGER& b) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Wall time of one run, from CreateProcess to the end of the process.
double TimeOneRun(const std::wstring& exe) {
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "cannot start %ls\n", exe.c_str());
    std::exit(2);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  QueryPerformanceCounter(&end);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return Seconds(start, end);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: run_timer.exe RUNS BASELINE_EXE MEASURED_EXE\n");
    return 2;
  }
  const int runs = _wtoi(argv[1]);
  std::vector<double> baseline;
  std::vector<double> measured;
  for (int i = 0; i < runs; ++i) {
    baseline.push_back(TimeOneRun(argv[2]));
    measured.push_back(TimeOneRun(argv[3]));
  }
  const double b = Median(baseline) * 1000;
  const double m = Median(measured) * 1000;
  std::printf("baseline: %.2f ms median of %d runs\nmeasured: %.2f ms median of %d runs\n", b, runs,
              m, runs);
  std::printf("ratio: %.3f\n", m / b);
  return 0;
}
