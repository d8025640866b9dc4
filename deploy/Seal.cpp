#include "deploy/Seal.h"

#include <wincrypt.h>

#include <algorithm>
#include <vector>

#include "deploy/DeployTexts.h"
#include "deploy/FolderCopy.h"
#include "deploy/Layout.h"
#include "deploy/PackageSource.h"
#include "framework/Text.h"

namespace {

// The system's SHA-256 (advapi32's CryptoAPI, already imported: no library is looked for beside
// the installer), acquired once.
class HashProvider {
 public:
  HashProvider() {
    if (!CryptAcquireContextA(&handle, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
      handle = 0;
  }
  ~HashProvider() {
    if (handle) CryptReleaseContext(handle, 0);
  }
  HashProvider(const HashProvider&) = delete;
  HashProvider& operator=(const HashProvider&) = delete;
  HCRYPTPROV handle = 0;
};

class Hash {
 public:
  explicit Hash(HCRYPTPROV provider) {
    if (!provider || !CryptCreateHash(provider, CALG_SHA_256, 0, 0, &handle)) handle = 0;
  }
  ~Hash() {
    if (handle) CryptDestroyHash(handle);
  }
  Hash(const Hash&) = delete;
  Hash& operator=(const Hash&) = delete;
  HCRYPTHASH handle = 0;
};

// Large enough that a module takes one read; reused for every file.
constexpr DWORD kBlockSize = 1 << 20;

bool IsFont(const SealEntry& entry) {
  if (entry.folder != SealFolder::Package) return false;
  return std::any_of(std::begin(kFontNames), std::end(kFontNames),
                     [&](const char* font) { return mbcs::EqualsNoCase(entry.name, font); });
}

// The file's size as its folder lists it; a folder or a missing file has none.
bool ListedSize(const std::string& path, std::uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  size = static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  return true;
}

bool FileHoldsRecorded(const std::string& path, const SealEntry& entry) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool holds = HoldsRecorded(file, entry);
  CloseHandle(file);
  return holds;
}

}  // namespace

bool HashFile(HANDLE file, Sha256& digest, std::uint64_t& size) {
  static const HashProvider provider;
  static std::vector<BYTE> block(kBlockSize);
  Hash hash(provider.handle);
  if (!hash.handle) return false;
  size = 0;
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, block.data(), kBlockSize, &read, nullptr)) return false;
    if (read == 0) break;
    if (!CryptHashData(hash.handle, block.data(), read, 0)) return false;
    size += read;
  }
  DWORD length = static_cast<DWORD>(digest.size());
  return CryptGetHashParam(hash.handle, HP_HASHVAL, digest.data(), &length, 0) &&
         length == digest.size();
}

bool HoldsRecorded(HANDLE file, const SealEntry& entry) {
  Sha256 digest;
  std::uint64_t size = 0;
  return HashFile(file, digest, size) && size == entry.size && digest == entry.digest;
}

InstallerSeal::InstallerSeal() {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(SETUP_SEAL_RESOURCE), RT_RCDATA);
  if (!found) return;
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(nullptr, found);
  const bool read = data && record.Read(static_cast<const unsigned char*>(data), size);
  state = read ? SealState::Sealed : SealState::Damaged;
}

const InstallerSeal& InstallerSeal::Running() {
  static const InstallerSeal seal;
  return seal;
}

bool InstallerSeal::Admits(SealFolder folder, const std::string& name) const {
  return state == SealState::Unsealed || Find(folder, name);
}

const SealEntry* InstallerSeal::Find(SealFolder folder, const std::string& name) const {
  return state == SealState::Sealed ? record.Find(folder, name) : nullptr;
}

std::string SealedPath(const std::string& packageFolder, SealFolder folder,
                       const std::string& name) {
  const std::string inside =
      folder == SealFolder::Library ? Below(packageFolder, kLibrarySubfolder) : packageFolder;
  return Below(inside, name.c_str());
}

bool SealedPackageIntact(std::string& altered) {
  const InstallerSeal& seal = InstallerSeal::Running();
  if (seal.State() == SealState::Unsealed) return true;
  const std::string installer = InstallerPath();
  if (seal.State() == SealState::Damaged) {
    altered = installer.empty() ? std::string(kInstallerName) : installer;
    return false;
  }
  std::string package;
  if (!LocatePackageFolder(installer, package)) return true;

  // Sizes first, over the copies' own walk: a recorded file the walk does not reach (missing,
  // a folder, or pushed past the listing's limit by added entries) would not be installed.
  struct Walk {
    const InstallerSeal& seal;
    const std::string& package;
    std::string& altered;
    std::vector<const SealEntry*> reached;
  } walk{seal, package, altered, {}};
  const auto visit = [](SealFolder folder, const char* name, void* context) {
    Walk& walk = *static_cast<Walk*>(context);
    const SealEntry* entry = walk.seal.Find(folder, name);
    const std::string path = SealedPath(walk.package, folder, name);
    std::uint64_t size = 0;
    if (!entry || !ListedSize(path, size) || size != entry->size) {
      walk.altered = path;
      return false;
    }
    walk.reached.push_back(entry);
    return true;
  };
  if (!WalkCopiedFiles(package, visit, &walk)) return false;
  const std::vector<const SealEntry*>& reached = walk.reached;
  for (const SealEntry& entry : seal.Entries()) {
    const std::string path = SealedPath(package, entry.folder, entry.name);
    // The fonts are small and go to other folders than the walk's: read whole here.
    const bool intact = IsFont(entry)
                            ? FileHoldsRecorded(path, entry)
                            : std::find(reached.begin(), reached.end(), &entry) != reached.end();
    if (!intact) {
      altered = path;
      return false;
    }
  }
  return true;
}

CopyCheck SealedCopyCheck(SealFolder folder, const std::string& name) {
  const InstallerSeal& seal = InstallerSeal::Running();
  if (seal.State() == SealState::Unsealed) return {};
  const SealEntry* entry = seal.Find(folder, name);
  const auto passes = [](HANDLE file, const void* expected) {
    return expected && HoldsRecorded(file, *static_cast<const SealEntry*>(expected));
  };
  return {passes, entry};
}

void ReportAlteredPackage(HWND owner, const std::string& path) {
  MessageBoxA(owner, framework::FormatText(kPackageAlteredFormat, path.c_str()).c_str(),
              kSetupCaption, MB_OK | MB_ICONSTOP);
}
