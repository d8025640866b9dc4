// The shell's folder browser behind the Browse button.
#pragma once

#include <windows.h>

#include <string>

// The folder chosen last in this run (or the non-empty path the last browse started from).
extern std::string theLastChosenFolder;

// Lets the user choose a folder, starting at the last chosen one. True when one was chosen and
// written into `path`; otherwise `path` is unchanged.
bool PickFolder(HWND owner, std::string title, std::string& path);
