// What a sealed installer installs: only the files of the record linked into it (the signature
// covers the record, not the package beside the exe), each checked against its size and SHA-256.
// An installer without a record installs the package as it finds it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "deploy/InstallFile.h"
#include "deploy/SealRecord.h"

// SHA-256 of what `file` holds from its position to its end, read once in large blocks, and the
// number of bytes read. False when a read or the hash fails.
bool HashFile(HANDLE file, Sha256& digest, std::uint64_t& size);
// Whether `file` holds exactly the size and digest `entry` records.
bool HoldsRecorded(HANDLE file, const SealEntry& entry);

enum class SealState {
  Unsealed,
  Sealed,
  // A record that cannot be read whole: nothing is installed.
  Damaged,
};

class InstallerSeal {
 public:
  // The running installer's record, read from its resource at the first use.
  static const InstallerSeal& Running();

  SealState State() const { return state; }
  // Whether `name` in `folder` of the package may be installed: every name when unsealed, the
  // recorded ones when sealed, none when damaged.
  bool Admits(SealFolder folder, const std::string& name) const;
  // The entry for `name`, or null (always null when unsealed).
  const SealEntry* Find(SealFolder folder, const std::string& name) const;
  // The recorded files (none unless sealed).
  const std::vector<SealEntry>& Entries() const { return record.Entries(); }

 private:
  InstallerSeal();
  SealState state = SealState::Unsealed;
  SealRecord record;
};

// The path of a recorded file in `packageFolder`.
std::string SealedPath(const std::string& packageFolder, SealFolder folder,
                       const std::string& name);

// Whether the package beside a sealed installer holds every recorded file where the copies will
// find it, with its recorded size, and the fonts with their recorded digests (checked before
// anything is written; the copies check every file's digest again). Always true unsealed or
// without a package (the run reports that). Otherwise false, with the path to name in `altered`:
// the file, or the installer itself when its record is damaged.
bool SealedPackageIntact(std::string& altered);

// The check a copy of `name` from `folder` passes before it takes its own name: none when
// unsealed; when sealed, the copy must hold what the record says (a name it does not hold never
// passes).
CopyCheck SealedCopyCheck(SealFolder folder, const std::string& name);

// The stop box of a sealed package that does not hold what was recorded, naming `path`.
void ReportAlteredPackage(HWND owner, const std::string& path);
