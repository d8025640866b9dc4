#include "deploy/FolderWalk.h"

#include <aclapi.h>

#include <algorithm>

#include "deploy/FolderTrust.h"
#include "deploy/Layout.h"
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
  FolderPlace place = FolderPlace::OnTheWay;
  // The destination and product folders, made here when missing.
  bool made = false;
  // Found letting others move, replace or take it over.
  bool tooOpen = false;
};

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

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
    const EntryHandle folder(level.path, READ_CONTROL);
    return Examine(level, folder);
  }

  // What `folder`, opened from the level's path, is. What cannot be examined counts as a link.
  FolderVerdict Examine(const Level& level, const EntryHandle& folder) const {
    if (!folder.Open())
      return IsMissing(folder.OpenError()) ? FolderVerdict::Missing : FolderVerdict::Link;
    const DWORD attributes = GetFileAttributesA(level.path.c_str());
    BY_HANDLE_FILE_INFORMATION info;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        folder.IsReparsePoint() || !folder.Read(info))
      return FolderVerdict::Link;
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return FolderVerdict::NotAFolder;
    if (!lists) return FolderVerdict::Trusted;
    Descriptor descriptor;
    if (!descriptor.Read(folder.Get())) return FolderVerdict::Link;
    return JudgeFolder(descriptor.value, user, level.place);
  }

  // Sets the folder's list less what others may change on the folder itself, protected, through
  // a handle to it (never to a link's target), and checks it.
  bool RestrictList(const Level& level) const {
    {
      const EntryHandle folder(level.path, READ_CONTROL | WRITE_DAC);
      Descriptor descriptor;
      if (folder.IsReparsePoint() || !descriptor.Read(folder.Get())) return false;
      std::vector<BYTE> list = WithoutForeignChanges(descriptor.value, user, level.place);
      if (list.empty() || !SetList(folder, reinterpret_cast<PACL>(list.data()))) return false;
    }
    return Examine(level) == FolderVerdict::Trusted;
  }

  // The installer's own list on a folder renamed aside, so that nobody else changes it any more.
  // What it holds keeps its own lists; nothing in it is used.
  void GiveOwnList(const std::string& path) const {
    const EntryHandle folder(path, READ_CONTROL | WRITE_DAC);
    PACL acl = nullptr;
    if (lists && !folder.IsReparsePoint() && ListOf(OwnFolderDescriptor(), acl))
      SetList(folder, acl);
  }

  // The installer's own folders are owned by Administrators: an owner may always open a folder
  // up again, and the installing user's unelevated programs run with its account.
  bool GiveToAdministrators(const EntryHandle& folder) const {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!lists) return true;
    return GetSecurityDescriptorOwner(OwnFolderDescriptor(), &owner, &defaulted) &&
           SetSecurityInfo(folder.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr,
                           nullptr, nullptr) == ERROR_SUCCESS;
  }

 private:
  static bool SetList(const EntryHandle& folder, PACL acl) {
    return SetSecurityInfo(folder.Get(), SE_FILE_OBJECT,
                           DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                           nullptr, acl, nullptr) == ERROR_SUCCESS;
  }

  std::vector<BYTE> userBuffer;
  PSID user = nullptr;
  bool lists = false;
};

