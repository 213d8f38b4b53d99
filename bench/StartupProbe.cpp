// Seeds the registry with a number of registrations, then starts each given program several
// times as a user would and prints, per program, the time from CreateProcess until its message
// loop first waits for input (WaitForInputIdle), and its peak working set by then.
// Usage: velloran_startup_probe REGISTRATIONS RUNS PROGRAM...
// The first start of each program warms the caches and is not counted; the counted starts take
// turns between the programs.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchRegistry.h"

namespace {

struct Start {
  double milliseconds = 0;
  double peakMiB = 0;
};

BOOL CALLBACK CloseWindowOf(HWND window, LPARAM processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == DWORD(processId)) PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

bool StartOnce(const std::string& program, Start& result) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string commandLine = '"' + program + '"';
  LARGE_INTEGER frequency, begin, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&begin);
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", program.c_str(), GetLastError());
    return false;
  }
  const DWORD idle = WaitForInputIdle(process.hProcess, 120000);
  QueryPerformanceCounter(&end);
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  const bool measured = idle == 0 && GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
  result.milliseconds = double(end.QuadPart - begin.QuadPart) * 1000.0 / double(frequency.QuadPart);
  result.peakMiB = double(memory.PeakWorkingSetSize) / (1024.0 * 1024.0);

  EnumWindows(CloseWindowOf, LPARAM(process.dwProcessId));
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 10000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!measured) std::fprintf(stderr, "%s never went idle\n", program.c_str());
  return measured;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s REGISTRATIONS RUNS PROGRAM...\n", argv[0]);
    return 2;
  }
  const int registrations = std::atoi(argv[1]);
  const int runs = std::max(1, std::atoi(argv[2]));
  BenchRegistry seed;
  seed.Seed(registrations);
  // Runs alternate between the programs, so load from elsewhere falls on all of them alike.
  const std::vector<std::string> programs(argv + 3, argv + argc);
  std::vector<std::vector<double>> times(programs.size()), peaks(programs.size());
  std::vector<std::string> each(programs.size());
  int status = 0;
  Start start;
  for (const std::string& program : programs) {
    if (!StartOnce(program, start)) return 1;
  }
  for (int run = 0; run < runs; ++run) {
    for (std::size_t p = 0; p < programs.size(); ++p) {
      if (!StartOnce(programs[p], start)) {
        status = 1;
        continue;
      }
      times[p].push_back(start.milliseconds);
      peaks[p].push_back(start.peakMiB);
      each[p] += (each[p].empty() ? "" : " ") + std::to_string(int(start.milliseconds + 0.5));
    }
  }
  for (std::size_t p = 0; p < programs.size(); ++p) {
    if (times[p].empty()) continue;
    // One line per program, for scripts: name, registrations, runs, median ms, median MiB.
    std::printf(
        "startup %s registrations=%d runs=%d median_ms=%.1f peak_working_set_mib=%.2f"
        " each_ms=%s\n",
        BaseName(programs[p]).c_str(), registrations, int(times[p].size()), Median(times[p]),
        Median(peaks[p]), each[p].c_str());
  }
  seed.Seed(0);
  return status;
}
