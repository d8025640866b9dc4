#include "host/RunningHost.h"

#include <windows.h>
// After windows.h.
#include <tlhelp32.h>

#include <cstring>
#include <string>

#include "framework/Text.h"

// The narrow record: exe names are ANSI text like every other string here.
static_assert(sizeof(void*) != 8 || sizeof(PROCESSENTRY32) == 304,
              "PROCESSENTRY32 must be the narrow-character record");

bool IsHostRunning() {
  const std::string needle = mbcs::ToLower("zwcad.exe");
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;

  PROCESSENTRY32 entry;
  std::memset(&entry, 0, sizeof(entry));
  entry.dwSize = sizeof(entry);
  bool running = false;
  if (Process32First(snapshot, &entry)) {
    do {
      // szExeFile is NUL-terminated within its 260 bytes; never read past them.
      const std::string exe(entry.szExeFile, strnlen(entry.szExeFile, sizeof(entry.szExeFile)));
      if (mbcs::Contains(mbcs::ToLower(exe), needle)) {
        running = true;
        break;
      }
    } while (Process32Next(snapshot, &entry));
  }
  CloseHandle(snapshot);
  return running;
}
