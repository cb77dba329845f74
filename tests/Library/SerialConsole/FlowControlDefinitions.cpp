// Hardware flow control without the cable check.
#define PCD_SERIAL_HW_FLOW_CONTROL TRUE
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
