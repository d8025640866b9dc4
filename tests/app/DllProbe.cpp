// The control for the planted-DLL tests: a program that does what the installer must not.
//   dll_probe.exe load NAME...            LoadLibraryA each bare NAME (the default search order)
//   dll_probe.exe restrict load NAME...   the same after the installer's own restriction
// It exits 0 once it has tried every name.
#include <windows.h>

#include <cstring>

#include "framework/Application.h"

int main(int argc, char** argv) {
  int i = 1;
  if (i < argc && std::strcmp(argv[i], "restrict") == 0) {
    framework::RestrictDllSearch();
    ++i;
  }
  if (i < argc && std::strcmp(argv[i], "load") == 0) ++i;
  for (; i < argc; ++i) LoadLibraryA(argv[i]);
  return 0;
}
