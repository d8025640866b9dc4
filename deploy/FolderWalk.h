// Keeps other users out of what the elevated installer installs: the host loads the installed
// module for every user, so whoever could change the product folder, or a folder above it, would
// run code as each of them. No link is followed on the way, no folder another user controls is
// used, and the installer's own folders carry a closed access list from the moment they exist.
#pragma once

#include <windows.h>

#include <string>

// CreateDirectoryA with the installer's own list from the start (never made open and closed
// later). Its result and last error; a folder is never made without the list.
BOOL CreateOwnFolder(const std::string& path);

// Makes the folders of an installation into `productFolder` safe before anything is written:
// every existing folder from the volume root down to the library folder is checked (a link, or a
// folder another user owns, refuses); then the product and library folders that are too open get
// the installer's own list (explicit entries below them replaced), other folders on the way lose
// the others' rights on themselves; then the destination and product folders that are missing are
// made with the installer's own list, and what was made is checked again. False, with the folder
// to name in `refused`, when the installation must not go there. Folders above the destination
// are never made; a volume without access lists, or a network share, is checked for links only.
bool SecureInstallFolders(const std::string& productFolder, std::string& refused);
