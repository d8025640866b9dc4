// Copies the package files and the drawing library into the product folder, one level deep.
#pragma once

#include <string>

#include "deploy/Progress.h"
#include "deploy/SealRecord.h"

struct CopyJob {
  // The product folder, never ending in a backslash.
  std::string folder;
  // The setup dialog's progress bar, as the run steps it (it stays the dialog's).
  Progress& progress;
};

// False when there is no package folder, the user chose Abort, or a sealed installer's copy did
// not hold what was recorded (not installed, and the box has said so).
bool CopyPackageFiles(const CopyJob& job);
// Its failures are silent; false only when a sealed installer's copy did not hold what was
// recorded (as above): the run then ends as after Abort.
bool CopyDrawingLibrary(const CopyJob& job);
// Whether every path the two copies will form below the product folder `folder` (the library
// folder, and each file they will copy, as far as their listings go) fits MAX_PATH: CopyFileA
// takes no longer one, and the host could not open it either.
bool CopiedPathsFit(const std::string& folder);
// Walks the listings of `packageFolder` as the two copies do and calls `visit` with each file
// they would copy, in their order, until it returns false (then false).
// (`visit` takes `context` along: a plain function keeps the exe small.)
bool WalkCopiedFiles(const std::string& packageFolder,
                     bool (*visit)(SealFolder folder, const char* name, void* context),
                     void* context);
