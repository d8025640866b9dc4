// A listing of the whole drive C: of the prefix, to compare before and after a run: what a
// program wrote anywhere shows as a difference.
#pragma once

#include <map>
#include <string>

namespace testfs {

// Full path as the drive spells it (without "\\?\") -> "folder attributes A", or for a file
// "attributes A size N written T", with `contents` also " hash H" of every file up to 256 KiB.
// Paths of any length are reached. Left out, as the test platform's own changes rather than the
// program's:
// - other test programs' temporary folders (C:\ztest\<name>-<pid>-<n> of another process), which
//   tests running alongside change at any time; this process's own are listed;
// - the user's temporary folders (Temp, AppData\Local\Temp), shared by every program meanwhile;
// - what lies behind links out of the drive: the user's shell folders (Desktop, Documents...)
//   and reparse points are recorded, not followed.
using DriveListing = std::map<std::wstring, std::wstring>;
DriveListing ListDrive(bool contents = false);

}  // namespace testfs
