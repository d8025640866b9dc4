// Who may change a folder, judged from its security descriptor alone (owner and DACL): no file is
// opened here, so the rule can be tested over descriptors made from SDDL.
#pragma once

#include <windows.h>

#include <vector>

// What the installer finds at one folder on the way to the product folder. A descriptor gives the
// first three; what stands at the path (seen by the walk) gives the others.
enum class FolderVerdict {
  Trusted,
  // The owner is trusted, but the list lets someone else change the folder itself.
  TooOpen,
  // Another user owns the folder: what they own they may always open up again.
  ForeignOwner,
  Missing,
  // A file, or anything else that is not a folder.
  NotAFolder,
  // A junction, symbolic link or mount point, or an entry that cannot be examined.
  Link,
};

// Where a folder stands on the way to the product folder; what others may do there differs.
enum class FolderPlace {
  // A volume's root: every user may add folders there.
  VolumeRoot,
  // Between the root and the product folder: folders others may add to (C:\ProgramData).
  OnTheWay,
  // The product and library folders: the installer's own.
  Own,
};

// Judges a folder from its security descriptor: Trusted, TooOpen or ForeignOwner. Trusted owners
// are SYSTEM, Administrators, TrustedInstaller and `installingUser`; deny entries before an allow
// for the same account, or for Everyone, are taken off. What no one else may be allowed:
// - on the way, to delete the folder or its entries, or to change its list or owner, on the
//   folder itself (what lets someone move, replace or take over a folder; adding is harmless);
// - at a volume root, only deleting entries and changing the list or owner;
// - in the installer's own folders, anything but reading and executing, on the folder itself or
//   in what its files and folders inherit (what the creator of an entry inherits aside: only
//   those trusted here create entries).
FolderVerdict JudgeFolder(PSECURITY_DESCRIPTOR descriptor, PSID installingUser, FolderPlace place);

// For a folder whose owner is trusted and whose list is too open: the same list, to be set
// protected, without the rights JudgeFolder counts for anyone else on the folder itself. What the
// folder's contents inherit stays as it was: an inheritable entry that grants too much becomes an
// inherit-only copy and an entry of the remaining rights for the folder alone. Empty when there
// is no list to mend (none at all means everyone may do everything). Meant for the folders on the
// way: the installer's own folders get its own list instead.
std::vector<BYTE> WithoutForeignChanges(PSECURITY_DESCRIPTOR descriptor, PSID installingUser,
                                        FolderPlace place);

// The list of the installer's own folders, inherited by everything in them: owner
// Administrators; SYSTEM and Administrators full control, Users read and execute.
inline constexpr char kOwnFolderSddl[] =
    "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// kOwnFolderSddl as a descriptor, made once for the process; null when it cannot be made.
PSECURITY_DESCRIPTOR OwnFolderDescriptor();

// The DACL of a descriptor, or false when there is none (which lets everyone do everything).
bool ListOf(PSECURITY_DESCRIPTOR descriptor, PACL& acl);
