#include "deploy/PackageSource.h"

std::string InstallerPath() {
  char buffer[kPathBufferSize + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
  // A full buffer means the path was cut (and may lack its terminator).
  if (length == 0 || length >= sizeof(buffer)) return std::string();
  return std::string(buffer, length);
}
