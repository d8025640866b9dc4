// The Install command with links and open folders on the way, run modally and for real. Wine makes
// no junctions (CreateSymbolicLink does nothing), but it shows a Unix symbolic link to a folder as
// a folder with the reparse-point bit, as Windows shows a junction: the links here are Unix ones.
// Wine maps an access list to the Unix mode bits (its "everyone" entry to the others' bits), so a
// folder opened to everyone shows as one here, and a closed one as closed.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "deploy/DeployTexts.h"
#include "framework/Text.h"
#include "host/HostRegistry.h"
#include "res/resource.h"
#include "tests/deploy/DeployTesting.h"
#include "tests/support/Boxes.h"
#include "tests/support/Drive.h"
#include "tests/support/Files.h"
#include "tests/support/FreshState.h"
#include "tests/support/Registry.h"
#include "ui/DialogTexts.h"
#include "ui/Dlg_Setup.h"

namespace {

// Starts a Unix program on paths in the prefix, each given by its Unix name (Wine's own export,
// looked up; Wine runs a program given by its Unix path). Wine gives no handle to wait on: the
// caller waits for what the program does.
void RunUnix(std::wstring commandLine, std::initializer_list<std::string> paths) {
  using UnixNameFn = char*(CDECL*)(const WCHAR*);
  static const auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  for (const std::string& path : paths) {
    char* name = unixName ? unixName(testfs::Wide(path).c_str()) : nullptr;
    if (!name) return;
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, name, -1, wide.data(), static_cast<int>(wide.size()));
    commandLine += L" " + wide.substr(0, wide.size() - 1);
    HeapFree(GetProcessHeap(), 0, name);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

// A Unix symbolic link at `link` to `target` (or a hard link to the file `target`), removed (the
// link, not what it points to) when the object goes. Wine shows a symbolic link to a folder as a
// reparse point, one to a file as the file itself.
struct UnixLink {
  UnixLink(const std::string& link, const std::string& target, bool hard = false) : link(link) {
    const bool folder = testfs::Attributes(target) & FILE_ATTRIBUTE_DIRECTORY;
    RunUnix(hard ? L"/bin/ln" : L"/bin/ln -s", {target, link});
    made = testui::WaitUntil([&] {
      return hard || !folder ? testfs::Exists(link)
                             : testfs::Attributes(link) ==
                                   (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    });
  }
  ~UnixLink() {
    RunUnix(L"/bin/rm -f", {link});
    testui::WaitUntil([&] { return !testfs::Exists(link); });
  }
  UnixLink(const UnixLink&) = delete;
  UnixLink& operator=(const UnixLink&) = delete;

  const std::string link;
  bool made = false;
};

// Rights of everyone (S-1-1-0) on a folder itself, as the system reads its list.
ACCESS_MASK EveryonesRights(const std::string& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL acl = nullptr;
  if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS)
    return ~0u;
  ACCESS_MASK rights = 0;
  for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
    void* raw = nullptr;
    GetAce(acl, i, &raw);
    auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
    if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
        !(ace->Header.AceFlags & INHERIT_ONLY_ACE) && IsWellKnownSid(&ace->SidStart, WinWorldSid))
      rights |= ace->Mask;
  }
  LocalFree(descriptor);
  return rights;
}

// Opens a folder to everyone, as a list inherited from an open drive root would.
bool OpenToEveryone(const std::string& folder) {
  PSECURITY_DESCRIPTOR open = nullptr;
  const bool set = ConvertStringSecurityDescriptorToSecurityDescriptorA(
                       "D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr) &&
                   SetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, open);
  LocalFree(open);
  return set;
}

// Adding files or folders, deleting, changing the list or the owner.
constexpr ACCESS_MASK kChanges =
    FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;

