// Build-time constants with an ASCII string limit of 4 characters.
#define PCD_MAXIMUM_ASCII_STRING_LENGTH 4u
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
