// Assertion checks on, DEBUG messages off (property bits 0x1D).
#define PCD_DEBUG_PROPERTY_BITS 0x1D
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