// A package beside the installer and one installed host release (2022) with a Fonts folder.
class InstallLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::StartFresh({teststate::ProcessState::HostRecord});
    for (const char* name : {"Quorel2021.ZRX", "Quorel_EN.shx", "Quorel_HZ.shx"})
      testfs::WriteFile(package.data + "\\" + name, name);
    testfs::MakeDir(package.data + "\\Quorel扩展绘图库");
    testfs::WriteFile(package.data + "\\Quorel扩展绘图库\\a.dwg", "a");
    testreg::SeedHost(testreg::kHost2022Key, host.Path());
    theHostRegistry.DiscoverHosts();
    ASSERT_EQ(theHostRegistry.locations[1].size(), 1u);
  }

  // Runs the dialog with `path` typed and presses Install once; `boxes` answers what it shows.
  INT_PTR Press(const std::string& path, testui::BoxAnswerer& boxes, bool staysOpen) {
    Dlg_Setup dialog;
    dialog.destinationPath = path;
    return testui::RunWithDriver(
        [&] { return dialog.DoModal(); },
        [&](HWND window) {
          testui::Click(window, IDC_INSTALL);
          if (!staysOpen) {
            EXPECT_TRUE(testui::WaitUntil([&] { return !IsWindow(window); }, 30000));
            return;
          }
          ASSERT_TRUE(boxes.WaitForAnswered(1, window));
          EXPECT_TRUE(IsWindowVisible(window));
          EXPECT_EQ(testui::ItemText(window, IDC_PATH), path);
        });
  }

  testreg::CleanHostKeys clean;
  deploytest::PackageBeside package{"pkg"};
  testfs::TempDir host{"host"};
};

TEST_F(InstallLinks, ALinkAnywhereOnTheWayIsRefusedWithNothingWritten) {
  struct {
    const char* where;
    // Below the test's folder: the path typed, the link, and the real folders above the link.
    const char* typed;
    const char* link;
    const char* above;
  } const cases[] = {
      {"above the destination", "up\\dest", "up", ""},
      {"the destination", "dest", "dest", ""},
      {"the product folder", "dest", "dest\\Zantrel", "dest"},
      {"the library folder", "dest", "dest\\Zantrel\\Quorel扩展绘图库", "dest\\Zantrel"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    testfs::TempDir root("links");
    // Where another user's link leads, standing for a folder of the system.
    testfs::MakeDir(root / "elsewhere");
    testfs::WriteFile(root / "elsewhere\\system.dll", "system");
    if (*c.above) testfs::MakeFolders(root / c.above);
    const UnixLink link(root / c.link, root / "elsewhere");
    ASSERT_TRUE(link.made);

    const testfs::DriveListing before = testfs::ListDrive(true);
    const std::string keys = testreg::Dump("SOFTWARE\\ZWSOFT");
    testui::BoxAnswerer boxes;
    EXPECT_EQ(Press(root / c.typed, boxes, true), IDCANCEL);

    EXPECT_TRUE(testfs::ListDrive(true) == before);
    EXPECT_EQ(testreg::Dump("SOFTWARE\\ZWSOFT"), keys);
    EXPECT_TRUE(theHostRegistry.installFolder.empty());
    const auto records = boxes.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, framework::FormatText(kUnsafeFolderFormat, (root / c.link).c_str()));
    EXPECT_EQ(records[0].caption, kSetupCaption);
    EXPECT_EQ(records[0].buttons, testui::ButtonsOf(MB_OK));
    EXPECT_TRUE(records[0].hasIcon);
  }
}

// An open folder on the way (an earlier installation, a list inherited from an open root) is
// closed to everyone else, and the installation goes on.
TEST_F(InstallLinks, OpenFoldersOnTheWayAreClosedAndInstalledInto) {
  for (const char* open : {"dest", "dest\\Zantrel", "dest\\Zantrel\\Quorel扩展绘图库"}) {
    SCOPED_TRACE(open);
    testfs::TempDir root("open");
    testfs::MakeFolders(root / open);
    ASSERT_TRUE(OpenToEveryone(root / open));
    ASSERT_NE(EveryonesRights(root / open) & kChanges, 0u);

    testui::BoxAnswerer boxes;
    EXPECT_EQ(Press(root / "dest", boxes, false), IDOK);
    ASSERT_EQ(boxes.Records().size(), 1u);
    EXPECT_EQ(boxes.Records()[0].text, kSuccessText);
    EXPECT_EQ(EveryonesRights(root / open) & kChanges, 0u);
    EXPECT_EQ(testfs::ReadFile(root / "dest\\Zantrel\\Quorel扩展绘图库\\a.dwg"), "a");
  }
}

