#include "deploy/FolderCopy.h"

#include "deploy/DeployTexts.h"
#include "deploy/PackageSource.h"
#include "framework/Text.h"
#include "framework/Window.h"

#include <commctrl.h>

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

bool Skipped(const WIN32_FIND_DATAA& entry, const CopyRules& rules) {
  const std::string name = entry.cFileName;
  if (name == "." || name == "..") return true;
  // A subfolder whatever its other bits: copying one can only fail.
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return true;
  if (!rules.filterNames) return false;
  if (mbcs::Contains(name, "扩展绘图库") || !mbcs::Contains(name, ".")) return true;
  for (const char* own : {"SetUp.EXE", "Quorel_EN.shx", "Quorel_HZ.shx"}) {
    if (mbcs::EqualsNoCase(name, own)) return true;
  }
  return false;
}

// Closes the listing however the loop ends.
struct Listing {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~Listing() {
    if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
};

// Copies the files directly in one package folder; false when there is no package or on Abort.
bool CopyFolder(const CopyJob& job, const CopyRules& rules) {
  std::string packageFolder;
  if (!FindPackageFolder(packageFolder)) return false;
  const std::string source = packageFolder + rules.subfolder;
  const std::string destination = job.folder + rules.subfolder;
  // A destination too long for its buffer is never written, not even cut short: a copy that
  // reports failures reports every file; a silent one lists nothing and so makes the one step of
  // an empty listing.
  const bool destinationFits = FitsPathBuffer(destination);
  if (destinationFits) CreateDirectoryA(destination.c_str(), nullptr);

  const std::string pattern = source + "\\*.*";
  WIN32_FIND_DATAA entry;
  Listing listing;
  if (FitsPathBuffer(pattern) && (destinationFits || rules.promptOnFailure))
    listing.handle = FindFirstFileA(pattern.c_str(), &entry);

  for (int pass = 0;;) {
    StepProgress(job.progress);
    if (listing.handle == INVALID_HANDLE_VALUE) break;
    if (pass > 0 && !FindNextFileA(listing.handle, &entry)) break;

    if (!Skipped(entry, rules)) {
      const std::string from = source + "\\" + entry.cFileName;
      const std::string to = destination + "\\" + entry.cFileName;
      // Before the copy: CopyFileA refuses a read-only, hidden or system target and copies the
      // source's attributes and streams along.
      ClearReadOnly(from);
      if (rules.removeDownloadMark) RemoveDownloadMark(from);
      MakeReplaceable(to);
      const auto copy = [&] {
        return destinationFits && CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
      };
      bool copied = copy();
      while (!copied && rules.promptOnFailure) {
        const int answer = MessageBoxA(framework::MessageOwner(),
                                       framework::FormatText(kCopyFailedFormat, to.c_str()).c_str(),
                                       kSetupCaption, MB_ABORTRETRYIGNORE);
        if (answer == IDABORT) return false;
        if (answer != IDRETRY) break;
        copied = copy();
      }
      ClearReadOnly(to);
    }
    if (++pass > rules.lastPass) break;
  }
  return true;
}

}  // namespace

void StepProgress(HWND progress) {
  SendMessageA(progress, PBM_STEPIT, 0, 0);
  UpdateWindow(progress);
}

bool CopyPackageFiles(const CopyJob& job) {
  return CopyFolder(job, kPackageFiles);
}

void CopyDrawingLibrary(const CopyJob& job) {
  CopyFolder(job, kDrawingLibrary);
}
