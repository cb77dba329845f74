// FIFOs off: one byte at a time.
#define PCD_SERIAL_FIFO_SETTINGS 0x06
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
