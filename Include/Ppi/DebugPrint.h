// The debug-print PPI of another platform module; it receives the modules' own messages unformatted.
#pragma once

#include <stdarg.h>

#include "ZarnBase.h"

typedef VOID(EFIAPI *ZARN_OUTPUT_MESSAGE)(UINT64 MessageClass, const CHAR8 *Format, va_list Arguments);

struct ZARN_DEBUG_PRINT_PPI {
  ZARN_OUTPUT_MESSAGE OutputMessage;  // the only member the modules use
};
