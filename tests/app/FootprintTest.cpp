// The installer writes nothing but what it should: the whole C: drive of the prefix and the
// registry below HKLM are snapshotted before a run of the built SetUp.exe and compared after it.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/app/AppTesting.h"

namespace {

using testui::WaitUntil;
// Entry (a path, or a registry key or value) -> what is recorded of it.
using Snapshot = std::map<std::string, std::string>;

bool StartsWith(const std::string& text, const std::string& head) {
  return text.size() >= head.size() && _strnicmp(text.c_str(), head.c_str(), head.size()) == 0;
}

std::string Hex(const void* data, std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    char byte[3];
    std::snprintf(byte, sizeof(byte), "%02x", static_cast<const unsigned char*>(data)[i]);
    text += byte;
  }
  return text;
}

// FNV-1a of a file's bytes, or "unreadable" (e.g. held open by someone without sharing).
std::string HashOf(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "unreadable";
  unsigned long long hash = 14695981039346656037ull;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
    for (DWORD i = 0; i < got; ++i)
      hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
  CloseHandle(file);
  return Hex(&hash, sizeof(hash));
}

// What changes on the drive while the installer runs without being the installer's doing. Measured
// here, Wine itself writes nothing on the drive or below HKLM\SOFTWARE and HKLM\SYSTEM during a
// run (its services are up before the tests start); what is left out is the test platform's:
// - other test programs run beside this one and keep their own folders below C:\ztest;
// - the user's temporary folders are shared by every program that runs meanwhile;
// - the user's shell folders (Desktop, Documents...) are links to the Unix home folder, which is
//   not part of the drive: their entries are recorded, not what lies behind them.
struct Noise {
  std::vector<std::string> ownFolders;  // this test's folders below C:\ztest: never noise

  bool IsNoise(const std::string& path) const {
    if (StartsWith(path, "C:\\ztest\\")) {
      for (const std::string& own : ownFolders)
        if (StartsWith(path + "\\", own + "\\")) return false;
      return true;
    }
    const std::string below = BelowUser(path);
    return StartsWith(below, "Temp\\") || StartsWith(below, "AppData\\Local\\Temp\\");
  }
  static bool IsLinkOut(const std::string& path) {
    const std::string below = BelowUser(path);
    for (const char* link : {"Desktop\\", "Documents\\", "Downloads\\", "Music\\", "Pictures\\",
                             "Videos\\", "AppData\\Roaming\\Microsoft\\Windows\\Templates\\"})
      if (_stricmp(below.c_str(), link) == 0) return true;
    return false;
  }
  // "Temp\" for "C:\users\<name>\Temp", "" outside the user folders; always with a trailing "\".
  static std::string BelowUser(const std::string& path) {
    if (!StartsWith(path, "C:\\users\\")) return std::string();
    const std::size_t user = path.find('\\', sizeof("C:\\users\\") - 1);
    return user == std::string::npos ? std::string() : path.substr(user + 1) + "\\";
  }
};

