// The installer on a system whose ANSI code page is 1252. A Wine program takes its code page from
// the Unix locale it starts in (a LANG in a Windows environment block changes nothing), so the
// test starts the programs through the Unix `env` with LANG=C.UTF-8; the session's wineserver and
// prefix stay the same.

#include <windows.h>
#include "app/CodePageCheck.h"
#include "tests/app/AppTesting.h"
#include "ui/DialogTexts.h"

namespace {

using testui::WaitUntil;

const char kProbeName[] = "code_page_probe.exe";

// Starts `program` (a Windows path) with its arguments in the Unix locale `locale`.
void StartInLocale(const std::string& locale, const std::string& program,
                   const std::string& arguments = "") {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  std::string command = "Z:\\usr\\bin\\env LANG=" + locale + " LC_ALL=" + locale + " wine \"" +
                        program + "\" " + arguments;
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info))
      << command;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

// The dialog or message box of any process with this caption, or nullptr.
HWND FindDialog(const std::wstring& caption) {
  return FindWindowW(L"#32770", caption.c_str());
}

// Ends the process behind a window with this caption that a failed test left up.
struct EndsLeftover {
  std::wstring caption;
  ~EndsLeftover() {
    DWORD id = 0;
    if (HWND window = FindDialog(caption)) GetWindowThreadProcessId(window, &id);
    if (HANDLE process = id ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id) : nullptr) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 10000);
      CloseHandle(process);
    }
  }
};

// The start-up check alone, without the manifest: under 1252 it shows its box, readable there,
// and ends with nothing else done; under 936 it passes without a word.
TEST(OtherCodePage, StartUpCheckStopsWhereTheCodePageIsNot936) {
  const struct {
    const char* locale;
    bool stops;
  } cases[] = {{"C.UTF-8", true}, {"zh_CN.UTF-8", false}};
  const std::string probe = testproc::FromBuild(CODE_PAGE_PROBE_EXE);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    const EndsLeftover leftover{kCodePageCaption};
    testfs::TempDir folder("codepage");
    const std::string passed = folder / "passed";
    StartInLocale(c.locale, probe, "\"" + passed + "\"");
    if (!c.stops) {
      EXPECT_TRUE(WaitUntil([&] { return testfs::Exists(passed); }, 30000));
      EXPECT_EQ(FindDialog(kCodePageCaption), nullptr);
      EXPECT_TRUE(WaitUntil([&] { return !testproc::Listed(kProbeName); }, 30000));
      continue;
    }
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindDialog(kCodePageCaption)) != nullptr; }, 30000));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(box) != FALSE; }));
    EXPECT_EQ(testui::ItemText(box, 0xFFFF), testfs::Narrow(kCodePageText));
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !testproc::Listed(kProbeName); }, 30000));
    EXPECT_FALSE(testfs::Exists(passed));
  }
}

// SetUp.exe itself, whose manifest makes 936 the process's code page: the caption, the title, the
// library and the completion box all come out in Chinese.
TEST(OtherCodePage, InstallerWithItsManifestWorksInChinese) {
  apptest::InstallerBeside beside;
  const std::wstring caption = testfs::Wide(SETUP_DIALOG_CAPTION);
  const EndsLeftover leftover{caption};
  StartInLocale("C.UTF-8", beside.exe);

  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = FindDialog(caption)) != nullptr; }, 30000));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(dialog) != FALSE; }));
  // The setup dialog, not the start-up check's box, which has the same caption.
  ASSERT_NE(GetDlgItem(dialog, IDC_INSTALL), nullptr);
  EXPECT_EQ(testui::ItemText(dialog, IDC_TITLE), "Zantrel软件 V" SETUP_VERSION_DOTTED);
  EXPECT_EQ(testui::ItemText(dialog, IDC_EDITION), kEditionText);
  DWORD process = 0;
  GetWindowThreadProcessId(dialog, &process);
  testui::BoxAnswerer boxes({}, process);
  testui::InstallInto(dialog, beside.target.Path());
  ASSERT_TRUE(boxes.WaitForCount(1, 30000));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 30000));

  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, kSuccessText);
  EXPECT_EQ(records[0].caption, kSuccessCaption);
  EXPECT_EQ(testfs::List(beside.product),
            (std::vector<std::string>{"Quorel2021.ZRX", "Quorel2025.ZRX", kLibrarySubfolder,
                                      "帮助.chm"}));
  EXPECT_EQ(testfs::List(beside.library), std::vector<std::string>{"图块.dwg"});
}

}  // namespace
