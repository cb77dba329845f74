// Property bits 0x21: assertions on, dead loop after a report instead of the breakpoint.
#define PCD_DEBUG_PROPERTY_BITS 0x21
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
