// Links on the way of what the installer writes: junctions, symbolic links and mount points, and
// files of several names. Each is seen through a handle to the entry itself, never followed.
#pragma once

#include <windows.h>

#include <string>

// Sharing that lets nobody rename or remove the entry while the handle is open (it takes an
// access right that sharing counts, such as listing a folder, to hold it).
inline constexpr DWORD kShareButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

// A handle to a folder or file itself, never to what a link points at, with `access` besides
// reading its attributes.
class EntryHandle {
 public:
  EntryHandle(const std::string& path, DWORD access,
              DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ~EntryHandle();
  EntryHandle(EntryHandle&& other) noexcept;
  EntryHandle& operator=(EntryHandle&&) = delete;
  EntryHandle(const EntryHandle&) = delete;
  EntryHandle& operator=(const EntryHandle&) = delete;

  bool Open() const { return handle != INVALID_HANDLE_VALUE; }
  // The system's error when it did not open.
  DWORD OpenError() const { return openError; }
  // What the handle opened: the attributes and number of names of the entry itself.
  bool Read(BY_HANDLE_FILE_INFORMATION& info) const;
  // A reparse point, or an entry whose attributes cannot be read (counted as one).
  bool IsReparsePoint() const;
  HANDLE Get() const { return handle; }

 private:
  HANDLE handle;
  DWORD openError = ERROR_SUCCESS;
};

// How the entry at a path stands, seen without following it.
enum class LinkState {
  Missing,
  // A file or folder of one name.
  Plain,
  // A junction, symbolic link or mount point.
  ReparsePoint,
  // One of several names of one file (a hard link).
  HardLinked,
  // There, but it cannot be opened or read: counted as a link.
  Unexamined,
};

// By its attributes, then by what a handle to it opens. One open per entry: every package file
// is asked before it is replaced.
LinkState LinkStateOf(const std::string& path);

// A junction, symbolic link or mount point, or an entry that cannot be examined.
bool IsReparsePoint(const std::string& path);
// A file that is a reparse point or one of several names of one file (a hard link), or one that
// cannot be examined: writing into it could write into whatever it stands for.
bool IsLinkedFile(const std::string& path);
// An existing file of one name that is no link: what the installer may change in place.
bool IsPlainFile(const std::string& path);
