// The process-wide objects, as the installer defines them, for the test programs.
#include "host/HostRegistry.h"
#include "ui/FolderPicker.h"

std::string theLastChosenFolder;
HostRegistry theHostRegistry;
