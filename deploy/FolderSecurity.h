// Keeps other users out of what the elevated installer installs: the host loads the installed
// module for every user, so whoever could change the product folder, or a folder above it, would
// run code as each of them. No link is followed on the way, no folder another user controls is
// used, and the installer's own folders carry a closed access list from the moment they exist.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum class FolderTrust {
  Trusted,
  // Another user owns the folder: what they own they may always open up again.
  ForeignOwner,
  // The owner is trusted, but the list lets someone else change the folder itself.
  TooOpen,
};

// Judges a folder from its security descriptor (owner and DACL). Trusted are SYSTEM,
// Administrators, TrustedInstaller and `installingUser`. No one else may be allowed, on the folder
// itself, to add files or folders, to delete it or its entries, or to change its list or owner
// (deny entries before an allow for the same account, or for Everyone, are taken off). At the
// root of a volume, where every user may add folders, only deleting entries and changing the
// list or owner count.
FolderTrust JudgeFolder(PSECURITY_DESCRIPTOR descriptor, PSID installingUser, bool volumeRoot);

// For a folder whose owner is trusted and whose list is too open: the same list, to be set
// protected, without the rights JudgeFolder counts for anyone else on the folder itself. What the
// folder's contents inherit stays as it was: an inheritable entry that grants too much becomes an
// inherit-only copy and an entry of the remaining rights for the folder alone. Empty when there
// is no list to mend (none at all means everyone may do everything).
std::vector<BYTE> WithoutForeignChanges(PSECURITY_DESCRIPTOR descriptor, PSID installingUser,
                                        bool volumeRoot);

// The list of the installer's own folders, inherited by everything in them: owner
// Administrators; SYSTEM and Administrators full control, Users read and execute.
inline constexpr char kOwnFolderSddl[] =
    "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// CreateDirectoryA with the installer's own list from the start (never made open and closed
// later). Its result and last error; a folder is never made without the list.
BOOL CreateOwnFolder(const std::string& path);

// A junction, symbolic link or mount point (by its attributes and, where the system tells, by
// what a handle to it opens).
bool IsReparsePoint(const std::string& path);
// A file that is a reparse point or one of several names of one file (a hard link): writing into
// it would write into whatever it stands for.
bool IsLinkedFile(const std::string& path);
// An existing file of one name that is no link: what the installer may change in place.
bool IsPlainFile(const std::string& path);

// Makes the folders of an installation into `productFolder` safe before anything is written:
// every existing folder from the volume root down to the library folder is checked (a link, or a
// folder another user owns, refuses); then the product and library folders that are too open get
// the installer's own list (explicit entries below them replaced), other folders on the way lose
// the others' rights on themselves; then the destination and product folders that are missing are
// made with the installer's own list, and what was made is checked again. False, with the folder
// to name in `refused`, when the installation must not go there. Folders above the destination
// are never made; a volume without access lists, or a network share, is checked for links only.
bool SecureInstallFolders(const std::string& productFolder, std::string& refused);
