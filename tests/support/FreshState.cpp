#include "tests/support/FreshState.h"

#include <gtest/gtest.h>

#include "host/HostRegistry.h"
#include "ui/FolderPicker.h"

namespace teststate {
namespace {

int theCasesStarted = 0;

class CaseCounter : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { ++theCasesStarted; }
};

}  // namespace

void StartFresh(std::initializer_list<ProcessState> needed) {
  for (ProcessState state : needed) {
    switch (state) {
      case ProcessState::HostRecord:
        theHostRegistry = HostRegistry();
        break;
      case ProcessState::LastChosenFolder:
        theLastChosenFolder.clear();
        break;
      case ProcessState::RunningHostWarning:
        ASSERT_EQ(theCasesStarted, 1)
            << "this case needs the running-host warning not yet shown in its process: run it "
               "alone (ctest does, one case per process)";
        break;
    }
  }
}

void CountTestCases() {
  testing::UnitTest::GetInstance()->listeners().Append(new CaseCounter);
}

}  // namespace teststate
