// Zero-fill in 4-byte units, then the byte tail.
#include "Library/BaseMemoryLib.h"
#include "Library/DebugLib.h"

namespace {

// The last byte address; the reported text spells it as the IA32 value.
constexpr UINTN AddressSpaceTop = ~static_cast<UINTN>(0);

struct __attribute__((packed, may_alias)) Unit32 {
  UINT32 Value;
};

// In UINTN arithmetic, so a null Buffer makes the bound wrap to 0 and fail.
constexpr BOOLEAN RangeFits(UINTN Start, UINTN Length) { return Length <= (AddressSpaceTop - Start + 1); }

}  // namespace

VOID *ClearMem(VOID *Buffer, UINTN Length) {
  if (Length == 0) {
    return Buffer;
  }
  const UINTN Start = reinterpret_cast<UINTN>(Buffer);
  ASSERT_TEXT(Buffer != nullptr, "Buffer != ((void *) 0)");
  ASSERT_TEXT(RangeFits(Start, Length), "Length <= (0xFFFFFFFF - (UINTN)Buffer + 1)");
  // Reported above; nothing is written through null or past the top of the address space.
  if (Buffer == nullptr || !RangeFits(Start, Length)) {
    return Buffer;
  }

  UINT8 *To = static_cast<UINT8 *>(Buffer);
  const UINTN Units = Length / 4;
  for (UINTN Index = 0; Index < Units; Index++) {
    reinterpret_cast<Unit32 *>(To)->Value = 0;
    To += 4;
  }
  for (UINTN Index = 0; Index < (Length & 3); Index++) {
    To[Index] = 0;
  }
  return Buffer;
}
