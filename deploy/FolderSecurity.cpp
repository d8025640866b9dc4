#include "deploy/FolderSecurity.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstring>

#include "deploy/Layout.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"

namespace {

// What lets someone change a folder's entries or take it over.
constexpr ACCESS_MASK kFolderChanges =
    FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;
// Users may add folders to a volume's root; they must not remove or take over what is there.
constexpr ACCESS_MASK kRootChanges = FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;
constexpr BYTE kInheritFlags =
    OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE | INHERIT_ONLY_ACE;

ACCESS_MASK Counted(bool volumeRoot) {
  return volumeRoot ? kRootChanges : kFolderChanges;
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

// NT SERVICE\TrustedInstaller, laid out as a SID.
struct {
  BYTE revision = SID_REVISION;
  BYTE count = 6;
  SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
  DWORD parts[6] = {80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464};
} theTrustedInstaller;

bool IsTrusted(PSID sid, PSID installingUser) {
  if (!sid || !IsValidSid(sid)) return false;
  return IsWellKnownSid(sid, WinLocalSystemSid) ||
         IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || EqualSid(sid, &theTrustedInstaller) ||
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

// The list, or false when there is none (which lets everyone do everything).
bool ListOf(PSECURITY_DESCRIPTOR descriptor, PACL& acl) {
  BOOL present = FALSE, defaulted = FALSE;
  acl = nullptr;
  return GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) && present && acl;
}

// Whether someone untrusted may make a counted change to the folder itself.
bool ForeignChanges(PACL acl, PSID installingUser, bool volumeRoot) {
  const std::vector<ACE_HEADER*> entries = Entries(acl);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ACE_HEADER* allow = entries[i];
    if (!IsAllow(allow->AceType) || !AppliesToFolder(allow)) continue;
    PSID sid = SidOf(allow);
    if (IsTrusted(sid, installingUser)) continue;
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
    if (FolderRights(MaskOf(allow)) & ~denied & Counted(volumeRoot)) return true;
  }
  return false;
}

PSID InstallingUser(std::vector<BYTE>& buffer) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  buffer.assign(size, 0);
  const bool read = size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  CloseHandle(token);
  return read ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid : nullptr;
}

// The installer's own descriptor, made once.
PSECURITY_DESCRIPTOR OwnDescriptor() {
  static PSECURITY_DESCRIPTOR descriptor = [] {
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kOwnFolderSddl, SDDL_REVISION_1,
                                                              &made, nullptr))
      made = nullptr;
    return made;
  }();
  return descriptor;
}

// A handle to a folder or file itself, never to what a link points at, with `access` besides
// reading its attributes.
class EntryHandle {
 public:
  EntryHandle(const std::string& path, DWORD access)
      : handle(CreateFileA(path.c_str(), access | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                           nullptr)) {}
  ~EntryHandle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  EntryHandle(const EntryHandle&) = delete;
  EntryHandle& operator=(const EntryHandle&) = delete;

  bool Open() const { return handle != INVALID_HANDLE_VALUE; }
  // What the handle opened: the attributes of the entry itself, not of a link's target.
  bool IsReparsePoint() const {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(handle, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  }
  HANDLE Get() const { return handle; }

 private:
  HANDLE handle;
};

// The descriptor of an open folder (owner and list); freed with LocalFree by the holder.
struct Descriptor {
  PSECURITY_DESCRIPTOR value = nullptr;
  ~Descriptor() { LocalFree(value); }
  bool Read(HANDLE folder) {
    LocalFree(value);
    value = nullptr;
    return GetSecurityInfo(folder, SE_FILE_OBJECT,
                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                           nullptr, nullptr, &value) == ERROR_SUCCESS;
  }
};

// One folder from the volume root down to the library folder.
struct Level {
  std::string path;
  bool root = false;
  // The product and library folders: the installer's own.
  bool own = false;
  // The destination and product folders, made here when missing.
  bool made = false;
};

enum class Finding { Missing, NotAFolder, Refused, Trusted, TooOpen };

class FolderWalk {
 public:
  explicit FolderWalk(const std::string& root) {
    user = InstallingUser(userBuffer);
    DWORD flags = 0;
    // Access lists mean nothing on a volume without them, nor for accounts of another machine.
    lists = GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
            (flags & FILE_PERSISTENT_ACLS) && GetDriveTypeA(root.c_str()) != DRIVE_REMOTE;
  }

