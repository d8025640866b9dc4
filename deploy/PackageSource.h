// Where the package lies (beside the installer) and the small file operations the copies use.
#pragma once

#include <windows.h>

#include <string>

#include "deploy/Layout.h"

enum class PathKind { Missing = 0, File = 1, Folder = 2 };

// Finds the package folder beside the running installer: its package subfolder, else its own
// folder when the package marker lies there. On failure shows one message box and returns false.
bool FindPackageFolder(std::string& packageFolder);
// The same, for an installer at `installerPath` (a full path, or "" when it could not be read).
bool FindPackageFolderFor(const std::string& installerPath, std::string& packageFolder);
// The same without the message: false when there is no package folder.
bool LocatePackageFolder(const std::string& installerPath, std::string& packageFolder);
// The running installer's full path, or "" when it could not be read whole. Alone in its own
// file (InstallerPath.cpp), so that a test program can link a substitute of its own.
std::string InstallerPath();

PathKind ProbePath(const std::string& path);
// Clears the read-only bit of a plain file; a link (or an entry that cannot be examined) keeps
// it, since the bit belongs to whatever the link stands for.
void ClearReadOnly(const std::string& path);
// The same for read-only, hidden and system, which stop Windows from replacing a file.
void MakeReplaceable(const std::string& path);
// Deletes the ":Zone.Identifier" stream of a downloaded plain file (never of what a link stands
// for); true when one was deleted.
bool RemoveDownloadMark(const std::string& path);
