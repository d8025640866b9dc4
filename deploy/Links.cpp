#include "deploy/Links.h"

EntryHandle::EntryHandle(const std::string& path, DWORD access)
    : handle(CreateFileA(path.c_str(), access | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr)) {}

EntryHandle::~EntryHandle() {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

bool EntryHandle::Read(BY_HANDLE_FILE_INFORMATION& info) const {
  info = {};
  return Open() && GetFileInformationByHandle(handle, &info);
}

bool EntryHandle::IsReparsePoint() const {
  BY_HANDLE_FILE_INFORMATION info;
  return Read(info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

LinkState LinkStateOf(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LinkState::Plain;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return LinkState::ReparsePoint;
  const EntryHandle entry(path, 0);
  BY_HANDLE_FILE_INFORMATION info;
  if (!entry.Read(info)) return LinkState::Plain;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return LinkState::ReparsePoint;
  return info.nNumberOfLinks > 1 ? LinkState::HardLinked : LinkState::Plain;
}

bool IsReparsePoint(const std::string& path) {
  return LinkStateOf(path) == LinkState::ReparsePoint;
}

bool IsLinkedFile(const std::string& path) {
  return LinkStateOf(path) != LinkState::Plain;
}
