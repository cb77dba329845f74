// Assertion checks off, DEBUG messages on (property bits 0x1E).
#define PCD_DEBUG_PROPERTY_BITS 0x1E
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
