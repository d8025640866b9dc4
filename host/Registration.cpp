#include "host/Registration.h"

int ModuleYear(int) { return 0; }
void RegisterPlugin(const HostRegistry&, const YearFlags&) {}
void RegisterRelease(const HostRegistry&, int) {}
