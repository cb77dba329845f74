// A memory-mapped UART (registers 4 bytes apart) behind one bridge 0:1C.0, the UART at 1:00.0 with
// power-management register 0x44.
#define PCD_SERIAL_MMIO_ACCESS TRUE
#define PCD_SERIAL_BASE_ADDRESS 0x00000000FE001000ull
#define PCD_SERIAL_REGISTER_SPACING 4u
#define PCD_SERIAL_BRIDGE_LIST {0x1C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x44, 0x00, 0xFF, 0x00, 0x00, 0x00}
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
