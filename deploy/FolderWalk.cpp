#include "deploy/FolderWalk.h"

#include <aclapi.h>

#include <algorithm>
#include <vector>

#include "deploy/FolderTrust.h"
#include "deploy/Layout.h"
#include "deploy/Links.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"

namespace {

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

class FolderWalk {
 public:
  explicit FolderWalk(const std::string& root) {
    user = InstallingUser(userBuffer);
    DWORD flags = 0;
    // Access lists mean nothing on a volume without them, nor for accounts of another machine.
    lists = GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
            (flags & FILE_PERSISTENT_ACLS) && GetDriveTypeA(root.c_str()) != DRIVE_REMOTE;
  }

  FolderVerdict Examine(const Level& level) const {
    const DWORD attributes = GetFileAttributesA(level.path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FolderVerdict::Missing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return FolderVerdict::Link;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return FolderVerdict::NotAFolder;
    const EntryHandle folder(level.path, READ_CONTROL);
    if (!folder.Open() || folder.IsReparsePoint()) return FolderVerdict::Link;
    if (!lists) return FolderVerdict::Trusted;
    Descriptor descriptor;
    if (!descriptor.Read(folder.Get())) return FolderVerdict::Link;
    return JudgeFolder(descriptor.value, user, level.root);
  }

  // Sets a protected list without the others' rights on a too-open folder, through a handle to
  // it (never to a link's target), and checks it: the installer's own list on its own folders,
  // the folder's list less what others may change on the folder itself elsewhere.
  bool RestrictList(const Level& level) const {
    {
      const EntryHandle folder(level.path, READ_CONTROL | WRITE_DAC);
      if (!folder.Open() || folder.IsReparsePoint()) return false;
      Descriptor descriptor;
      if (!descriptor.Read(folder.Get())) return false;
      std::vector<BYTE> list;
      PACL acl = nullptr;
      if (level.own) {
        if (!ListOf(OwnFolderDescriptor(), acl)) return false;
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
    return Examine(level) == FolderVerdict::Trusted;
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

}  // namespace

BOOL CreateOwnFolder(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = OwnFolderDescriptor();
  if (!descriptor) return FALSE;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  return CreateDirectoryA(path.c_str(), &attributes);
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
    const FolderVerdict verdict = walk.Examine(level);
    if (verdict == FolderVerdict::Missing) break;
    // A file where a folder belongs: the copies fail and say so.
    if (verdict == FolderVerdict::NotAFolder) return true;
    if (verdict != FolderVerdict::Trusted && verdict != FolderVerdict::TooOpen)
      return refuse(level);
    tooOpen.push_back(verdict == FolderVerdict::TooOpen);
  }
  // Restrict: from the top down, so that no folder can be moved away beneath a closed one.
  for (std::size_t i = 0; i < tooOpen.size(); ++i) {
    if (tooOpen[i] && !walk.RestrictList(levels[i])) return refuse(levels[i]);
  }
  // Make what is missing, and check what was made (or found made meanwhile) before any write.
  for (std::size_t i = tooOpen.size(); i < levels.size() && levels[i].made; ++i) {
    if (!CreateOwnFolder(levels[i].path) && GetLastError() != ERROR_ALREADY_EXISTS) break;
    const FolderVerdict verdict = walk.Examine(levels[i]);
    if (verdict == FolderVerdict::ForeignOwner || verdict == FolderVerdict::Link)
      return refuse(levels[i]);
    if (verdict == FolderVerdict::TooOpen && !walk.RestrictList(levels[i]))
      return refuse(levels[i]);
    if (verdict != FolderVerdict::Trusted && verdict != FolderVerdict::TooOpen) break;
  }
  return true;
}
