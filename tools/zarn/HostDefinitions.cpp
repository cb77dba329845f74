// Build-time constants for the firmware library code that runs inside the tool's own process (the
// print engine of the debug-print producer, the flash lookups of `zarn flash show`): the values the
// deliverables are built with. The images carry their own copies.
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "zarn";
