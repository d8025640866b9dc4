// The Install command with links and open folders on the way, run modally and for real. Wine makes
// no junctions (CreateSymbolicLink does nothing), but it shows a Unix symbolic link to a folder as
// a folder with the reparse-point bit, as Windows shows a junction: the links here are Unix ones.
// Wine maps an access list to the Unix mode bits (its "everyone" entry to the others' bits), so a
// folder opened to everyone shows as one here, and a closed one as closed.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <optional>

#include "framework/Text.h"
#include "host/HostRegistry.h"
#include "res/resource.h"
#include "tests/deploy/DeployTesting.h"
#include "tests/support/Drive.h"
#include "tests/support/FreshState.h"
#include "tests/support/Registry.h"
#include "ui/DialogTexts.h"
#include "ui/Dlg_Setup.h"

namespace {

// Below a test's folder: the destination typed, its product folder and the library's folder.
const std::string kProduct = std::string("dest\\") + kProductSubfolder;
const std::string kLibrary = kProduct + "\\" + kLibrarySubfolder;

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
    testfs::WritePackage(package.data, {"Quorel2021.ZRX"}, {"a.dwg"});
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

// Refused before anything is made, with the folder named: a link or a file where a folder
// belongs, anywhere from the destination down to the library, also in an open product folder
// (neither closed nor renamed aside then); an open product folder that cannot be renamed (on
// Windows a file in it in use; here it is held open without delete sharing, which Wine honours);
// a folder on the way that is still too open once its list is set (Wine keeps lists as mode bits:
// the others' adding, which the list keeps, is their write bit, read back with deleting; on
// Windows the installation goes on).
TEST_F(InstallLinks, UnsafeFoldersOnTheWayAreRefusedWithNothingMade) {
  struct {
    const char* where;
    // Below the test's folder: the path typed, the entry named, the real folders above it, what
    // the entry is (Link, File, Held, or a folder), and the folder opened to everyone first.
    const char* typed;
    const char* entry;
    const char* above;
    char kind;
    const char* open;
  } const cases[] = {
      {"a link above the destination", "up\\dest", "up", "", 'L', nullptr},
      {"a link as the destination", "dest", "dest", "", 'L', nullptr},
      {"a link as the product folder", "dest", "dest\\Zantrel", "dest", 'L', nullptr},
      {"a link as the library folder", "dest", "dest\\Zantrel\\Quorel扩展绘图库", "dest\\Zantrel",
       'L', nullptr},
      {"a file above the destination", "up\\dest", "up", "", 'F', nullptr},
      {"a file as the destination", "dest", "dest", "", 'F', nullptr},
      {"a file as the product folder", "dest", "dest\\Zantrel", "dest", 'F', nullptr},
      {"a file as the library, the product folder open", "dest", "dest\\Zantrel\\Quorel扩展绘图库",
       "dest\\Zantrel", 'F', "dest\\Zantrel"},
      {"an open product folder held", "dest", "dest\\Zantrel", "dest\\Zantrel", 'H',
       "dest\\Zantrel"},
      {"the destination open", "dest", "dest", "dest", 'D', "dest"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    testfs::TempDir root("links");
    // Where another user's link leads, standing for a folder of the system.
    testfs::MakeDir(root / "elsewhere");
    testfs::WriteFile(root / "elsewhere\\system.dll", "system");
    if (*c.above) testfs::MakeFolders(root / c.above);
    if (c.open) {
      ASSERT_TRUE(OpenToEveryone(root / c.open));
    }
    std::optional<UnixLink> link;
    if (c.kind == 'F') testfs::WriteFile(root / c.entry, "not a folder");
    if (c.kind == 'L') link.emplace(root / c.entry, root / "elsewhere");
    if (link) {
      ASSERT_TRUE(link->made);
    }
    const HANDLE held = c.kind != 'H'
                            ? INVALID_HANDLE_VALUE
                            : CreateFileA((root / c.entry).c_str(), FILE_LIST_DIRECTORY,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);

    const testfs::DriveListing before = testfs::ListDrive(true);
    const std::string keys = testreg::Dump(testreg::kVendorKey);
    testui::BoxAnswerer boxes;
    EXPECT_EQ(Press(root / c.typed, boxes, true), IDCANCEL);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);

    EXPECT_TRUE(testfs::ListDrive(true) == before);
    EXPECT_EQ(testreg::Dump(testreg::kVendorKey), keys);
    EXPECT_TRUE(theHostRegistry.installFolder.empty());
    if (c.open) {
      EXPECT_NE(EveryonesRights(root / c.open) & kChanges, 0u);
    }
    const auto records = boxes.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text,
              framework::FormatText(kUnsafeFolderFormat, (root / c.entry).c_str()));
    EXPECT_EQ(records[0].caption, kSetupCaption);
    EXPECT_EQ(records[0].buttons, testui::ButtonsOf(MB_OK));
    EXPECT_TRUE(records[0].hasIcon);
  }
}

