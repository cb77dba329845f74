// 64-bit logical right shift built from 32-bit halves, so a 32-bit processor needs no helper call.
#include "Library/BaseLib.h"
#include "Library/DebugLib.h"

UINT64 RShiftU64(UINT64 Operand, UINTN Count) {
  ASSERT(Count < 64);
  // An out-of-range count is reported above and then taken modulo 64.
  const UINT32 Shift = static_cast<UINT32>(Count) & 63u;
  const UINT32 High = static_cast<UINT32>(Operand >> 32);
  const UINT32 Low = static_cast<UINT32>(Operand);
  if (Shift >= 32) {
    return static_cast<UINT64>(High >> (Shift - 32));
  }
  if (Shift == 0) {
    return Operand;
  }
  const UINT32 NewLow = (Low >> Shift) | (High << (32 - Shift));
  return (static_cast<UINT64>(High >> Shift) << 32) | NewLow;
}
