#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "framework/Application.h"
#include "framework/Dialog.h"
#include "framework/ErrorReport.h"
#include "res/resource.h"
#include "tests/support/Boxes.h"

// The next allocation on a chosen thread fails, once: what the dialog base does while an error
// unwinds must not let a second one escape into the dialog manager.
static std::atomic<DWORD> theFailingThread{0};

void* operator new(std::size_t size) {
  DWORD self = GetCurrentThreadId();
  if (theFailingThread.load() == self && theFailingThread.compare_exchange_strong(self, 0))
    throw std::bad_alloc();
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}

namespace {

void FailNextAllocationHere() {
  theFailingThread = GetCurrentThreadId();
}

using testui::BoxAnswerer;
using testui::RunWithDriver;
using testui::WaitUntil;

// A dialog on the setup template that exchanges three members and runs a test's handler on the
// Install button.
class ProbeDialog : public framework::CModalDialog {
 public:
  ProbeDialog() : CModalDialog(IDD_SETUP, nullptr) {}

  int flag = 1;
  std::string text = "C:\\Quorel";
  framework::CWindow bound;
  std::function<void()> onInstall;
  // Runs while colouring; a brush, or nullptr for the default.
  std::function<HBRUSH(HDC dc)> onColor;
  HWND ownerSeen = nullptr;

 protected:
  bool OnCommand(int id, int code) override {
    if (id != IDC_INSTALL || code != BN_CLICKED) return false;
    ownerSeen = framework::MessageOwner();
    if (onInstall) onInstall();
    return true;
  }
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override {
    return onColor ? onColor(dc) : CModalDialog::OnCtlColor(dc, control, message);
  }
  void DoDataExchange(framework::CDataExchange& dx) override {
    framework::DDX_Control(dx, IDC_PROGRESS, bound);
    framework::DDX_Check(dx, IDC_YEAR_2021, flag);
    framework::DDX_Text(dx, IDC_PATH, text);
  }
};

TEST(DialogBase, ExchangesMembersBothWaysAndEndsWithOkOrCancel) {
  ProbeDialog dialog;
  const INT_PTR result =
      RunWithDriver([&] { return dialog.DoModal(); },
                    [&](HWND window) {
                      EXPECT_EQ(testui::ItemChecked(window, IDC_YEAR_2021), 1);
                      EXPECT_EQ(testui::ItemText(window, IDC_PATH), "C:\\Quorel");
                      EXPECT_EQ(dialog.bound.Handle(), GetDlgItem(window, IDC_PROGRESS));
                      SendDlgItemMessageA(window, IDC_YEAR_2021, BM_SETCHECK, BST_UNCHECKED, 0);
                      SetDlgItemTextA(window, IDC_PATH, "D:\\新目录");
                      PostMessageA(window, WM_COMMAND, IDOK, 0);
                    });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dialog.flag, 0);
  EXPECT_EQ(dialog.text, "D:\\新目录");

  ProbeDialog cancelled;
  const INT_PTR second = RunWithDriver([&] { return cancelled.DoModal(); },
                                       [&](HWND window) {
                                         SetDlgItemTextA(window, IDC_PATH, "ignored");
                                         PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                                       });
  EXPECT_EQ(second, IDCANCEL);
  EXPECT_EQ(cancelled.text, "C:\\Quorel");
}

TEST(DialogBase, MissingTemplateGivesMinusOne) {
  class Missing : public framework::CModalDialog {
   public:
    Missing() : CModalDialog(4242, nullptr) {}
  } dialog;
  EXPECT_EQ(dialog.DoModal(), -1);
}

TEST(DialogBase, CentresInTheWorkArea) {
  ProbeDialog dialog;
  RunWithDriver([&] { return dialog.DoModal(); },
                [&](HWND window) {
                  RECT work{}, rect{};
                  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
                  GetWindowRect(window, &rect);
                  EXPECT_NEAR((rect.left + rect.right) / 2, (work.left + work.right) / 2, 2);
                  EXPECT_NEAR((rect.top + rect.bottom) / 2, (work.top + work.bottom) / 2, 2);
                  EXPECT_GE(rect.top, work.top);
                });
}

