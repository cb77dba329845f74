// Every switch on, but only message level 0x00000002 may be written.
#define PCD_DEBUG_PRINT_LEVEL_MASK 0x00000002u
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
