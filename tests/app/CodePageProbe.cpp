// The installer's start-up check of the code page, linked alone into a program without the
// installer's manifest: it shows its box and ends, or passes and leaves the file named by its
// argument behind (what the installer would go on to do instead).
#include <windows.h>

#include "app/CodePageCheck.h"

int main(int argc, char** argv) {
  if (!CheckProcessCodePage()) return 1;
  if (argc > 1) {
    HANDLE file = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  return 0;
}
