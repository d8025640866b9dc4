#include "host/RunningHost.h"

bool IsHostRunning() { return false; }