// An error escaping a command handler becomes the stop box; the dialog stays open and usable.
TEST(DialogBase, EscapedErrorIsReportedAndTheDialogStaysOpen) {
  ProbeDialog dialog;
  int calls = 0;
  dialog.onInstall = [&] {
    ++calls;
    if (calls == 1) throw framework::HResultError(E_INVALIDARG);
    throw 42;  // not one of ours
  };
  BoxAnswerer boxes;
  const INT_PTR result = RunWithDriver([&] { return dialog.DoModal(); },
                                       [&](HWND window) {
                                         testui::Click(window, IDC_INSTALL);
                                         ASSERT_TRUE(boxes.WaitForAnswered(1, window));
                                         testui::Click(window, IDC_INSTALL);
                                         ASSERT_TRUE(boxes.WaitForAnswered(2, window));
                                         EXPECT_TRUE(IsWindowVisible(window));
                                         PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                                       });
  EXPECT_EQ(result, IDCANCEL);
  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 2u);
  // The program's name, without its folder or extension.
  EXPECT_EQ(records[0].caption, "framework_tests");
  EXPECT_EQ(records[0].text, framework::SystemMessage(E_INVALIDARG));
  EXPECT_NE(records[0].text, framework::kInternalError);
  EXPECT_TRUE(records[0].hasIcon);
  EXPECT_EQ(records[0].buttons, testui::ButtonsOf(MB_OK));
  EXPECT_EQ(records[0].owner, dialog.ownerSeen);
  EXPECT_FALSE(records[0].ownerEnabled);
  EXPECT_EQ(records[1].text, framework::kInternalError);
  EXPECT_EQ(records[1].caption, "framework_tests");
}

// An error escaping the colouring is reported too, and the message then reads as not handled: the
// dialog manager's own brush comes back, never TRUE taken for a brush handle.
TEST(DialogBase, EscapedErrorWhileColouringLeavesTheDefaultBrush) {
  ProbeDialog dialog;
  HDC probeDc = CreateCompatibleDC(nullptr);
  dialog.onColor = [&](HDC dc) -> HBRUSH {
    if (dc == probeDc) throw framework::HResultError(E_INVALIDARG);
    return nullptr;
  };
  BoxAnswerer boxes;
  LRESULT brush = 0;
  RunWithDriver([&] { return dialog.DoModal(); },
                [&](HWND window) {
                  brush = SendMessageA(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(probeDc),
                                       reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_PATH)));
                  EXPECT_TRUE(IsWindowVisible(window));
                });
  DeleteDC(probeDc);
  EXPECT_NE(brush, TRUE);
  EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(brush)), static_cast<DWORD>(OBJ_BRUSH));
  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, framework::SystemMessage(E_INVALIDARG));
}

// Neither the report (its texts are allocated) nor the registration of the running dialog may
// throw into the dialog manager: the stop box still comes, and the dialog goes on or ends with -1.
TEST(DialogBase, AllocationFailuresInsideTheDialogProcedureNeverEscapeIt) {
  BoxAnswerer boxes;
  // The first dialog of the process registers itself with an allocation, here failing.
  ProbeDialog starting;
  FailNextAllocationHere();
  EXPECT_EQ(starting.DoModal(), -1);
  theFailingThread = 0;

  ProbeDialog dialog;
  dialog.onInstall = [] {
    FailNextAllocationHere();
    throw framework::HResultError(E_INVALIDARG);
  };
  const INT_PTR result = RunWithDriver([&] { return dialog.DoModal(); },
                                       [&](HWND window) {
                                         testui::Click(window, IDC_INSTALL);
                                         ASSERT_TRUE(boxes.WaitForAnswered(1, window));
                                         EXPECT_TRUE(IsWindowVisible(window));
                                       });
  EXPECT_EQ(result, IDCANCEL);

  const auto records = boxes.Records();
  ASSERT_EQ(records.size(), 2u);
  for (const testui::BoxRecord& box : records) {
    EXPECT_EQ(box.text, framework::kInternalError);
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttons, testui::ButtonsOf(MB_OK));
  }
}

class TestApp : public framework::CApplication {
 public:
  bool InitInstance() override { return false; }
  int helpCalls = 0;

 protected:
  const Command* Commands(std::size_t& count) const override {
    static const Command table[] = {
        {ID_HELP_COMMAND, [](CApplication& app) { ++static_cast<TestApp&>(app).helpCalls; }}};
    count = 1;
    return table;
  }
};

TEST(DialogBase, CommandsTheDialogDoesNotHandleReachTheApplicationTable) {
  TestApp app;
  ProbeDialog dialog;
  RunWithDriver([&] { return dialog.DoModal(); },
                [&](HWND window) {
                  SendMessageA(window, WM_COMMAND, ID_HELP_COMMAND, 0);
                  SendMessageA(window, WM_COMMAND, 12345, 0);
                });
  EXPECT_EQ(app.helpCalls, 1);
  EXPECT_FALSE(app.RouteCommand(12345));
}

}  // namespace
