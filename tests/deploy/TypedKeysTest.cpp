// Keys typed while a long copy holds the UI thread wait in its queue. The copy prompt that follows
// runs its own message loop, which would hand them on (on Windows, to the prompt itself, where
// Enter chooses its default button, Abort): they are dropped before the prompt is shown.
#include "deploy/FolderCopy.h"

#include "tests/deploy/DeployTesting.h"
#include "tests/support/Progress.h"

namespace {

TEST(CopyPrompt, KeysTypedDuringTheCopyAreDroppedBeforeThePrompt) {
  deploytest::PackageBeside package{"keys"};
  testfs::WriteFile(package.data + "\\a.txt", "a");
  const std::string product = package.root / kProductSubfolder;
  // A folder where the file must go: its copy fails and is prompted.
  testfs::MakeFolders(product + "\\a.txt");
  testui::ProgressWindow progress;
  int keys = 0;
  testui::MessageSpy spy;
  spy.Attach(progress.Frame(), [&](UINT message, WPARAM, LPARAM) {
    if (message >= WM_KEYFIRST && message <= WM_KEYLAST) ++keys;
  });
  // Enter, typed before the prompt came up.
  for (UINT message : {WM_KEYDOWN, WM_CHAR, WM_KEYUP})
    PostMessageA(progress.Frame(), message, VK_RETURN, 0);

  testui::BoxAnswerer boxes({IDIGNORE});
  EXPECT_TRUE(CopyPackageFiles(CopyJob{product, progress.Run()}));
  ASSERT_EQ(boxes.Records().size(), 1u);
  EXPECT_EQ(boxes.Records()[0].text, deploytest::CopyPromptText(product + "\\a.txt"));
  EXPECT_EQ(keys, 0);
  MSG left;
  EXPECT_FALSE(PeekMessageA(&left, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
}

}  // namespace
