#include "deploy/InstallFile.h"

#include <windows.h>

#include "deploy/Layout.h"
#include "deploy/PackageSource.h"
#include "framework/Text.h"

namespace {

// Names tried before the copy counts as failed: more are only taken by leftovers someone planted.
constexpr int kTemporaryTurns = 16;

std::string FolderOf(const std::string& path) {
  const std::size_t separator = mbcs::FindLast(path, '\\');
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

// A copy of ours that did not take its name: it may carry the source's read-only bit.
void Discard(const std::string& temporary) {
  SetFileAttributesA(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(temporary.c_str());
}

}  // namespace

std::string TemporaryName(int turn) {
  return framework::FormatText("~zts%04d", turn);
}

Placed InstallFile(const std::string& from, const std::string& to, bool replaceMarked,
                   const CopyCheck& check) {
  const std::string folder = FolderOf(to);
  if (folder.empty() || !FitsPathBuffer(to)) return Placed::Failed;
  if (replaceMarked) MakeReplaceable(to);
  for (int turn = 1; turn <= kTemporaryTurns; ++turn) {
    const std::string temporary = Below(folder, TemporaryName(turn).c_str());
    if (!FitsPathBuffer(temporary)) return Placed::Failed;
    // A new file or none: an entry already of that name (a link among them) is left alone.
    if (!CopyFileA(from.c_str(), temporary.c_str(), TRUE)) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return Placed::Failed;
    }
    // Held from the check through the rename: what was checked is what takes the name.
    HANDLE held = INVALID_HANDLE_VALUE;
    if (check) {
      held = CreateFileA(temporary.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
      const bool passed = held != INVALID_HANDLE_VALUE && check(held);
      if (!passed) {
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        Discard(temporary);
        return Placed::Refused;
      }
    }
    const bool moved = MoveFileExA(temporary.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    if (moved) return Placed::Installed;
    Discard(temporary);
    return Placed::Failed;
  }
  return Placed::Failed;
}
