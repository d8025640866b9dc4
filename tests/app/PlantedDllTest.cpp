// DLLs planted beside the installer (the classic attack on an elevated program started from a
// Downloads folder) are never loaded, even when the loader is told to prefer native DLLs.

#include <windows.h>
#include "tests/app/AppTesting.h"
#include "ui/DialogTexts.h"

namespace {

using testui::WaitUntil;

// Names that the installer or the system DLLs it uses look for at run time during a full
// installation (measured with the loader's trace under Wine), and names planted against other
// installers. Left out: what Wine's own builtins import or load while they start (version, zlib1,
// imm32, sechost, combase, rpcrt4, shlwapi, shcore, ucrtbase, win32u): Wine looks for those beside
// the program before its first instruction, as Windows does not for its system DLLs, so no program
// can keep them out under Wine and a marker would say nothing about the installer.
const char* const kPlantedNames[] = {
    "comctl32", "uxtheme",  "dwmapi",   "cryptbase", "propsys",     "profapi",       "userenv",
    "winmm",    "msimg32",  "oleaut32", "setupapi",  "wtsapi32",    "netapi32",      "wininet",
    "dbghelp",  "riched20", "msftedit", "msctf",     "textshaping", "windowscodecs", "oleacc",
    "apphelp",  "cryptsp",  "secur32",  "sspicli",   "ntmarta",     "clbcatq"};

// Makes every planted name load native first (then Wine's builtin) in the processes started from
// one executable name, until destroyed. The loader takes overrides from the registry (a child
// started from here inherits this process's WINEDLLOVERRIDES, not the one in its environment
// block); the per-program key keeps the change away from every other program in the prefix.
class NativeFirst {
 public:
  explicit NativeFirst(const std::string& exeName)
      : key("Software\\Wine\\AppDefaults\\" + exeName) {
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    HKEY overrides = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &overrides, nullptr) != ERROR_SUCCESS)
      return;
    const char order[] = "native,builtin";
    for (const char* name : kPlantedNames)
      RegSetValueExA(overrides, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                     sizeof(order));
    RegCloseKey(overrides);
  }
  ~NativeFirst() {
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  }
  NativeFirst(const NativeFirst&) = delete;
  NativeFirst& operator=(const NativeFirst&) = delete;

 private:
  std::string key;
};

void Plant(const std::string& folder) {
  for (const char* name : kPlantedNames) {
    const std::string planted = folder + "\\" + name + ".dll";
    ASSERT_TRUE(CopyFileA(testproc::FromBuild(PLANTED_DLL).c_str(), planted.c_str(), FALSE))
        << planted;
  }
}

// The planted DLLs that were loaded: each leaves "<name>.dll.loaded".
std::vector<std::string> Loaded(const std::string& folder) {
  std::vector<std::string> loaded;
  for (const std::string& name : testfs::List(folder))
    if (name.ends_with(".loaded")) loaded.push_back(name);
  return loaded;
}

// Runs the probe program with `arguments`, every name planted beside it, and gives the planted
// DLLs it loaded.
void RunProbe(const std::string& arguments, std::vector<std::string>& loaded) {
  testfs::TempDir folder{"probe"};
  const std::string probe = folder / "probe.exe";
  ASSERT_TRUE(CopyFileA(testproc::FromBuild(DLL_PROBE_EXE).c_str(), probe.c_str(), FALSE));
  Plant(folder.Path());
  NativeFirst overrides("probe.exe");
  testproc::Child process(probe, arguments);
  ASSERT_TRUE(process.Started());
  ASSERT_TRUE(process.Ended());
  loaded = Loaded(folder.Path());
}

// A program without the restriction loads what is planted beside it (so a marker can appear and
// the installer's test can fail); the installer's own restriction, called first, keeps the same
// loads in System32.
TEST(PlantedDlls, AreLoadedWithoutTheRestrictionAndNotAfterIt) {
  const struct {
    const char* arguments;
    std::vector<std::string> loaded;
  } cases[] = {
      {"load uxtheme.dll dwmapi.dll comctl32.dll",
       {"comctl32.dll.loaded", "dwmapi.dll.loaded", "uxtheme.dll.loaded"}},
      {"restrict load uxtheme.dll dwmapi.dll comctl32.dll", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    std::vector<std::string> loaded{"not run"};
    ASSERT_NO_FATAL_FAILURE(RunProbe(c.arguments, loaded));
    EXPECT_EQ(loaded, c.loaded);
  }
}

// A browse and a whole installation with every name planted beside SetUp.exe load none of them.
TEST(PlantedDlls, AreNeverLoadedByTheInstaller) {
  apptest::InstallerBeside setup;
  Plant(setup.folder.Path());
  NativeFirst overrides("SetUp.exe");
  testproc::InstallerRun run;
  ASSERT_NO_FATAL_FAILURE(testproc::RunInstaller(
      setup.exe,
      [&](HWND dialog, testui::BoxAnswerer& boxes) {
        // The folder browser first: the shell and COM load the most at run time.
        testui::Click(dialog, IDC_BROWSE);
        HWND browser = nullptr;
        ASSERT_TRUE(
            WaitUntil([&] { return (browser = testui::FindBrowser(dialog)) != nullptr; }, 30000));
        PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(browser) && IsWindowEnabled(dialog); }));
        testproc::InstallInto(setup.target.Path())(dialog, boxes);
      },
      run));
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text, kSuccessText);
  EXPECT_TRUE(testfs::Exists(setup.product + "\\Quorel2021.ZRX"));
  EXPECT_TRUE(testfs::Exists(setup.hosts / "2025\\Fonts\\" + kFontNames[1]));

  EXPECT_EQ(Loaded(setup.folder.Path()), std::vector<std::string>{});
}

}  // namespace
