// Copies the two SHX fonts into the Fonts folder of every installation of the chosen years.
#pragma once

#include "host/HostRegistry.h"

#include <string>

// Every failure is silent, but for a sealed installer's copy that does not hold what was
// recorded: then false, at once, with the box shown (the run ends as after Abort).
bool InstallFonts(const HostRegistry& hosts, const YearFlags& flags);
bool InstallFontsAt(std::string hostFolder);
