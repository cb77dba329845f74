// Build-time constants of an image that requires services table revision 0x00010050.
#define PCD_PEIM_REVISION 0x00010050u
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
