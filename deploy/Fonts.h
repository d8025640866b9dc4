// Copies the two SHX fonts into the Fonts folder of every installation of the chosen years.
#pragma once

#include "host/HostRegistry.h"

#include <string>

void InstallFonts(const HostRegistry& hosts, const YearFlags& flags);
void InstallFontsAt(std::string hostFolder);
