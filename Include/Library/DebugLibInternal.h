// Helpers of the serial-port debug library, exposed for tests.
#pragma once

#include "ZarnBase.h"

UINT32 ReadDebugLevel(VOID);
UINT64 ReadMm0(VOID);
VOID WriteMm0(UINT64 Value);
VOID TriggerBreakpoint(VOID);
VOID DeadLoopWithMarkers(VOID);
