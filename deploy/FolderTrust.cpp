#include "deploy/FolderTrust.h"

#include <sddl.h>

namespace {

// What lets someone move, replace or take over a folder on the way.
constexpr ACCESS_MASK kTakeOver = DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;
// Users may add folders to a volume's root, which cannot be moved itself; they must not remove
// or take over what is there.
constexpr ACCESS_MASK kRootChanges = FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;
// In the installer's own folders others may read and run, nothing else.
constexpr ACCESS_MASK kOwnChanges = FILE_ALL_ACCESS & ~(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
constexpr BYTE kInheritFlags =
    OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE | INHERIT_ONLY_ACE;

ACCESS_MASK Counted(FolderPlace place) {
  switch (place) {
    case FolderPlace::VolumeRoot:
      return kRootChanges;
    case FolderPlace::OnTheWay:
      return kTakeOver;
    default:
      return kOwnChanges;
  }
}

// The rights a mask gives on a folder, with generic rights spelled out as the file system does.
ACCESS_MASK FolderRights(ACCESS_MASK mask) {
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                          FILE_ALL_ACCESS};
  MapGenericMask(&mask, &mapping);
  return mask;
}

bool IsAllow(BYTE type) {
  return type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_ALLOWED_COMPOUND_ACE_TYPE ||
         type == ACCESS_ALLOWED_OBJECT_ACE_TYPE || type == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
         type == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE;
}

// A deny with a condition may not apply: only plain denies keep rights from anyone.
bool IsDeny(BYTE type) {
  return type == ACCESS_DENIED_ACE_TYPE;
}

// Every entry type keeps its mask right after the header.
ACCESS_MASK& MaskOf(ACE_HEADER* ace) {
  return reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask;
}

// The account of an entry of the plain layout; null for the others (object and compound entries,
// which files do not use), which then count as someone else's.
PSID SidOf(ACE_HEADER* ace) {
  switch (ace->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_DENIED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
      return &reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
    default:
      return nullptr;
  }
}

// NT SERVICE\TrustedInstaller, read once from its string form; null if the system cannot read it.
PSID TrustedInstaller() {
  static const PSID sid = [] {
    PSID read = nullptr;
    return ConvertStringSidToSidA("S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                                  &read)
               ? read
               : nullptr;
  }();
  return sid;
}

bool IsTrusted(PSID sid, PSID installingUser) {
  if (!sid || !IsValidSid(sid)) return false;
  const PSID trustedInstaller = TrustedInstaller();
  return IsWellKnownSid(sid, WinLocalSystemSid) ||
         IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
         (trustedInstaller && EqualSid(sid, trustedInstaller)) ||
         (installingUser && EqualSid(sid, installingUser));
}

std::vector<ACE_HEADER*> Entries(PACL acl) {
  std::vector<ACE_HEADER*> entries;
  for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (GetAce(acl, i, &ace)) entries.push_back(static_cast<ACE_HEADER*>(ace));
  }
  return entries;
}

bool AppliesToFolder(const ACE_HEADER* ace) {
  return !(ace->AceFlags & INHERIT_ONLY_ACE);
}

// Whether the files and folders made in the folder get the entry. One for the creator of an entry
// only ever becomes that creator's own.
bool PassedOnToContents(ACE_HEADER* ace) {
  if (!(ace->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE))) return false;
  const PSID sid = SidOf(ace);
  return AppliesToFolder(ace) || !sid || !IsWellKnownSid(sid, WinCreatorOwnerSid);
}

