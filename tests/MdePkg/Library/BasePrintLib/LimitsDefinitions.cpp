// Build-time constants of the limits test: an ASCII maximum of 8 characters switches the ASCII checks on.
#define PCD_MAXIMUM_ASCII_STRING_LENGTH 8u
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
