#include "deploy/FolderCopy.h"

#include "deploy/DeployTexts.h"
#include "deploy/FolderSecurity.h"
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

// Drawing the bar costs more than copying a small file (about half a millisecond a step under
// Wine, over half of a many-file installation), and no one sees more than a few dozen pictures a
// second: a step within a frame of the last drawn one only moves the position.
constexpr DWORD kFrameMs = 15;
DWORD lastDrawn = 0;

bool WithinFrame() {
  return GetTickCount() - lastDrawn < kFrameMs;
}

// The steps of one copy loop. Within a frame they are made with the bar's drawing switched off,
// which costs next to nothing; it is switched back on, and the whole bar marked for drawing, at
// the next step after the frame, before a prompt, and when the loop ends however it ends.
class ProgressSteps {
 public:
  explicit ProgressSteps(HWND bar) : bar(bar) {}
  ~ProgressSteps() { Resume(); }
  ProgressSteps(const ProgressSteps&) = delete;
  ProgressSteps& operator=(const ProgressSteps&) = delete;

  void Step() {
    if (!WithinFrame()) {
      Resume();
      StepProgress(bar);
      return;
    }
    if (!suspended) SendMessageA(bar, WM_SETREDRAW, FALSE, 0);
    suspended = true;
    SendMessageA(bar, PBM_STEPIT, 0, 0);
  }
  void Resume() {
    if (!suspended) return;
    SendMessageA(bar, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(bar, nullptr, TRUE);
    suspended = false;
  }

 private:
  HWND bar;
  bool suspended = false;
};

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
  if (destinationFits) CreateOwnFolder(destination);

  const std::string pattern = source + "\\*.*";
  WIN32_FIND_DATAA entry;
  Listing listing;
  if (FitsPathBuffer(pattern) && (destinationFits || rules.promptOnFailure))
    listing.handle = FindFirstFileA(pattern.c_str(), &entry);

  ProgressSteps steps(job.progress);
  for (int pass = 0;;) {
    steps.Step();
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
      if (!copied && rules.promptOnFailure) steps.Resume();
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
  // Within a frame: the bar is marked for a whole redraw, which the next drawn step, the final
  // position or any message loop (a prompt) does.
  if (WithinFrame()) {
    SendMessageA(progress, WM_SETREDRAW, FALSE, 0);
    SendMessageA(progress, PBM_STEPIT, 0, 0);
    SendMessageA(progress, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(progress, nullptr, TRUE);
    return;
  }
  SendMessageA(progress, PBM_STEPIT, 0, 0);
  UpdateWindow(progress);
  lastDrawn = GetTickCount();
}

bool CopyPackageFiles(const CopyJob& job) {
  return CopyFolder(job, kPackageFiles);
}

void CopyDrawingLibrary(const CopyJob& job) {
  CopyFolder(job, kDrawingLibrary);
}
