// Whether the host application is running: any process whose lower-cased exe name contains
// "zwcad.exe".
#pragma once

bool IsHostRunning();
