// Build-time constants of unit-test executables: the values the deliverables are built with.
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
