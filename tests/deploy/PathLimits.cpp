#include "tests/deploy/PathLimits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>

namespace limits {
namespace {

constexpr std::size_t kBuffer = 260;  // bytes, the terminating NUL included

bool Fits(const std::string& text) {
  return text.size() < kBuffer;
}

std::wstring Long(const std::string& path) {
  return L"\\\\?\\" + Wide(path);
}

std::wstring Upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Double-byte characters of the filler: 淺 (9C 5C), 中 (D6 D0), 乗 (81 5C), 表 (B1 ED), 望 (CD FB).
const char* const kFillerGlyphs[] = {"\x9C\x5C", "\xD6\xD0", "\x81\x5C", "\xB1\xED", "\xCD\xFB"};

std::string Filler(std::size_t bytes, bool doubleByte, std::size_t& turn) {
  std::string text;
  if (!doubleByte) {
    while (text.size() < bytes) text += static_cast<char>('a' + turn++ % 26);
    return text;
  }
  if (bytes % 2) text += 'x';
  while (text.size() < bytes) text += kFillerGlyphs[turn++ % 5];
  return text;
}

// "C:\ztest\<name>-<pid>-<n>" of another process (a testfs::TempDir of a test running alongside).
bool OtherProgramsFolder(const std::wstring& name) {
  const std::size_t last = name.rfind(L'-');
  if (last == std::wstring::npos || last == 0) return false;
  const std::size_t before = name.rfind(L'-', last - 1);
  if (before == std::wstring::npos) return false;
  const std::wstring pid = name.substr(before + 1, last - before - 1);
  const std::wstring count = name.substr(last + 1);
  const auto digits = [](const std::wstring& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
  };
  return digits(pid) && digits(count) && pid != std::to_wstring(GetCurrentProcessId());
}

void ListFolder(const std::wstring& folder, DriveListing& listing) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((L"\\\\?\\" + folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    const std::wstring key = Upper(path);
    if (Upper(folder) == L"C:\\ZTEST" && OtherProgramsFolder(name)) continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      listing[key] = L"folder";
      // Links out of the drive (Wine maps some folders onto the host) are not followed.
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) ListFolder(path, listing);
    } else {
      wchar_t stamp[64];
      std::swprintf(
          stamp, 64, L"%llu bytes, written %08lx%08lx",
          (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow,
          entry.ftLastWriteTime.dwHighDateTime, entry.ftLastWriteTime.dwLowDateTime);
      listing[key] = stamp;
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
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

void MakeFolders(const std::string& path) {
  const std::wstring wide = Wide(path);
  for (std::size_t i = 3; i <= wide.size(); ++i) {
    if (i == wide.size() || wide[i] == L'\\')
      CreateDirectoryW((L"\\\\?\\" + wide.substr(0, i)).c_str(), nullptr);
  }
}

void PutFile(const std::string& path, const std::string& contents) {
  HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
  CloseHandle(file);
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(Long(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Read(const std::string& path) {
  HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string contents;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
    contents.append(buffer, got);
  CloseHandle(file);
  return contents;
}

void RemoveAll(const std::string& path) {
  const std::function<void(const std::wstring&)> remove = [&](const std::wstring& wide) {
    const std::wstring full = L"\\\\?\\" + wide;
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(full.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      DeleteFileW(full.c_str());
      return;
    }
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((full + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
      } while (FindNextFileW(search, &entry));
      FindClose(search);
    }
    for (const std::wstring& name : names) remove(wide + L"\\" + name);
    RemoveDirectoryW(full.c_str());
  };
  remove(Wide(path));
}

std::string DoubleByteText(std::size_t bytes) {
  std::size_t turn = 0;
  return Filler(bytes, true, turn);
}

std::string PathOfBytes(const std::string& base, std::size_t bytes, bool doubleByte,
                        const std::string& leaf) {
  const std::size_t fixed = base.size() + (leaf.empty() ? 0 : leaf.size() + 1);
  if (fixed > bytes) throw std::logic_error("base and leaf are longer than the path");
  std::size_t need = bytes - fixed;
  if (need == 1) throw std::logic_error("one byte cannot make a folder");
  std::string path = base;
  std::size_t turn = 0;
  while (need > 0) {
    // A separator and up to 40 bytes of name, never leaving a single byte over.
    std::size_t name = need <= 41 ? need - 1 : std::min<std::size_t>(40, need - 3);
    path += "\\" + Filler(name, doubleByte, turn);
    need -= name + 1;
  }
  if (!leaf.empty()) path += "\\" + leaf;
  return path;
}

DriveListing ListDrive() {
  DriveListing listing;
  ListFolder(L"C:", listing);
  return listing;
}

std::vector<std::string> Differences(const DriveListing& before, const DriveListing& after) {
  std::vector<std::string> lines;
  for (const auto& [path, stamp] : after) {
    const auto old = before.find(path);
    if (old == before.end())
      lines.push_back("+ " + Narrow(path));
    else if (old->second != stamp)
      lines.push_back("~ " + Narrow(path) + " (" + Narrow(old->second) + " -> " + Narrow(stamp) +
                      ")");
  }
  for (const auto& [path, stamp] : before)
    if (!after.count(path)) lines.push_back("- " + Narrow(path));
  return lines;
}

std::string UnexpectedChanges(const DriveListing& before, const DriveListing& after,
                              const std::set<std::wstring>& created, const std::string& root) {
  const std::wstring prefix = Upper(Wide(root));
  // Below the root, a long path by its first folder and its last three names.
  const auto shown = [&](const std::wstring& path) {
    if (path.compare(0, prefix.size(), prefix) != 0) return Narrow(path);
    const std::wstring rest = path.substr(prefix.size());
    std::vector<std::wstring> names;
    for (std::size_t start = 1, end; start <= rest.size(); start = end + 1) {
      end = rest.find(L'\\', start);
      if (end == std::wstring::npos) end = rest.size();
      names.push_back(rest.substr(start, end - start));
    }
    if (names.size() <= 5) return "<root>" + Narrow(rest);
    std::string text =
        "<root>\\" + Narrow(names[0]) + "\\(" + std::to_string(names.size() - 4) + " folders)";
    for (std::size_t i = names.size() - 3; i < names.size(); ++i) text += "\\" + Narrow(names[i]);
    return text + " [" + std::to_string(Narrow(path).size()) + " bytes]";
  };
  std::string report;
  for (const auto& [path, stamp] : after) {
    const auto old = before.find(path);
    if (old == before.end() && !created.count(path))
      report += "  unexpected: + " + shown(path) + "\n";
    if (old != before.end() && old->second != stamp)
      report += "  unexpected: ~ " + shown(path) + " (" + Narrow(old->second) + " -> " +
                Narrow(stamp) + ")\n";
  }
  for (const auto& [path, stamp] : before)
    if (!after.count(path)) report += "  unexpected: - " + shown(path) + "\n";
  for (const std::wstring& path : created)
    if (!after.count(path) || before.count(path)) report += "  missing:      " + shown(path) + "\n";
  return report.empty() ? report : "root " + root + "\n" + report;
}

TwinRoot::TwinRoot() {
  static int counter = 0;
  char buffer[MAX_PATH];
  std::snprintf(buffer, sizeof(buffer), "C:\\ztest\\limits-%lu-%d",
                static_cast<unsigned long>(GetCurrentProcessId()), ++counter);
  root = buffer;
  RemoveAll(root);
  real = root + "\\A";
  twin = root + "\\B";
  MakeFolders(real);
  MakeFolders(twin);
}

TwinRoot::~TwinRoot() {
  RemoveAll(root);
}

std::string TwinRoot::Twin(const std::string& path) const {
  if (path.compare(0, real.size(), real) != 0) throw std::logic_error("not below the real branch");
  return twin + path.substr(real.size());
}

void TwinRoot::MakeFoldersInBoth(const std::string& path) const {
  MakeFolders(path);
  MakeFolders(Twin(path));
}

void Mirror::Record(const std::string& path) {
  created.insert(Upper(Wide(path)));
}

bool Mirror::MakeFolder(const std::string& folder) {
  if (!CreateDirectoryA(twins.Twin(folder).c_str(), nullptr)) return false;
  Record(folder);
  return true;
}

bool Mirror::Copy(const std::string& from, const std::string& to) {
  if (!CopyFileA(from.c_str(), twins.Twin(to).c_str(), FALSE)) return false;
  Record(to);
  return true;
}

bool Mirror::Lists(const std::string& pattern) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool Mirror::IsFolder(const std::string& path) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(path.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

const char* const kPackageFiles[3] = {"a.txt", "Quorel2021.ZRX", "淺.dll"};
const char* const kLibraryFiles[2] = {"x.dwg", "图.dwg"};
const char* const kFonts[2] = {"Quorel_EN.shx", "Quorel_HZ.shx"};
const char kLibrary[] = "Quorel扩展绘图库";

void WritePackage(const std::string& packageFolder) {
  MakeFolders(packageFolder + "\\" + kLibrary);
  for (const char* name : kPackageFiles) PutFile(packageFolder + "\\" + name, name);
  for (const char* name : kFonts) PutFile(packageFolder + "\\" + name, name);
  for (const char* name : kLibraryFiles)
    PutFile(packageFolder + "\\" + kLibrary + "\\" + name, name);
}

Expected ExpectInstallation(const TwinRoot& twins, const std::string& packageFolder,
                            const std::string& commandFolder, const std::string& installFolder,
                            const std::vector<std::string>& hostFolders) {
  Mirror mirror(twins);
  Expected expected;
  // The Install command makes the chosen folder and the product folder (texts of any length).
  if (!commandFolder.empty()) {
    mirror.MakeFolder(commandFolder);
    mirror.MakeFolder(installFolder);
  }

  // Package files: the install folder goes into a 260-byte buffer, and so does the listing
  // pattern. A folder that does not fit is not made, and every file listed is a failed copy.
  const bool folderFits = Fits(installFolder);
  if (folderFits) mirror.MakeFolder(installFolder);
  const std::string pattern = packageFolder + "\\*.*";
  if (Fits(pattern) && Mirror::Lists(pattern)) {
    for (const char* name : kPackageFiles) {
      const std::string to = installFolder + "\\" + name;
      if (!folderFits || !mirror.Copy(packageFolder + "\\" + name, to))
        expected.prompts.push_back(to);
    }
  }

  // The drawing library: its destination and its listing pattern in 260-byte buffers; silent.
  const std::string library = installFolder + "\\" + kLibrary;
  const std::string source = packageFolder + "\\" + kLibrary;
  if (Fits(library)) {
    mirror.MakeFolder(library);
    if (Fits(source + "\\*.*") && Mirror::Lists(source + "\\*.*")) {
      for (const char* name : kLibraryFiles)
        mirror.Copy(source + "\\" + name, library + "\\" + name);
    }
  }

  // The LOADER text in a 260-byte buffer: written only whole.
  expected.loader = installFolder + "\\Quorel2021.ZRX";
  expected.registered = Fits(expected.loader);

  // Fonts: the Fonts folder, the sources and the destinations, each formatted into a 260-byte
  // buffer; anything that does not fit is skipped, silently.
  for (const std::string& host : hostFolders) {
    const std::string fonts = host + "\\Fonts";
    if (!Fits(fonts)) continue;
    for (const char* name : kFonts) {
      const std::string from = packageFolder + "\\" + name;
      const std::string to = fonts + "\\" + name;
      if (Fits(from) && Fits(to)) mirror.Copy(from, to);
    }
  }

  expected.created = mirror.Created();
  std::sort(expected.prompts.begin(), expected.prompts.end());
  return expected;
}

std::string CopyPromptText(const std::string& destination) {
  return "拷贝文件 " + destination +
         " 失败，可能原因如下：\n\n1、CAD未关闭\n\n2、系统权限未开放，请以管理者权限登陆系统";
}

std::string Lengths(const std::string& what, const std::string& text) {
  return what + " of " + std::to_string(text.size()) + " bytes (" +
         std::to_string(Wide(text).size()) + " characters, " +
         (Fits(text) ? "fits" : "does not fit") + " 260 bytes)";
}

void ExpectPrompts(std::vector<std::string> shown, const std::vector<std::string>& destinations) {
  std::vector<std::string> expected;
  for (const std::string& to : destinations) expected.push_back(CopyPromptText(to));
  std::sort(shown.begin(), shown.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(shown, expected);
}

}  // namespace limits
