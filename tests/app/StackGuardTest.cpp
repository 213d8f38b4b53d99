// The stack guard every binary of ours links in, seen from outside a program that has it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// Runs the probe built beside this test program with ARGUMENT; returns its exit code.
DWORD RunProbe(const std::string& argument) {
  char self[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string probe(self, length);
  probe = probe.substr(0, probe.find_last_of('\\') + 1) + "velloran_stack_guard_probe.exe";
  std::string commandLine = "\"" + probe + "\" " + argument;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(probe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << probe << ": error " << GetLastError();
    return 0;
  }
  DWORD code = 0;
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0)
      << probe << " " << argument;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

TEST(StackGuard, IsSeededAtEachStartAndEndsAProgramThatOverwritesACookie) {
  DWORD first = RunProbe("");
  DWORD second = RunProbe("");
  EXPECT_NE(first, 0x2DDFA232u) << "the guard kept the value it has before it is seeded";
  EXPECT_NE(first, second) << "two starts had the same guard";
  EXPECT_EQ(RunProbe("16"), 0u);
  EXPECT_EQ(RunProbe("64"), STATUS_STACK_BUFFER_OVERRUN);
}

}  // namespace
