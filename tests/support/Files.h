// Real files in the test prefix's drive.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testfs {

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

void MakeDir(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
DWORD Attributes(const std::string& path);
void RemoveTree(const std::string& path);
// Names in a folder, sorted, without "." and "..".
std::vector<std::string> List(const std::string& folder);
// Copies the running test program to `path` (a tiny real executable to start under other names).
void CopySelf(const std::string& path);

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
