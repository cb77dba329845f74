// Unsigned 64-by-32 division in two 32-bit steps.
#include "Library/BaseLib.h"
#include "Library/DebugLib.h"

UINT64 DivU64x32Remainder(UINT64 Dividend, UINT32 Divisor, UINT32 *Remainder) {
  ASSERT(Divisor != 0);
  if (Divisor == 0) {
    // Reported above; no division is made. Quotient 0 and remainder 0 end any digit loop of a caller.
    if (Remainder != nullptr) {
      *Remainder = 0;
    }
    return 0;
  }
  const UINT32 High = static_cast<UINT32>(Dividend >> 32);
  const UINT32 Low = static_cast<UINT32>(Dividend);
  const UINT32 QuotientHigh = High / Divisor;
  const UINT32 Partial = High % Divisor;
  // Partial < Divisor, so the second quotient fits in 32 bits.
  const UINT64 Step = (static_cast<UINT64>(Partial) << 32) | Low;
  const UINT32 QuotientLow = static_cast<UINT32>(Step / Divisor);
  if (Remainder != nullptr) {
    *Remainder = static_cast<UINT32>(Step % Divisor);
  }
  return (static_cast<UINT64>(QuotientHigh) << 32) | QuotientLow;
}
