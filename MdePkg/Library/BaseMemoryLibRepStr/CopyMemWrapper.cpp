// Memory copy that is correct for overlapping ranges: downward byte by byte when the destination starts
// inside the source range, upward in 4-byte units and a byte tail otherwise.
#include "Library/BaseMemoryLib.h"
#include "Library/DebugLib.h"

namespace {

// The last byte address; the reported texts spell it as the IA32 value.
constexpr UINTN AddressSpaceTop = ~static_cast<UINTN>(0);

struct __attribute__((packed, may_alias)) Unit32 {
  UINT32 Value;
};

constexpr BOOLEAN RangeFits(UINTN Start, UINTN Length) { return (Length - 1) <= (AddressSpaceTop - Start); }

}  // namespace

VOID *CopyMem(VOID *DestinationBuffer, const VOID *SourceBuffer, UINTN Length) {
  if (Length == 0) {
    return DestinationBuffer;
  }
  const UINTN Destination = reinterpret_cast<UINTN>(DestinationBuffer);
  const UINTN Source = reinterpret_cast<UINTN>(SourceBuffer);
  ASSERT_TEXT(RangeFits(Destination, Length), "(Length - 1) <= (0xFFFFFFFF - (UINTN)DestinationBuffer)");
  ASSERT_TEXT(RangeFits(Source, Length), "(Length - 1) <= (0xFFFFFFFF - (UINTN)SourceBuffer)");
  // A range that wraps past the top is reported above and nothing is copied; neither is anything
  // copied to or from a null buffer.
  if (!RangeFits(Destination, Length) || !RangeFits(Source, Length) || DestinationBuffer == nullptr ||
      SourceBuffer == nullptr || Destination == Source) {
    return DestinationBuffer;
  }

  UINT8 *To = static_cast<UINT8 *>(DestinationBuffer);
  const UINT8 *From = static_cast<const UINT8 *>(SourceBuffer);
  if (Source < Destination && Destination <= Source + Length - 1) {
    // The destination starts inside the source: copy from the last byte down so no source byte is
    // overwritten before it is read.
    for (UINTN Index = Length; Index != 0; Index--) {
      To[Index - 1] = From[Index - 1];
    }
    return DestinationBuffer;
  }

  // Upward: each unit is read whole before it is written, which keeps a destination below an
  // overlapping source correct.
  const UINTN Units = Length / 4;
  for (UINTN Index = 0; Index < Units; Index++) {
    const UINT32 Value = reinterpret_cast<const Unit32 *>(From)->Value;
    reinterpret_cast<Unit32 *>(To)->Value = Value;
    From += 4;
    To += 4;
  }
  for (UINTN Index = 0; Index < (Length & 3); Index++) {
    To[Index] = From[Index];
  }
  return DestinationBuffer;
}
