// FIFOs on in 64-byte mode: bursts of the transmit FIFO depth.
#define PCD_SERIAL_FIFO_SETTINGS 0x27
#define PCD_SERIAL_TX_FIFO_DEPTH 64u
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