void SnapshotFolder(const std::string& folder, const Noise& noise, Snapshot& out) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    if (noise.IsNoise(path)) continue;
    const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    char head[64];
    const unsigned long long size =
        isFolder
            ? 0
            : (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    std::snprintf(head, sizeof(head), "attributes %lx size %llu",
                  static_cast<unsigned long>(entry.dwFileAttributes), size);
    std::string record = head;
    // Contents of the small files: the package, the product, the fonts and most of Wine's own.
    if (!isFolder && size <= 256 * 1024) record += " hash " + HashOf(path);
    out[path] = record;
    if (isFolder && !Noise::IsLinkOut(path) &&
        !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      SnapshotFolder(path, noise, out);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

void SnapshotKey(HKEY key, const std::string& path, Snapshot& out) {
  out[path] = "key";
  for (DWORD i = 0;; ++i) {
    char name[16384];
    DWORD nameLength = sizeof(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      break;
    std::string data(size, '\0');
    nameLength = sizeof(name);
    RegEnumValueA(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                  &size);
    out[path + " : " + std::string(name, nameLength)] =
        "type " + std::to_string(type) + " " + Hex(data.data(), size);
  }
  for (DWORD i = 0;; ++i) {
    char name[1024];
    DWORD nameLength = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    HKEY child = nullptr;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    SnapshotKey(child, path + "\\" + std::string(name, nameLength), out);
    RegCloseKey(child);
  }
}

Snapshot TakeSnapshot(const Noise& noise) {
  Snapshot snapshot;
  SnapshotFolder("C:", noise, snapshot);
  for (const char* root : {"SOFTWARE", "SYSTEM"}) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, root, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    SnapshotKey(key, std::string("HKLM\\") + root, snapshot);
    RegCloseKey(key);
  }
  return snapshot;
}

// "+ entry", "- entry" and "~ entry: before -> after", one line each.
std::vector<std::string> Differences(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> lines;
  for (const auto& [path, record] : after) {
    auto old = before.find(path);
    if (old == before.end())
      lines.push_back("+ " + path);
    else if (old->second != record)
      lines.push_back("~ " + path + ": " + old->second + " -> " + record);
  }
  for (const auto& [path, record] : before)
    if (!after.count(path)) lines.push_back("- " + path);
  return lines;
}

// The differences as text, one line each in entry order.
std::string Join(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end(),
            [](const std::string& a, const std::string& b) { return a.substr(2) < b.substr(2); });
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// A package with a read-only file in it, three hosts (2022 and 2025 chosen, 2023 not; 2025 has no
// Fonts folder), and the installer started beside it.
class Footprint : public ::testing::Test {
 protected:
  void SetUp() override {
    testfs::RemoveTree(setup.hosts / "2025\\Fonts");
    testfs::MakeDir(setup.hosts / "2023");
    testfs::MakeDir(setup.hosts / "2023\\Fonts");
    testreg::SetString(kHost2023Key, "Location", setup.hosts / "2023");
    SetFileAttributesA((setup.data + "\\Quorel2021.ZRX").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((setup.data + "\\Quorel扩展绘图库\\图块.dwg").c_str(),
                       FILE_ATTRIBUTE_READONLY);
    noise.ownFolders = {setup.folder.Path(), setup.hosts.Path(), setup.target.Path(), extra.Path()};
  }

  // Runs the installer: `script` drives it, with every box answered by its first button unless
  // told otherwise. Takes the first snapshot unless the test has taken it.
  void Run(const std::function<void(HWND dialog, testui::BoxAnswerer& boxes)>& script) {
    if (before.empty()) before = TakeSnapshot(noise);
    apptest::Process installer(setup.exe);
    ASSERT_TRUE(installer.started);
    testui::BoxAnswerer boxes({}, installer.Id());
    HWND dialog = installer.Dialog();
    ASSERT_NE(dialog, nullptr);
    // 2023 is installed but not chosen.
    SendDlgItemMessageA(dialog, IDC_YEAR_2023, BM_SETCHECK, BST_UNCHECKED, 0);
    script(dialog, boxes);
    ASSERT_TRUE(installer.Ended());
    records = boxes.Records();
  }
  std::vector<std::string> Changes() { return Differences(before, TakeSnapshot(noise)); }

  // A package file whose read-only bit the copies cleared (nothing else of the package changes).
  std::string ReadOnlyCleared(const std::string& path) const {
    const std::string record = before.at(path);
    unsigned long attributes = 0;
    std::sscanf(record.c_str(), "attributes %lx", &attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY) << record;
    char cleared[32];
    std::snprintf(cleared, sizeof(cleared), "attributes %lx",
                  attributes & ~static_cast<unsigned long>(FILE_ATTRIBUTE_READONLY));
    return "~ " + path + ": " + record + " -> " + cleared + record.substr(record.find(" size"));
  }
  static std::string Key(const std::string& path) { return "+ HKLM\\" + path; }

  static constexpr const char* kHost2023Key = "SOFTWARE\\ZWSOFT\\ZWCAD\\2023";
  apptest::InstallerBeside setup;
  testfs::TempDir extra{"extra"};
  Noise noise;
  Snapshot before;
  std::vector<testui::BoxRecord> records;
};

TEST_F(Footprint, SuccessWritesTheProductTheChosenHostsFontsAndTheApplicationKeys) {
  Run([&](HWND dialog, testui::BoxAnswerer& boxes) {
    setup.PressInstall(dialog);
    ASSERT_TRUE(boxes.WaitForCount(1, 30000));
  });
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, apptest::kSuccessText);

  const std::string product = setup.product;
  const std::string library = product + "\\Quorel扩展绘图库";
  std::vector<std::string> expected = {
      "+ " + product,
      "+ " + product + "\\Quorel2021.ZRX",
      "+ " + product + "\\Quorel2025.ZRX",
      "+ " + library,
      "+ " + library + "\\图块.dwg",
      "+ " + product + "\\帮助.chm",
      "+ " + setup.hosts / "2022\\Fonts\\Quorel_EN.shx",
      "+ " + setup.hosts / "2022\\Fonts\\Quorel_HZ.shx",
      ReadOnlyCleared(setup.data + "\\Quorel2021.ZRX"),
      ReadOnlyCleared(setup.data + "\\Quorel扩展绘图库\\图块.dwg"),
  };
  for (const auto& [key, year] :
       {std::pair<std::string, std::string>{apptest::kHost2025Key, "2025"},
        {apptest::kHost2022Key, "2022"}}) {
    const std::string app = key + "\\Applications\\Quorel" + year;
    expected.push_back(Key(key + "\\Applications"));
    expected.push_back(Key(app));
    expected.push_back(Key(app + " : LOADCTRLS"));
    expected.push_back(Key(app + " : LOADER"));
  }
  EXPECT_EQ(Join(Changes()), Join(expected));
}

TEST_F(Footprint, AbortWritesOnlyTheFilesCopiedBeforeIt) {
  // A copy of Quorel2025.ZRX that cannot be replaced: held open without sharing.
  testfs::MakeDir(setup.product);
  testfs::WriteFile(setup.product + "\\Quorel2025.ZRX", "old");
  before = TakeSnapshot(noise);
  testfs::HeldOpen held(setup.product + "\\Quorel2025.ZRX");
  ASSERT_TRUE(held.Held());
  Run([&](HWND dialog, testui::BoxAnswerer& boxes) {
    boxes.Answer({IDABORT});
    setup.PressInstall(dialog);
    ASSERT_TRUE(boxes.WaitForCount(1, 30000));
  });
  held.Release();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].buttons, testui::ButtonsOf(MB_ABORTRETRYIGNORE));
  EXPECT_EQ(Join(Changes()), Join({"+ " + setup.product + "\\Quorel2021.ZRX",
                                   ReadOnlyCleared(setup.data + "\\Quorel2021.ZRX")}));
  EXPECT_EQ(testfs::ReadFile(setup.product + "\\Quorel2025.ZRX"), "old");
}

TEST_F(Footprint, MissingPackageLeavesOnlyTheEmptyProductFolder) {
  testfs::RemoveTree(setup.data);
  Run([&](HWND dialog, testui::BoxAnswerer& boxes) {
    setup.PressInstall(dialog);
    ASSERT_TRUE(boxes.WaitForCount(1, 30000));
  });
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].caption, "Q-软件安装");
  EXPECT_EQ(Join(Changes()), Join({"+ " + setup.product}));
}

TEST_F(Footprint, RunningHostWarningChangesNothing) {
  const std::string hostExe = extra / "zwcad.exe";
  ASSERT_TRUE(CopyFileA(apptest::FromBuild(HOST_IDLE_EXE).c_str(), hostExe.c_str(), FALSE));
  apptest::Process host(hostExe);
  ASSERT_TRUE(host.started);
  Run([&](HWND dialog, testui::BoxAnswerer& boxes) {
    setup.PressInstall(dialog);
    ASSERT_TRUE(boxes.WaitForCount(1, 30000));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(dialog) != FALSE; }));
    testui::Click(dialog, IDCANCEL);
  });
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, "请关闭CAD后再进行安装 !");
  EXPECT_EQ(Join(Changes()), "");
}

}  // namespace
