#include "deploy/PackageSource.h"

#include "deploy/DeployTexts.h"
#include "deploy/Links.h"
#include "framework/Text.h"
#include "framework/Window.h"

namespace {

bool ReportNoPackage() {
  MessageBoxA(framework::MessageOwner(), kNoPackageText, kSetupCaption, MB_OK);
  return false;
}

}  // namespace

bool FindPackageFolder(std::string& packageFolder) {
  return FindPackageFolderFor(InstallerPath(), packageFolder);
}

bool FindPackageFolderFor(const std::string& installerPath, std::string& packageFolder) {
  return LocatePackageFolder(installerPath, packageFolder) || ReportNoPackage();
}

bool LocatePackageFolder(const std::string& installerPath, std::string& packageFolder) {
  // Without a separator there is no installer folder; the package would then be at the drive's
  // root.
  const std::size_t separator = mbcs::FindLast(installerPath, '\\');
  if (separator == std::string::npos || separator == 0) return false;
  const std::string installerFolder = installerPath.substr(0, separator);

  const std::string data = Below(installerFolder, kPackageSubfolder);
  if (ProbePath(data) == PathKind::Folder) {
    packageFolder = data;
    return true;
  }
  if (ProbePath(Below(installerFolder, kPackageMarker)) == PathKind::File) {
    packageFolder = installerFolder;
    return true;
  }
  return false;
}

PathKind ProbePath(const std::string& path) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(path.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return PathKind::Missing;
  FindClose(search);
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

namespace {

// Clears the bits of `mask` that are set; a file with none of them is not written.
void ClearAttributes(const std::string& path, DWORD mask) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & mask) || !IsPlainFile(path)) return;
  SetFileAttributesA(path.c_str(), attributes & ~mask);
}

}  // namespace

void ClearReadOnly(const std::string& path) {
  ClearAttributes(path, FILE_ATTRIBUTE_READONLY);
}

void MakeReplaceable(const std::string& path) {
  ClearAttributes(path, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

bool RemoveDownloadMark(const std::string& path) {
  // Asked first: most files carry none, and only a plain file's own mark is deleted.
  const std::string stream = path + ":Zone.Identifier";
  return GetFileAttributesA(stream.c_str()) != INVALID_FILE_ATTRIBUTES && IsPlainFile(path) &&
         DeleteFileA(stream.c_str()) != FALSE;
}