// Length of the root of a full path: "X:\", "\\?\X:\" or "\\server\share\"; 0 for any other
// form (other device paths, "\\?\UNC\..."), which the walk cannot split into its folders.
std::size_t RootLength(const std::string& path) {
  if (path.rfind("\\\\?\\", 0) == 0)
    return path.size() >= 7 && path[5] == ':' && path[6] == '\\' ? 7 : 0;
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return 3;
  if (path.rfind("\\\\", 0) != 0 || path.rfind("\\\\.\\", 0) == 0) return 0;
  // Server and share: two names, each ended by a separator.
  std::size_t end = 2;
  for (int names = 0; names < 2; ++names) {
    const std::size_t separator = path.find('\\', end);
    if (separator == std::string::npos || separator == end) return 0;
    end = separator + 1;
  }
  return end;
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

// The folders from the volume root down to `folder`, root first, as the copies will resolve the
// path; none for a form the walk cannot check.
std::vector<Level> LevelsDownTo(const std::string& folder) {
  const std::string full = FullPath(folder);
  // The system uses a "\\?\" path as it is written: one that would need resolving is not checked.
  if (folder.rfind("\\\\?\\", 0) == 0 && full != folder) return {};
  const std::size_t rootLength = RootLength(full);
  std::vector<Level> levels;
  if (rootLength == 0) return levels;
  std::string path = full;
  while (path.size() > rootLength) {
    levels.push_back({path});
    const std::size_t separator = mbcs::FindLast(path, '\\');
    if (separator == std::string::npos || separator < rootLength - 1) return {};
    path.erase(std::max(separator, rootLength));
  }
  levels.push_back({full.substr(0, rootLength), FolderPlace::VolumeRoot});
  std::reverse(levels.begin(), levels.end());
  return levels;
}

// Renames `folder` to the first free "<folder>.old", "<folder>.old2", ... beside it; the new path,
// or empty when it cannot be renamed.
std::string RenameAside(const std::string& folder) {
  for (int number = 1; number < 1000; ++number) {
    const std::string aside =
        folder + ".old" + (number > 1 ? framework::FormatText("%d", number) : "");
    if (MoveFileExA(folder.c_str(), aside.c_str(), 0)) return aside;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  return {};
}

}  // namespace

BOOL CreateOwnFolder(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = OwnFolderDescriptor();
  if (!descriptor) return FALSE;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  return CreateDirectoryA(path.c_str(), &attributes);
}

InstallFolders SecureInstallFolders(const std::string& productFolder) {
  InstallFolders result;
  result.refused = productFolder;
  std::vector<Level> levels = LevelsDownTo(Below(productFolder, kLibrarySubfolder));
  if (levels.size() < 3) return result;
  const std::size_t product = levels.size() - 2;
  levels[product].place = levels[product + 1].place = FolderPlace::Own;
  levels[product - 1].made = levels[product - 1].place != FolderPlace::VolumeRoot;
  levels[product].made = true;

  const FolderWalk walk(levels.front().path);
  const auto refuse = [&](const Level& level) {
    result.refused = level.path;
    result.held.clear();
    return std::move(result);
  };
  // 1. Check, before any change.
  std::size_t present = 0;
  bool renameAside = false;
  for (; present < levels.size(); ++present) {
    const Level& level = levels[present];
    const FolderVerdict verdict = walk.Examine(level);
    if (verdict == FolderVerdict::Missing) break;
    if (verdict == FolderVerdict::NotAFolder || verdict == FolderVerdict::Link)
      return refuse(level);
    if (level.place == FolderPlace::Own)
      renameAside = renameAside || verdict != FolderVerdict::Trusted;
    else if (verdict == FolderVerdict::ForeignOwner)
      return refuse(level);
    levels[present].tooOpen = verdict == FolderVerdict::TooOpen;
  }
  // 2. Aside first: when it cannot be renamed, nothing has changed.
  if (renameAside) {
    const std::string aside = RenameAside(levels[product].path);
    if (aside.empty()) return refuse(levels[product]);
    walk.GiveOwnList(aside);
    present = product;
  }
  // 3. From the top down, so that no folder can be moved away beneath a closed one.
  for (std::size_t i = 0; i < std::min(present, product); ++i) {
    if (levels[i].tooOpen && !walk.RestrictList(levels[i])) return refuse(levels[i]);
  }
  // 4. What is missing (or was just renamed aside) is made.
  for (; present < levels.size() && levels[present].made; ++present) {
    if (!CreateOwnFolder(levels[present].path) && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  // 5. Again, each level held from the first below the root, so that what is examined stays.
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const Level& level = levels[i];
    const bool own = level.place == FolderPlace::Own;
    const bool hold = i > 0 && i <= product;
    EntryHandle folder(
        level.path, READ_CONTROL | (hold ? FILE_LIST_DIRECTORY : 0) | (own ? WRITE_OWNER : 0),
        hold ? kShareButDelete : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (i >= present && IsMissing(folder.OpenError())) break;
    if (walk.Examine(level, folder) != FolderVerdict::Trusted ||
        (own && !walk.GiveToAdministrators(folder)))
      return refuse(level);
    if (hold) result.held.push_back(std::move(folder));
  }
  result.safe = true;
  result.refused.clear();
  return result;
}
