// Build-time constants of the fuzz targets: the values the deliverables are built with.
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnFuzz";
