// Hardware flow control with the cable check.
#define PCD_SERIAL_HW_FLOW_CONTROL TRUE
#define PCD_SERIAL_CABLE_CHECK TRUE
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
