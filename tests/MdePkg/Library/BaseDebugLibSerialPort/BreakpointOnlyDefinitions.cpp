// Property bits 0x31: both after-report bits set; the breakpoint wins.
#define PCD_DEBUG_PROPERTY_BITS 0x31
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
