// Length of a NUL-terminated ASCII string.
#include "Library/BaseLib.h"
#include "Library/DebugLib.h"
#include "Library/PcdLib.h"

UINTN AsciiStrLength(const CHAR8 *String) {
  ASSERT_TEXT(String != nullptr, "String != ((void *) 0)");
  if (String == nullptr) {
    return 0;  // reported above; a missing string has no characters
  }
  UINTN Length = 0;
  for (; *String != '\0'; String++) {
    // A maximum of 0 means no limit. Past the limit each character is reported and still counted.
    if (_gPcd_FixedAtBuild_PcdMaximumAsciiStringLength != 0) {
      ASSERT(Length < _gPcd_FixedAtBuild_PcdMaximumAsciiStringLength);
    }
    Length++;
  }
  return Length;
}
