// Puts one file of the installation in place without writing into whatever already has its name.
#pragma once

#include <windows.h>

#include <string>

// Whether a copy, still under its temporary name, may take its own name. It reads the copy
// through `file`, a handle that shares reading and the rename only: from the moment it is open
// until the copy has its own name nobody can write the copy (nor can a writer be open already).
// A plain function and what it checks against, not a std::function: the exe stays small.
struct CopyCheck {
  bool (*passes)(HANDLE file, const void* expected) = nullptr;
  const void* expected = nullptr;

  explicit operator bool() const { return passes != nullptr; }
  bool operator()(HANDLE file) const { return passes(file, expected); }
};

enum class Placed {
  Installed,
  // The copy or the rename failed (the file at `to`, if any, is as it was).
  Failed,
  // The check refused the copy, or the copy could not be opened for it (deleted again).
  Refused,
};

// Copies `from` to a new file of a temporary name in `to`'s folder, then renames it over `to`
// (MoveFileExA, replacing). Whatever stood at `to` (a link, a hard link, another user's file)
// loses its name and is never written through. An earlier plain copy loses its read-only, hidden
// and system bits first when `replaceMarked` (Windows refuses to replace a read-only file). The
// temporary file never stays behind.
Placed InstallFile(const std::string& from, const std::string& to, bool replaceMarked,
                   const CopyCheck& check = {});

// The temporary names: never a name the package copy takes (they have no "."), and short enough
// (11 bytes) to fit the path buffer in every folder the installer can make.
std::string TemporaryName(int turn);
