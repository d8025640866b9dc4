#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The installer replaces libstdc++'s logic-error helpers to stay small; a logic error must still
// unwind to the command's error report like any other exception, never end the process.
TEST(LibraryErrors, EveryKindUnwindsToTheGeneralErrorReport) {
  std::string command = std::string("Z:") + LIBRARY_ERROR_PROBE_EXE;
  for (char& c : command)
    if (c == '/') c = '\\';
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION probe{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &probe));
  ASSERT_EQ(WaitForSingleObject(probe.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(probe.hProcess, &code);
  CloseHandle(probe.hThread);
  CloseHandle(probe.hProcess);
  EXPECT_EQ(code, 0xFu) << "one bit per kind that reached the report (3: the probe aborted)";
}

}  // namespace
