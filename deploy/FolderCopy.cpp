#include "deploy/FolderCopy.h"

#include "deploy/DeployTexts.h"
#include "deploy/FolderWalk.h"
#include "deploy/InstallFile.h"
#include "deploy/Layout.h"
#include "deploy/PackageSource.h"
#include "deploy/Seal.h"
#include "framework/Text.h"
#include "framework/Window.h"

namespace {

// What tells the two copies apart; everything else is the one loop of CopyFolder.
struct CopyRules {
  // Below both the package folder and the install folder ("" for the package itself).
  const char* subfolder;
  // The loop ends once the pass counter exceeds this.
  int lastPass;
  // Leaves out the installer, the fonts (installed elsewhere), names without "." and the library.
  bool filterNames;
  bool removeDownloadMark;
  // Asks Abort / Retry / Ignore on a failed copy; otherwise failures pass silently.
  bool promptOnFailure;
};

const CopyRules kPackageFiles{"", 100, true, true, true};
const CopyRules kDrawingLibrary{kLibrarySubfolder, 80, false, false, false};

std::string Inside(const std::string& folder, const CopyRules& rules) {
  return *rules.subfolder ? Below(folder, rules.subfolder) : folder;
}

bool Skipped(const WIN32_FIND_DATAA& entry, const CopyRules& rules) {
  const std::string name = entry.cFileName;
  if (name == "." || name == "..") return true;
  // A subfolder whatever its other bits: copying one can only fail.
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return true;
  if (!rules.filterNames) return false;
  if (mbcs::Contains(name, kLibraryMarker) || !mbcs::Contains(name, ".")) return true;
  if (mbcs::EqualsNoCase(name, kInstallerName)) return true;
  for (const char* font : kFontNames) {
    if (mbcs::EqualsNoCase(name, font)) return true;
  }
  return false;
}

SealFolder FolderOf(const CopyRules& rules) {
  return *rules.subfolder ? SealFolder::Library : SealFolder::Package;
}

// What the name rules let through, less what a sealed installer's record does not hold.
bool Excluded(const WIN32_FIND_DATAA& entry, const CopyRules& rules) {
  return Skipped(entry, rules) ||
         !InstallerSeal::Running().Admits(FolderOf(rules), entry.cFileName);
}

// Closes the listing however the loop ends.
struct Listing {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~Listing() {
    if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
};

// The one walk over a listing of `source` that the copies and the path check share: every entry
// the listing returns is a pass (".", "..", skipped and copied ones alike), at most
// rules.lastPass + 1 of them. `pass` runs first in every pass, also in the one that finds the
// listing's end; `copy` gets the name of each entry to copy and returns false to end the walk.
// Returns false when `copy` ended it.
template <typename Pass, typename Copy>
bool WalkListing(const std::string& source, bool open, const CopyRules& rules, Pass pass,
                 Copy copy) {
  const std::string pattern = source + "\\*.*";
  WIN32_FIND_DATAA entry;
  Listing listing;
  if (open && FitsPathBuffer(pattern)) listing.handle = FindFirstFileA(pattern.c_str(), &entry);
  for (int count = 0;;) {
    pass();
    if (listing.handle == INVALID_HANDLE_VALUE) break;
    if (count > 0 && !FindNextFileA(listing.handle, &entry)) break;
    if (!Excluded(entry, rules) && !copy(entry.cFileName)) return false;
    if (++count > rules.lastPass) break;
  }
  return true;
}

// Keys typed while the copy kept the UI thread busy wait in its queue; the prompt's own loop
// would take them as answers (Enter would choose its default button, Abort).
void DropTypedKeys() {
  MSG message;
  while (PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
}

// How one copy loop ended.
enum class CopyEnd {
  Completed,
  // No package folder, or the user chose Abort.
  Stopped,
  // A sealed installer's copy did not hold what was recorded (the box has said so).
  Refused,
};

// Copies the files directly in one package folder.
CopyEnd CopyFolder(const CopyJob& job, const CopyRules& rules) {
  std::string packageFolder;
  if (!FindPackageFolder(packageFolder)) return CopyEnd::Stopped;
  const std::string source = Inside(packageFolder, rules);
  const std::string destination = Inside(job.folder, rules);
  // A destination too long for its buffer is never written, not even cut short: a copy that
  // reports failures reports every file; a silent one lists nothing and so makes the one step of
  // an empty listing.
  const bool destinationFits = FitsPathBuffer(destination);
  if (destinationFits) CreateOwnFolder(destination);

  bool refused = false;
  const bool completed = WalkListing(
      source, destinationFits || rules.promptOnFailure, rules, [&] { job.progress.Step(); },
      [&](const char* name) {
        const std::string from = Below(source, name);
        const std::string to = Below(destination, name);
        // Before the copy: CopyFileA copies the source's attributes and streams along.
        ClearReadOnly(from);
        if (rules.removeDownloadMark) RemoveDownloadMark(from);
        const CopyCheck check = SealedCopyCheck(FolderOf(rules), name);
        const auto copy = [&] {
          const Placed placed =
              destinationFits ? InstallFile(from, to, true, check) : Placed::Failed;
          refused = placed == Placed::Refused;
          return placed == Placed::Installed;
        };
        bool copied = copy();
        if (!copied && (rules.promptOnFailure || refused)) job.progress.Draw();
        while (!copied && !refused && rules.promptOnFailure) {
          DropTypedKeys();
          const int answer =
              MessageBoxA(framework::MessageOwner(),
                          framework::FormatText(kCopyFailedFormat, to.c_str()).c_str(),
                          kSetupCaption, MB_ABORTRETRYIGNORE);
          if (answer == IDABORT) return false;
          if (answer != IDRETRY) break;
          copied = copy();
        }
        if (refused) {
          ReportAlteredPackage(framework::MessageOwner(), from);
          return false;
        }
        ClearReadOnly(to);
        return true;
      });
  // However the loop ended, the bar shows how far it went.
  job.progress.Draw();
  if (refused) return CopyEnd::Refused;
  return completed ? CopyEnd::Completed : CopyEnd::Stopped;
}

}  // namespace

bool CopyPackageFiles(const CopyJob& job) {
  return CopyFolder(job, kPackageFiles) == CopyEnd::Completed;
}

bool CopyDrawingLibrary(const CopyJob& job) {
  return CopyFolder(job, kDrawingLibrary) != CopyEnd::Refused;
}

bool CopiedPathsFit(const std::string& folder) {
  std::string packageFolder;
  // Without a package nothing is copied (the run says so).
  if (!LocatePackageFolder(InstallerPath(), packageFolder)) return true;
  for (const CopyRules* rules : {&kPackageFiles, &kDrawingLibrary}) {
    const std::string destination = Inside(folder, *rules);
    if (!FitsPathBuffer(destination)) return false;
    const bool fit = WalkListing(
        Inside(packageFolder, *rules), true, *rules, [] {},
        [&](const char* name) { return FitsPathBuffer(Below(destination, name)); });
    if (!fit) return false;
  }
  return true;
}

bool WalkCopiedFiles(const std::string& packageFolder,
                     bool (*visit)(SealFolder folder, const char* name, void* context),
                     void* context) {
  for (const CopyRules* rules : {&kPackageFiles, &kDrawingLibrary}) {
    const bool walked = WalkListing(
        Inside(packageFolder, *rules), true, *rules, [] {},
        [&](const char* name) { return visit(FolderOf(*rules), name, context); });
    if (!walked) return false;
  }
  return true;
}
