#include "deploy/Fonts.h"

#include "deploy/InstallFile.h"
#include "deploy/Links.h"
#include "deploy/PackageSource.h"
#include "deploy/Seal.h"
#include "framework/Window.h"

bool InstallFonts(const HostRegistry& hosts, const YearFlags& flags) {
  for (int year = 0; year < kHostYearCount; ++year) {
    if (!flags[year]) continue;
    for (const std::string& hostFolder : hosts.locations[year]) {
      if (!InstallFontsAt(hostFolder)) return false;
    }
  }
  return true;
}

bool InstallFontsAt(std::string hostFolder) {
  std::string packageFolder;
  if (!FindPackageFolder(packageFolder)) return true;
  // The Fonts folder is not created: a host without one gets no fonts, nor does one that is a link.
  const std::string fonts = Below(hostFolder, kFontsSubfolder);
  if (!FitsPathBuffer(fonts) || IsReparsePoint(fonts)) return true;
  for (const char* name : kFontNames) {
    if (!InstallerSeal::Running().Admits(SealFolder::Package, name)) continue;
    const std::string from = Below(packageFolder, name);
    const std::string to = Below(fonts, name);
    // An older font stays as it is when it cannot be replaced (read-only, in use).
    if (FitsPathBuffer(from) &&
        InstallFile(from, to, false, SealedCopyCheck(SealFolder::Package, name)) ==
            Placed::Refused) {
      ReportAlteredPackage(framework::MessageOwner(), from);
      return false;
    }
  }
  return true;
}
