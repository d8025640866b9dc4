#include "deploy/Links.h"

EntryHandle::EntryHandle(const std::string& path, DWORD access, DWORD share)
    : handle(CreateFileA(path.c_str(), access | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)) {
  if (handle == INVALID_HANDLE_VALUE) openError = GetLastError();
}

EntryHandle::~EntryHandle() {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

EntryHandle::EntryHandle(EntryHandle&& other) noexcept
    : handle(other.handle), openError(other.openError) {
  other.handle = INVALID_HANDLE_VALUE;
}

bool EntryHandle::Read(BY_HANDLE_FILE_INFORMATION& info) const {
  info = {};
  return Open() && GetFileInformationByHandle(handle, &info);
}

bool EntryHandle::IsReparsePoint() const {
  BY_HANDLE_FILE_INFORMATION info;
  return !Read(info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

LinkState LinkStateOf(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LinkState::Missing
                                                                          : LinkState::Unexamined;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return LinkState::ReparsePoint;
  const EntryHandle entry(path, 0);
  BY_HANDLE_FILE_INFORMATION info;
  if (!entry.Read(info)) return LinkState::Unexamined;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return LinkState::ReparsePoint;
  return info.nNumberOfLinks > 1 ? LinkState::HardLinked : LinkState::Plain;
}

bool IsReparsePoint(const std::string& path) {
  const LinkState state = LinkStateOf(path);
  return state == LinkState::ReparsePoint || state == LinkState::Unexamined;
}

bool IsLinkedFile(const std::string& path) {
  const LinkState state = LinkStateOf(path);
  return state != LinkState::Missing && state != LinkState::Plain;
}

bool IsPlainFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         LinkStateOf(path) == LinkState::Plain;
}
