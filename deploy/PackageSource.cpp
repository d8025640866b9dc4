#include "deploy/PackageSource.h"

bool FindPackageFolder(std::string&) { return false; }
bool FindPackageFolderFor(const std::string&, std::string&) { return false; }
PathKind ProbePath(const std::string&) { return PathKind::Missing; }
void ClearReadOnly(const std::string&) {}
bool RemoveDownloadMark(const std::string&) { return false; }
