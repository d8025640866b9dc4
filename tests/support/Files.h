// Real files in the test prefix's drive. The helpers reach paths of any length (they use the wide
// calls with "\\?\" for absolute paths), so that set-up, checks and clean-up work beyond the
// narrow calls' limit that the installer itself lives with.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testfs {

// Code page 936 text and UTF-16, both ways.
std::wstring Wide(const std::string& ansi);
std::string Narrow(const std::wstring& wide);

// A fresh, empty folder "C:\ztest\<name>-<pid>-<n>"; removed with its contents on destruction.
class TempDir {
 public:
  explicit TempDir(const std::string& name);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path; }
  std::string operator/(const std::string& name) const { return path + "\\" + name; }

 private:
  std::string path;
};

// A folder with a fixed name outside C:\ztest that the installer makes or a test needs (such as
// the default destination C:\Quorel): removed when the guard is made and again however the test
// ends, so that no test sees another's.
class FixedFolder {
 public:
  explicit FixedFolder(std::string path);
  ~FixedFolder();
  FixedFolder(const FixedFolder&) = delete;
  FixedFolder& operator=(const FixedFolder&) = delete;
  const std::string& Path() const { return path; }

 private:
  std::string path;
};

// Makes `path` the current folder until destroyed; then the earlier one again.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& path);
  ~CurrentFolder();
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::wstring earlier;
};

void MakeDir(const std::string& path);
// Makes every missing level of `path`.
void MakeFolders(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
DWORD Attributes(const std::string& path);
// Removes a file or a folder with everything in it, read-only entries too.
void RemoveTree(const std::string& path);
// Names in a folder, sorted, without "." and "..".
std::vector<std::string> List(const std::string& folder);

// A package in `folder` (made when missing): the two fonts and `files`, and the drawing library
// holding `libraryFiles`. Every file holds its own name.
void WritePackage(const std::string& folder, const std::vector<std::string>& files = {},
                  const std::vector<std::string>& libraryFiles = {});

// Holds a file open with share mode 0, so that nobody else can open it, until released.
class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path);
  ~HeldOpen() { Release(); }
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  void Release();
  bool Held() const { return handle != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle;
};

}  // namespace testfs