// A Fonts folder that is a link is passed over like a missing one (no font, no message); a link
// planted where a file of ours goes loses its name instead of being written through; a package
// file that is a link is copied, but what it stands for keeps its read-only bit.
TEST_F(InstallLinks, LinksWhereFilesGoAreNotWrittenThrough) {
  const struct {
    const char* what;
    const char* link;  // below the test's folder: <host>, <pkg> or dest\...
    bool hard;
    const char* installed;  // below the test's folder, with its contents afterwards
    const char* contents;
    // Whether Wine shows the link as one: it shows a symbolic link to a file as the file itself,
    // so the bits the installer clears on a plain earlier copy would go to what it stands for
    // (Windows shows it as a reparse point).
    bool visible = true;
  } cases[] = {
      {"the Fonts folder a link", "<host>Fonts", false, nullptr, nullptr},
      {"a hard link for Quorel2021.ZRX", "dest\\Zantrel\\Quorel2021.ZRX", true,
       "dest\\Zantrel\\Quorel2021.ZRX", "Quorel2021.ZRX"},
      {"a symbolic link for a library file", "dest\\Zantrel\\Quorel扩展绘图库\\a.dwg", false,
       "dest\\Zantrel\\Quorel扩展绘图库\\a.dwg", "a", false},
      {"a hard link for a font", "<host>Fonts\\Quorel_EN.shx", true, nullptr, nullptr},
      {"a package file a hard link", "<pkg>extra.dll", true, "dest\\Zantrel\\extra.dll", "system"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testfs::TempDir root("through");
    testfs::MakeDir(root / "elsewhere");
    const std::string system = root / "elsewhere\\system.dll";
    testfs::WriteFile(system, "system");
    testfs::MakeFolders(root / "dest\\Zantrel\\Quorel扩展绘图库");
    std::string at = c.link;
    if (at.rfind("<host>", 0) == 0)
      at = host / at.substr(6);
    else if (at.rfind("<pkg>", 0) == 0)
      at = package.data + "\\" + at.substr(5);
    else
      at = root / c.link;
    const bool fontsFolder = at == host / "Fonts";
    testfs::RemoveTree(host / "Fonts");
    if (!fontsFolder) testfs::MakeDir(host / "Fonts");
    const UnixLink link(at, fontsFolder ? root / "elsewhere" : system, c.hard);
    ASSERT_TRUE(link.made);
    // The bit belongs to the file: clearing it through a link would change the system's file.
    const DWORD readOnly = c.visible ? FILE_ATTRIBUTE_READONLY : 0;
    if (readOnly) SetFileAttributesA(system.c_str(), readOnly);

    testui::BoxAnswerer boxes;
    EXPECT_EQ(Press(root / "dest", boxes, false), IDOK);
    ASSERT_EQ(boxes.Records().size(), 1u);
    EXPECT_EQ(boxes.Records()[0].text, kSuccessText);
    EXPECT_EQ(testfs::List(root / "elsewhere"), std::vector<std::string>{"system.dll"});
    EXPECT_EQ(testfs::ReadFile(system), "system");
    EXPECT_EQ(testfs::Attributes(system) & FILE_ATTRIBUTE_READONLY, readOnly);
    SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (c.installed) {
      EXPECT_EQ(testfs::ReadFile(root / c.installed), c.contents);
    }
    if (!fontsFolder) {
      EXPECT_EQ(testfs::ReadFile(host / "Fonts\\Quorel_EN.shx"), "Quorel_EN.shx");
    }
  }
}

}  // namespace