  Finding Examine(const Level& level) const {
    const DWORD attributes = GetFileAttributesA(level.path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Finding::Missing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Finding::Refused;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Finding::NotAFolder;
    const EntryHandle folder(level.path, READ_CONTROL);
    if (!folder.Open() || folder.IsReparsePoint()) return Finding::Refused;
    if (!lists) return Finding::Trusted;
    Descriptor descriptor;
    if (!descriptor.Read(folder.Get())) return Finding::Refused;
    switch (JudgeFolder(descriptor.value, user, level.root)) {
      case FolderTrust::Trusted:
        return Finding::Trusted;
      case FolderTrust::TooOpen:
        return Finding::TooOpen;
      default:
        return Finding::Refused;
    }
  }

  // Closes a too-open folder through a handle to it (never to a link's target) and checks it.
  bool Close(const Level& level) const {
    {
      const EntryHandle folder(level.path, READ_CONTROL | WRITE_DAC);
      if (!folder.Open() || folder.IsReparsePoint()) return false;
      Descriptor descriptor;
      if (!descriptor.Read(folder.Get())) return false;
      std::vector<BYTE> list;
      PACL acl = nullptr;
      if (level.own) {
        if (!ListOf(OwnDescriptor(), acl)) return false;
      } else {
        list = WithoutForeignChanges(descriptor.value, user, level.root);
        if (list.empty()) return false;
        acl = reinterpret_cast<PACL>(list.data());
      }
      if (SetSecurityInfo(folder.Get(), SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, acl, nullptr) != ERROR_SUCCESS)
        return false;
      // The folder is closed now: its contents lose their explicit entries (an earlier
      // installation made with an open list). Older systems and Wine lack the call.
      if (level.own) ResetContents(level.path, acl);
    }
    return Examine(level) == Finding::Trusted;
  }

 private:
  static void ResetContents(const std::string& path, PACL acl) {
    // Only its type: it is looked up at run time, never imported.
    auto reset = framework::SystemFunction<decltype(&TreeResetNamedSecurityInfoW)>(
        "advapi32.dll", "TreeResetNamedSecurityInfoW");
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (!reset || length <= 0) return;
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
    reset(wide.data(), SE_FILE_OBJECT,
          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, acl,
          nullptr, FALSE, nullptr, ProgressInvokeNever, nullptr);
  }

  std::vector<BYTE> userBuffer;
  PSID user = nullptr;
  bool lists = false;
};

// Length of the root of a full path: "X:\", "\\?\X:\", "\\server\share\" or
// "\\?\UNC\server\share\"; 0 for any other form.
std::size_t RootLength(const std::string& path) {
  std::size_t start = 2;
  if (path.rfind("\\\\?\\", 0) == 0 || path.rfind("\\\\.\\", 0) == 0) {
    if (path.compare(4, 4, "UNC\\") != 0)
      return path.size() >= 7 && path[5] == ':' && path[6] == '\\' ? 7 : 0;
    start = 8;
  } else if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
    return 3;
  } else if (path.rfind("\\\\", 0) != 0) {
    return 0;
  }
  // Server and share: two names, each ended by a separator.
  std::size_t end = start;
  for (int names = 0; names < 2; ++names) {
    end = path.find('\\', end);
    if (end == std::string::npos || end == start) return 0;
    ++end;
  }
  return end;
}

// The folders from the volume root down to `folder` (a full path), root first.
std::vector<Level> LevelsDownTo(const std::string& folder) {
  const std::size_t rootLength = RootLength(folder);
  std::vector<Level> levels;
  if (rootLength == 0) return levels;
  std::string path = folder;
  while (path.size() > rootLength) {
    levels.push_back({path});
    const std::size_t separator = mbcs::FindLast(path, '\\');
    if (separator == std::string::npos || separator < rootLength - 1) return {};
    path.erase(std::max(separator, rootLength));
  }
  levels.push_back({folder.substr(0, rootLength), true});
  std::reverse(levels.begin(), levels.end());
  return levels;
}

std::string FullPath(const std::string& path) {
  const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::string full(size, '\0');
  const DWORD length = GetFullPathNameA(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return {};
  full.resize(length);
  return full;
}

// -1 for a reparse point (by its attributes, then by what a handle to it opens), else the number
// of names of the file; 1 for a missing entry or one that cannot be opened. One open per entry:
// every package file is asked before it is replaced.
int LinkNames(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return 1;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return -1;
  const EntryHandle entry(path, 0);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!entry.Open() || !GetFileInformationByHandle(entry.Get(), &info)) return 1;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return -1;
  return static_cast<int>(info.nNumberOfLinks);
}

}  // namespace

