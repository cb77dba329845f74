// The formatted print engine.
#pragma once

#include <stdarg.h>

#include "ZarnBase.h"

enum : UINTN {
  FMT_OUTPUT_UCS2 = 0x0040,
  FMT_FORMAT_UCS2 = 0x0100,
  FMT_COUNT_ONLY = 0x2000,
};

UINTN FormatEngine(CHAR8 *Buffer, UINTN BufferSize, UINTN Mode, const CHAR8 *Format, va_list Arguments);
UINTN AsciiVFormat(CHAR8 *Buffer, UINTN BufferSize, const CHAR8 *Format, va_list Arguments);
UINTN AsciiFormat(CHAR8 *Buffer, UINTN BufferSize, const CHAR8 *Format, ...);
UINTN FormatWithMode(CHAR8 *Buffer, UINTN BufferSize, UINTN Mode, const CHAR8 *Format, ...);
UINTN AsciiStrnLenS(const CHAR8 *String, UINTN MaxSize);
UINTN StrnLenS(const CHAR16 *String, UINTN MaxSize);