// Whether someone untrusted may make a counted change to the folder itself, or, in the
// installer's own folders, to what its contents inherit.
bool ForeignChanges(PACL acl, PSID installingUser, FolderPlace place) {
  const std::vector<ACE_HEADER*> entries = Entries(acl);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ACE_HEADER* allow = entries[i];
    if (!IsAllow(allow->AceType)) continue;
    PSID sid = SidOf(allow);
    if (IsTrusted(sid, installingUser)) continue;
    const ACCESS_MASK rights = FolderRights(MaskOf(allow));
    if (place == FolderPlace::Own && PassedOnToContents(allow) && (rights & kOwnChanges))
      return true;
    if (!AppliesToFolder(allow)) continue;
    // The access check takes the first entry that decides a right: a deny before this allow, for
    // the same account or for everyone, keeps that right from it.
    ACCESS_MASK denied = 0;
    for (std::size_t j = 0; j < i; ++j) {
      ACE_HEADER* deny = entries[j];
      PSID deniedSid = SidOf(deny);
      if (!IsDeny(deny->AceType) || !AppliesToFolder(deny) || !IsValidSid(deniedSid)) continue;
      if (IsWellKnownSid(deniedSid, WinWorldSid) || (sid && EqualSid(deniedSid, sid)))
        denied |= FolderRights(MaskOf(deny));
    }
    if (rights & ~denied & Counted(place)) return true;
  }
  return false;
}

}  // namespace

bool ListOf(PSECURITY_DESCRIPTOR descriptor, PACL& acl) {
  BOOL present = FALSE, defaulted = FALSE;
  acl = nullptr;
  return GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) && present && acl;
}

FolderVerdict JudgeFolder(PSECURITY_DESCRIPTOR descriptor, PSID installingUser, FolderPlace place) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
      !IsTrusted(owner, installingUser))
    return FolderVerdict::ForeignOwner;
  PACL acl = nullptr;
  if (!ListOf(descriptor, acl)) return FolderVerdict::TooOpen;
  return ForeignChanges(acl, installingUser, place) ? FolderVerdict::TooOpen
                                                    : FolderVerdict::Trusted;
}

std::vector<BYTE> WithoutForeignChanges(PSECURITY_DESCRIPTOR descriptor, PSID installingUser,
                                        FolderPlace place) {
  PACL acl = nullptr;
  if (!ListOf(descriptor, acl)) return {};
  const std::vector<ACE_HEADER*> entries = Entries(acl);
  // Each entry becomes at most two of the same size.
  DWORD size = sizeof(ACL);
  for (const ACE_HEADER* ace : entries) size += 2 * ace->AceSize;
  std::vector<BYTE> list(size);
  auto* mended = reinterpret_cast<PACL>(list.data());
  if (!InitializeAcl(mended, size, acl->AclRevision)) return {};

  const auto add = [&](const std::vector<BYTE>& ace) {
    return AddAce(mended, acl->AclRevision, MAXDWORD, const_cast<BYTE*>(ace.data()),
                  static_cast<DWORD>(ace.size())) != FALSE;
  };
  for (ACE_HEADER* ace : entries) {
    // In a protected list every entry is the folder's own.
    std::vector<BYTE> copy(reinterpret_cast<BYTE*>(ace),
                           reinterpret_cast<BYTE*>(ace) + ace->AceSize);
    auto* header = reinterpret_cast<ACE_HEADER*>(copy.data());
    header->AceFlags &= ~INHERITED_ACE;
    const ACCESS_MASK rights = FolderRights(MaskOf(ace));
    const bool foreign = IsAllow(ace->AceType) && AppliesToFolder(ace) &&
                         !IsTrusted(SidOf(ace), installingUser) && (rights & Counted(place));
    if (!foreign) {
      if (!add(copy)) return {};
      continue;
    }
    if (header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) {
      header->AceFlags |= INHERIT_ONLY_ACE;
      if (!add(copy)) return {};
    }
    header = reinterpret_cast<ACE_HEADER*>(copy.data());
    header->AceFlags &= ~kInheritFlags;
    MaskOf(header) = rights & ~Counted(place);
    if (MaskOf(header) && !add(copy)) return {};
  }
  list.resize(mended->AclSize);
  return list;
}

PSECURITY_DESCRIPTOR OwnFolderDescriptor() {
  static const PSECURITY_DESCRIPTOR descriptor = [] {
    PSECURITY_DESCRIPTOR made = nullptr;
    return ConvertStringSecurityDescriptorToSecurityDescriptorA(kOwnFolderSddl, SDDL_REVISION_1,
                                                                &made, nullptr)
               ? made
               : nullptr;
  }();
  return descriptor;
}
