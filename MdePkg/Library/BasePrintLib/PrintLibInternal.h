// Internals of the print engine: the per-item flag bits and the two helpers the engine is built from.
// Exposed for the engine's own tests; other code uses Library/PrintLib.h only.
#pragma once

#include "Library/PrintLib.h"

// Flags of one format item. The item starts with the three mode bits of Library/PrintLib.h.
enum : UINTN {
  FMT_LEFT_ALIGN = 0x0001,
  FMT_SIGN_PLUS = 0x0002,
  FMT_SIGN_SPACE = 0x0004,
  FMT_GROUP_THOUSANDS = 0x0008,
  FMT_ARG_64BIT = 0x0010,
  FMT_ZERO_FILL = 0x0020,
  FMT_RADIX_16 = 0x0080,
  FMT_WIDTH_GIVEN = 0x0200,
  FMT_ARG_UCS2 = 0x0400,
  FMT_PRECISION_GIVEN = 0x0800,
  FMT_DIGITS_REVERSED = 0x1000,
  FMT_UNSIGNED = 0x4000,
};

// Size of the engine's value buffer: a zero byte and up to 20 digits, or a %g, %t or %r text of at
// most 37 characters and its terminator.
constexpr UINTN FMT_VALUE_BUFFER_SIZE = 38;

// Stores a zero byte at Buffer[0], then the digits of Value in Radix (10 or 16), least significant
// first from Buffer[1]; returns the address of the most significant digit (Buffer + digit count).
CHAR8 *ValueToDigits(CHAR8 *Buffer, UINT64 Value, UINT32 Radix);

// Writes Character Count times (nothing when Count <= 0) as Width-byte output characters (1: low byte;
// 2: low byte, then bits 8-15), stopping when the position reaches End; returns the new position.
CHAR8 *FillCharacters(CHAR8 *Buffer, CHAR8 *End, INTN Count, UINTN Character, UINTN Width);