// A product folder others could change (an earlier installation's, or one with an open library)
// is renamed aside to the first free name, kept whole and closed; a fresh one is made and
// installed whole, and the next installation reuses the fresh one in place. Until the run ends
// no folder on the way can be renamed. Wine keeps lists as mode bits: a folder made with the
// installer's own list reads back without an entry for everyone, one made with the inherited list
// with one; a list set later that keeps the others' adding (the mended one) with their write.
TEST_F(InstallLinks, AnOpenProductFolderIsRenamedAsideAndAFreshOneInstalled) {
  const struct {
    const char* what;
    // Below the destination: the folder opened to everyone (none: no product folder yet).
    const char* open;
    std::vector<std::string> earlierAside;
    const char* aside;
  } cases[] = {
      {"nothing there yet: everything made with the installer's list", nullptr, {}, nullptr},
      {"an open product folder", "Zantrel", {}, "Zantrel.old"},
      {"an open library folder", "Zantrel\\Quorel扩展绘图库", {}, "Zantrel.old"},
      {"after two earlier", "Zantrel", {"Zantrel.old", "Zantrel.old2"}, "Zantrel.old3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testfs::TempDir root("aside");
    const std::string dest = root / "dest", product = dest + "\\Zantrel";
    const auto install = [&] {
      testui::BoxAnswerer boxes;
      boxes.OnBox([&](const testui::BoxRecord&, HWND) {
        for (const std::string& folder : {root.Path(), dest, product})
          EXPECT_FALSE(MoveFileA(folder.c_str(), (folder + "-moved").c_str())) << folder;
      });
      EXPECT_EQ(Press(dest, boxes, false), IDOK);
      ASSERT_EQ(boxes.Records().size(), 1u);
      EXPECT_EQ(boxes.Records()[0].text, kSuccessText);
    };
    std::vector<std::string> names = c.earlierAside;
    for (const std::string& name : c.earlierAside) testfs::MakeFolders(dest + "\\" + name);
    if (c.open) {
      testfs::MakeFolders(product + "\\Quorel扩展绘图库");
      testfs::WriteFile(product + "\\Quorel2021.ZRX", "earlier");
      testfs::WriteFile(product + "\\planted.dll", "planted");
      ASSERT_TRUE(OpenToEveryone(dest + "\\" + c.open));
      names.push_back(c.aside);
    }
    names.push_back("Zantrel");
    std::sort(names.begin(), names.end());

    install();
    EXPECT_EQ(testfs::List(dest), names);
    if (c.aside) {
      const std::string aside = dest + "\\" + c.aside;
      EXPECT_EQ(testfs::List(aside),
                (std::vector<std::string>{"Quorel2021.ZRX", "Quorel扩展绘图库", "planted.dll"}));
      EXPECT_EQ(
          testfs::ReadFile(aside + "\\Quorel2021.ZRX") + testfs::ReadFile(aside + "\\planted.dll"),
          "earlierplanted");
      EXPECT_EQ(EveryonesRights(aside) & kChanges, 0u);
    }
    EXPECT_EQ(testfs::List(product),
              (std::vector<std::string>{"Quorel2021.ZRX", "Quorel扩展绘图库"}));
    EXPECT_EQ(testfs::ReadFile(product + "\\Quorel2021.ZRX"), "Quorel2021.ZRX");
    EXPECT_EQ(testfs::ReadFile(product + "\\Quorel扩展绘图库\\a.dwg"), "a.dwg");
    for (const std::string& made :
         {c.aside ? product : dest, product, product + "\\Quorel扩展绘图库"})
      EXPECT_EQ(EveryonesRights(made), 0u) << made;

    // Again: the fresh folder is the installer's own, so it is used as it is.
    testfs::WriteFile(product + "\\kept.txt", "kept");
    install();
    EXPECT_EQ(testfs::List(dest), names);
    EXPECT_EQ(testfs::ReadFile(product + "\\kept.txt"), "kept");
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
       "dest\\Zantrel\\Quorel扩展绘图库\\a.dwg", "a.dwg", false},
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
