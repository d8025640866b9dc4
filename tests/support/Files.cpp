#include "tests/support/Files.h"

#include <algorithm>
#include <cstdio>

#include "deploy/Layout.h"

namespace testfs {
namespace {

// The wide form of a path; an absolute one with "\\?\", which lifts the length limit.
std::wstring Long(const std::string& path) {
  const bool absolute = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
  return absolute ? L"\\\\?\\" + Wide(path) : Wide(path);
}

// The names in a folder, "." and ".." left out, in listing order.
std::vector<std::wstring> Names(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return names;
}

void RemoveWide(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(path.c_str());
    return;
  }
  for (const std::wstring& name : Names(path)) RemoveWide(path + L"\\" + name);
  RemoveDirectoryW(path.c_str());
}

}  // namespace

std::wstring Wide(const std::string& ansi) {
  if (ansi.empty()) return std::wstring();
  const int length =
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), length);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), length,
                      nullptr, nullptr);
  return ansi;
}

TempDir::TempDir(const std::string& name) {
  static int counter = 0;
  MakeDir("C:\\ztest");
  char buffer[MAX_PATH];
  std::snprintf(buffer, sizeof(buffer), "C:\\ztest\\%s-%lu-%d", name.c_str(),
                static_cast<unsigned long>(GetCurrentProcessId()), ++counter);
  path = buffer;
  RemoveTree(path);
  MakeDir(path);
}

TempDir::~TempDir() {
  RemoveTree(path);
}

FixedFolder::FixedFolder(std::string fixedPath) : path(std::move(fixedPath)) {
  RemoveTree(path);
}

FixedFolder::~FixedFolder() {
  RemoveTree(path);
}

CurrentFolder::CurrentFolder(const std::string& path) {
  wchar_t buffer[32768] = {};
  GetCurrentDirectoryW(32768, buffer);
  earlier = buffer;
  SetCurrentDirectoryW(Wide(path).c_str());
}

CurrentFolder::~CurrentFolder() {
  SetCurrentDirectoryW(earlier.c_str());
}

void MakeDir(const std::string& path) {
  CreateDirectoryW(Long(path).c_str(), nullptr);
}

void MakeFolders(const std::string& path) {
  // Separators are found among characters, not bytes: 0x5C is also a trail byte.
  const std::wstring wide = Long(path);
  const std::size_t first = wide.compare(0, 4, L"\\\\?\\") == 0 ? 7 : 3;  // past "X:\"
  for (std::size_t i = first; i <= wide.size(); ++i) {
    if (i == wide.size() || wide[i] == L'\\') CreateDirectoryW(wide.substr(0, i).c_str(), nullptr);
  }
}

void WriteFile(const std::string& path, const std::string& contents) {
  HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ReadFile(const std::string& path) {
  HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string contents;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
    contents.append(buffer, got);
  CloseHandle(file);
  return contents;
}

bool Exists(const std::string& path) {
  return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

DWORD Attributes(const std::string& path) {
  return GetFileAttributesW(Long(path).c_str());
}

void RemoveTree(const std::string& path) {
  RemoveWide(Long(path));
}

std::vector<std::string> List(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::wstring& name : Names(Long(folder))) names.push_back(Narrow(name));
  std::sort(names.begin(), names.end());
  return names;
}

void WritePackage(const std::string& folder, const std::vector<std::string>& files,
                  const std::vector<std::string>& libraryFiles) {
  const std::string library = folder + "\\" + kLibrarySubfolder;
  MakeFolders(library);
  for (const char* font : kFontNames) WriteFile(folder + "\\" + font, font);
  for (const std::string& name : files) WriteFile(folder + "\\" + name, name);
  for (const std::string& name : libraryFiles) WriteFile(library + "\\" + name, name);
}

HeldOpen::HeldOpen(const std::string& path)
    : handle(CreateFileW(Long(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr)) {}

void HeldOpen::Release() {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
}

}  // namespace testfs
