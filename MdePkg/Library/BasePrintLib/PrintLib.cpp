// Public entry points of the print engine and the bounded string lengths it checks formats with.
#include "Library/PrintLib.h"

UINTN AsciiVFormat(CHAR8 *Buffer, UINTN BufferSize, const CHAR8 *Format, va_list Arguments) {
  return FormatEngine(Buffer, BufferSize, 0, Format, Arguments);
}

UINTN AsciiFormat(CHAR8 *Buffer, UINTN BufferSize, const CHAR8 *Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  const UINTN Length = AsciiVFormat(Buffer, BufferSize, Format, Arguments);
  va_end(Arguments);
  return Length;
}

UINTN FormatWithMode(CHAR8 *Buffer, UINTN BufferSize, UINTN Mode, const CHAR8 *Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  const UINTN Length = FormatEngine(Buffer, BufferSize, Mode, Format, Arguments);
  va_end(Arguments);
  return Length;
}

UINTN AsciiStrnLenS(const CHAR8 *String, UINTN MaxSize) {
  if (String == nullptr) {
    return 0;
  }
  UINTN Length = 0;
  while (Length < MaxSize && String[Length] != 0) {
    Length++;
  }
  return Length;
}

UINTN StrnLenS(const CHAR16 *String, UINTN MaxSize) {
  if (String == nullptr) {
    return 0;
  }
  // Read byte by byte: a UCS-2 format or argument carries no alignment guarantee.
  const UINT8 *Bytes = reinterpret_cast<const UINT8 *>(String);
  UINTN Length = 0;
  while (Length < MaxSize && (Bytes[2 * Length] != 0 || Bytes[2 * Length + 1] != 0)) {
    Length++;
  }
  return Length;
}
