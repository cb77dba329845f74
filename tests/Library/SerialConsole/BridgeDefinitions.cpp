// A port-mapped UART behind two PCI-to-PCI bridges: 0:1C.0, then 1:00.0 (power-management register
// 0x48), then the UART at 2:00.0 (power-management register 0x44).
#define PCD_SERIAL_BRIDGE_LIST \
  {0x1C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0x44, 0x00, 0xFF, 0x00, 0x00, 0x00}
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
