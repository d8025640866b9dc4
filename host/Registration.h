// Registers the plug-in module with the host installation keys of the chosen years.
#pragma once

#include <string>

#include "host/HostRegistry.h"

// The module year named in the registration of a host year (0 outside 2021..2027).
int ModuleYear(int hostYear);
// The module path registered as LOADER for a host year: "<install folder>\Quorel<module
// year>.ZRX"; "" outside 2021..2027 or when it would not fit its 260-byte buffer (a cut path
// would make the host load the wrong file or none).
std::string Loader(const std::string& installFolder, int hostYear);
// Calls RegisterRelease for each chosen year, 2021 first.
void RegisterPlugin(const HostRegistry& hosts, const YearFlags& flags);
// Writes "Applications\Quorel<year>" with LOADCTRLS and LOADER below every key path of the year.
void RegisterRelease(const HostRegistry& hosts, int hostYear);
