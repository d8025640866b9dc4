#include "host/HostRegistry.h"

void HostRegistry::DiscoverHosts() {}
void HostRegistry::ScanProductKey(const std::string&) {}
void HostRegistry::FindValueKeys(HKEY, const std::string&, const std::string&, const std::string&) {}
void HostRegistry::StripTrailingBackslash(std::string&) {}
