// Links on the way of what the installer writes: junctions, symbolic links and mount points, and
// files of several names. Each is seen through a handle to the entry itself, never followed.
#pragma once

#include <windows.h>

#include <string>

// A handle to a folder or file itself, never to what a link points at, with `access` besides
// reading its attributes.
class EntryHandle {
 public:
  EntryHandle(const std::string& path, DWORD access);
  ~EntryHandle();
  EntryHandle(const EntryHandle&) = delete;
  EntryHandle& operator=(const EntryHandle&) = delete;

  bool Open() const { return handle != INVALID_HANDLE_VALUE; }
  // What the handle opened: the attributes and number of names of the entry itself.
  bool Read(BY_HANDLE_FILE_INFORMATION& info) const;
  // The entry is a reparse point (false when its attributes cannot be read).
  bool IsReparsePoint() const;
  HANDLE Get() const { return handle; }

 private:
  HANDLE handle;
};

// How the entry at a path stands, seen without following it.
enum class LinkState {
  // Nothing there, or nothing that could be opened.
  Plain,
  // A junction, symbolic link or mount point.
  ReparsePoint,
  // One of several names of one file (a hard link).
  HardLinked,
};

// By its attributes, then by what a handle to it opens. One open per entry: every package file
// is asked before it is replaced.
LinkState LinkStateOf(const std::string& path);

// A junction, symbolic link or mount point.
bool IsReparsePoint(const std::string& path);
// A file that is a reparse point or one of several names of one file (a hard link): writing into
// it would write into whatever it stands for.
bool IsLinkedFile(const std::string& path);
