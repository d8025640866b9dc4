// The installer keeps some state for the whole process, as objects or flags of the product:
//
//   HostRecord          theHostRegistry: discovery adds to it, the installation run sets its
//                       install folder;
//   LastChosenFolder    theLastChosenFolder: where the folder browser opens;
//   RunningHostWarning  the Install command warns about a running host once per process, by a
//                       flag of its own.
//
// A test case that needs one of them as the program starts says so with StartFresh. Every test
// case runs as a process of its own (one CTest entry each), so each finds this state as the
// program starts it. StartFresh still resets what a test can reset (the record, the folder), so
// that such a case also passes after others in one process; the warning's flag cannot be reset
// from outside, so a case that needs it fails when it is not the first of its process (a test
// program run by hand without a filter), instead of failing for a reason that is not there.
#pragma once

#include <initializer_list>

namespace teststate {

enum class ProcessState { HostRecord, LastChosenFolder, RunningHostWarning };

void StartFresh(std::initializer_list<ProcessState> needed);

// Counts the test cases this process has started; called once by the test programs' main.
void CountTestCases();

}  // namespace teststate
