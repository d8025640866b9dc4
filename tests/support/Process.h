// Child processes of a test, ended however the test ends: a failed assertion returns from the
// test at once, and a process it leaves running (a host-named one above all, which turns every
// later press of Install into the running-host warning) would spoil the tests after it.
#pragma once

#include <windows.h>
#include <memory>

#include "tests/support/Boxes.h"
#include "tests/support/Files.h"

namespace testproc {

// A build path ("/work/...") as the Windows side sees it: Wine shows the Unix root as Z:.
std::string FromBuild(const char* unixPath);

// A process started from `exe` with `arguments`; ended (killed if need be) when destroyed.
class Child {
 public:
  explicit Child(const std::string& exe, const std::string& arguments = "");
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return started; }
  DWORD Id() const { return info.dwProcessId; }
  // Whether it has ended within `timeoutMs`.
  bool Ended(DWORD timeoutMs = 30000) const;
  // Its exit code, once it has ended.
  DWORD ExitCode() const;
  // Its setup dialog once shown, or nullptr after `timeoutMs`.
  HWND SetupDialog(DWORD timeoutMs = 30000) const;

 private:
  bool started = false;
  PROCESS_INFORMATION info{};
};

// What a run of the installer showed: its boxes in order, and how it ended.
struct InstallerRun {
  std::vector<testui::BoxRecord> boxes;
  bool ended = false;
  DWORD exitCode = STILL_ACTIVE;
};
using InstallerScript = std::function<void(HWND dialog, testui::BoxAnswerer& boxes)>;

// The installer run as a user runs it: `exe` started, each of its boxes answered (the first
// button unless the script says otherwise), its shown dialog handed to `script`, and the process
// waited for. Call with ASSERT_NO_FATAL_FAILURE.
void RunInstaller(const std::string& exe, const InstallerScript& script, InstallerRun& run);
// The usual script: `destination` typed, Install pressed, the first box waited for.
InstallerScript InstallInto(const std::string& destination);

// Ends the host-named processes whose starter has gone (a test killed on its time limit leaves
// its NamedIdle behind, and every later press of Install would warn about it).
void EndOrphanedHosts();

// Whether a process of exactly this exe name is in the process list.
bool Listed(const std::string& exeName);

// A do-nothing program running under a host-like exe `name` (a copy of the build's idle helper
// in a folder of its own, since names that differ only in case are one file), listed once made;
// ended and gone from the list once destroyed.
class NamedIdle {
 public:
  explicit NamedIdle(const std::string& name);
  ~NamedIdle();
  NamedIdle(const NamedIdle&) = delete;
  NamedIdle& operator=(const NamedIdle&) = delete;
  bool Running() const { return child && child->Started(); }

 private:
  std::string name;
  testfs::TempDir folder{"idle"};
  std::unique_ptr<Child> child;
};

}  // namespace testproc
