#include "tests/support/Drive.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

namespace testfs {
namespace {

bool StartsWith(const std::wstring& text, const std::wstring& head) {
  return text.size() >= head.size() && _wcsnicmp(text.c_str(), head.c_str(), head.size()) == 0;
}

// "Temp\" for "C:\users\<name>\Temp", "" outside the user folders; always with a trailing "\".
std::wstring BelowUser(const std::wstring& path) {
  const std::wstring users = L"C:\\users\\";
  if (!StartsWith(path, users)) return std::wstring();
  const std::size_t user = path.find(L'\\', users.size());
  return user == std::wstring::npos ? std::wstring() : path.substr(user + 1) + L"\\";
}

bool IsDigits(const std::wstring& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// "C:\ztest\<name>-<pid>-<n>" of another process.
bool IsOtherProgramsFolder(const std::wstring& path) {
  const std::wstring ztest = L"C:\\ztest\\";
  if (!StartsWith(path, ztest) || path.find(L'\\', ztest.size()) != std::wstring::npos)
    return false;
  const std::size_t last = path.rfind(L'-');
  const std::size_t before = last == std::wstring::npos ? last : path.rfind(L'-', last - 1);
  if (before == std::wstring::npos || before < ztest.size()) return false;
  const std::wstring pid = path.substr(before + 1, last - before - 1);
  return IsDigits(pid) && IsDigits(path.substr(last + 1)) &&
         pid != std::to_wstring(GetCurrentProcessId());
}

bool IsNoise(const std::wstring& path) {
  const std::wstring below = BelowUser(path);
  return IsOtherProgramsFolder(path) || StartsWith(below, L"Temp\\") ||
         StartsWith(below, L"AppData\\Local\\Temp\\");
}

bool IsLinkOut(const std::wstring& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
  const std::wstring below = BelowUser(path);
  for (const wchar_t* link :
       {L"Desktop\\", L"Documents\\", L"Downloads\\", L"Music\\", L"Pictures\\", L"Videos\\",
        L"AppData\\Roaming\\Microsoft\\Windows\\Templates\\"})
    if (_wcsicmp(below.c_str(), link) == 0) return true;
  return false;
}

// An FNV-style hash of a file's bytes, eight at a time (the drive holds about 700 MB, read twice
// a test), or "unreadable" (e.g. held open by someone without sharing).
std::wstring HashOf(const std::wstring& path) {
  HANDLE file = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return L"unreadable";
  unsigned long long hash = 14695981039346656037ull;
  static std::vector<unsigned long long> words(1 << 17);
  DWORD got = 0;
  while (ReadFile(file, words.data(), static_cast<DWORD>(words.size() * 8), &got, nullptr) &&
         got > 0) {
    // The bytes past the end of a short read count as zeros; the length is mixed in below.
    std::memset(reinterpret_cast<char*>(words.data()) + got, 0, (8 - got % 8) % 8);
    for (DWORD i = 0; i < (got + 7) / 8; ++i) hash = (hash ^ words[i]) * 1099511628211ull;
    hash = (hash ^ got) * 1099511628211ull;
  }
  CloseHandle(file);
  wchar_t text[20];
  std::swprintf(text, 20, L"%016llx", hash);
  return text;
}

void ListFolder(const std::wstring& folder, bool contents, DriveListing& listing) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((L"\\\\?\\" + folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (IsNoise(path)) continue;
    wchar_t record[128];
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      std::swprintf(record, 128, L"folder attributes %lx", entry.dwFileAttributes);
      listing[path] = record;
      if (!IsLinkOut(path, entry.dwFileAttributes)) ListFolder(path, contents, listing);
      continue;
    }
    const unsigned long long size =
        (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    const unsigned long long written =
        (static_cast<unsigned long long>(entry.ftLastWriteTime.dwHighDateTime) << 32) |
        entry.ftLastWriteTime.dwLowDateTime;
    std::swprintf(record, 128, L"attributes %lx size %llu written %016llx", entry.dwFileAttributes,
                  size, written);
    listing[path] = record;
    if (contents && size <= 256 * 1024) listing[path] += L" hash " + HashOf(path);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

}  // namespace

DriveListing ListDrive(bool contents) {
  DriveListing listing;
  ListFolder(L"C:", contents, listing);
  return listing;
}

}  // namespace testfs
