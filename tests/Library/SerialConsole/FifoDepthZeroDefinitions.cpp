// 64-byte mode with a transmit FIFO depth of 0, which must not stall transmission.
#define PCD_SERIAL_FIFO_SETTINGS 0x27
#define PCD_SERIAL_TX_FIFO_DEPTH 0u
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
