// Keeps other users out of what the elevated installer installs: the host loads the installed
// module for every user, so whoever could change the product folder, or a folder above it, would
// run code as each of them. No link is followed on the way, no folder another user controls is
// used, and the installer's own folders carry a closed access list from the moment they exist.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "deploy/Links.h"

// CreateDirectoryA with the installer's own list from the start (never made open and closed
// later). Its result and last error; a folder is never made without the list.
BOOL CreateOwnFolder(const std::string& path);

// What SecureInstallFolders found. While it lives, every folder from the first level below the
// volume root down to the product folder is held open without delete sharing, so none of them
// can be renamed or removed while the installer writes: keep it until the run ends.
class InstallFolders {
 public:
  bool Safe() const { return safe; }
  // The folder to name when the installation must not go there.
  const std::string& Refused() const { return refused; }

 private:
  friend InstallFolders SecureInstallFolders(const std::string& productFolder);
  bool safe = false;
  std::string refused;
  std::vector<EntryHandle> held;
};

// Makes the folders of an installation into `productFolder` safe before anything is written.
// 1. Check, changing nothing: every existing entry from the volume root down to the library
//    folder must be a folder and no link; a folder on the way owned by another user refuses.
// 2. A product folder that is not exactly the installer's own (judged with its library folder)
//    is renamed aside in its parent ("Zantrel.old", then "Zantrel.old2", ...) and given the
//    installer's own list; nothing in it is deleted or used. One that cannot be renamed refuses.
// 3. Folders on the way that let others delete, move or take them over lose those rights on
//    themselves, from the top down.
// 4. The destination and product folders that are missing are made with the installer's own
//    list; folders above the destination are never made (the copies then fail and say so).
// 5. Every level is examined again, each held from the first below the root down to the product
//    folder, and the product and library folders are given owner Administrators.
// Refused is a form the walk cannot check: anything but "X:\", "\\server\share\" and "\\?\X:\".
// A volume without access lists, or a network share, is checked for folders and links only.
InstallFolders SecureInstallFolders(const std::string& productFolder);