FolderTrust JudgeFolder(PSECURITY_DESCRIPTOR descriptor, PSID installingUser, bool volumeRoot) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
      !IsTrusted(owner, installingUser))
    return FolderTrust::ForeignOwner;
  PACL acl = nullptr;
  if (!ListOf(descriptor, acl)) return FolderTrust::TooOpen;
  return ForeignChanges(acl, installingUser, volumeRoot) ? FolderTrust::TooOpen
                                                         : FolderTrust::Trusted;
}

std::vector<BYTE> WithoutForeignChanges(PSECURITY_DESCRIPTOR descriptor, PSID installingUser,
                                        bool volumeRoot) {
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
                         !IsTrusted(SidOf(ace), installingUser) && (rights & Counted(volumeRoot));
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
    MaskOf(header) = rights & ~Counted(volumeRoot);
    if (MaskOf(header) && !add(copy)) return {};
  }
  list.resize(mended->AclSize);
  return list;
}

BOOL CreateOwnFolder(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = OwnDescriptor();
  if (!descriptor) return FALSE;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  return CreateDirectoryA(path.c_str(), &attributes);
}

bool IsReparsePoint(const std::string& path) {
  return LinkNames(path) < 0;
}

bool IsLinkedFile(const std::string& path) {
  const int names = LinkNames(path);
  return names < 0 || names > 1;
}

bool IsPlainFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         LinkNames(path) == 1;
}

bool SecureInstallFolders(const std::string& productFolder, std::string& refused) {
  std::vector<Level> levels = LevelsDownTo(FullPath(Below(productFolder, kLibrarySubfolder)));
  // A form the walk does not know is left to the copies, which fail and say so.
  if (levels.size() < 3) return true;
  const std::size_t product = levels.size() - 2;
  for (std::size_t i = product; i < levels.size(); ++i) levels[i].own = true;
  levels[product - 1].made = !levels[product - 1].root;
  levels[product].made = true;

  const FolderWalk walk(levels.front().path);
  const auto refuse = [&](const Level& level) {
    refused = level.path;
    return false;
  };
  // Check: a link or a folder of another user anywhere on the way refuses before any change.
  std::vector<bool> tooOpen;
  for (const Level& level : levels) {
    const Finding finding = walk.Examine(level);
    if (finding == Finding::Missing) break;
    if (finding == Finding::Refused) return refuse(level);
    // A file where a folder belongs: the copies fail and say so.
    if (finding == Finding::NotAFolder) return true;
    tooOpen.push_back(finding == Finding::TooOpen);
  }
  // Close: from the top down, so that no folder can be moved away beneath a closed one.
  for (std::size_t i = 0; i < tooOpen.size(); ++i) {
    if (tooOpen[i] && !walk.Close(levels[i])) return refuse(levels[i]);
  }
  // Make what is missing, and check what was made (or found made meanwhile) before any write.
  for (std::size_t i = tooOpen.size(); i < levels.size() && levels[i].made; ++i) {
    if (!CreateOwnFolder(levels[i].path) && GetLastError() != ERROR_ALREADY_EXISTS) break;
    const Finding finding = walk.Examine(levels[i]);
    if (finding == Finding::Refused) return refuse(levels[i]);
    if (finding == Finding::TooOpen && !walk.Close(levels[i])) return refuse(levels[i]);
    if (finding != Finding::Trusted && finding != Finding::TooOpen) break;
  }
  return true;
}
