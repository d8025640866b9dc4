// Application base: the process entry, the command table and the process's one application.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace framework {

class CApplication {
 public:
  struct Command {
    int id;
    void (*handler)(CApplication& app);
  };

  CApplication();
  virtual ~CApplication();
  CApplication(const CApplication&) = delete;
  CApplication& operator=(const CApplication&) = delete;

  // The start-up routine. True enters a message loop; false ends the process.
  virtual bool InitInstance() = 0;

  // Runs the handler of a command from the command table; false when it has none.
  bool RouteCommand(int id);

  static CApplication* Current();
  // The standard Help command. No help content is shipped, so it shows nothing.
  static void OnHelp(CApplication& app);

 protected:
  // The command table; `count` receives its number of entries.
  virtual const Command* Commands(std::size_t& count) const;
};

// The process entry's work: a safe DLL search order, the common controls, the start-up routine,
// and a message loop only when it returns true. Returns the exit status.
int RunApplication();

// Restricts DLL loading to System32 (an elevated installer run from Downloads must not load DLLs
// planted beside it).
void RestrictDllSearch();
// Where the system has it (Windows 10 22H2 and later): the process follows no junction or link
// that a non-administrator made.
void TrustOnlyAdministratorRedirections();
// Loads the common controls from System32 and registers the progress bar class.
bool LoadCommonControls();

// The running executable's file name without its extension.
std::string ExecutableName();

}  // namespace framework
