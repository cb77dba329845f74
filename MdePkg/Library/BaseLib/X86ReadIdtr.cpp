// SIDT into a caller's IdtrRecord.
#include "Library/BaseLib.h"
#include "Library/DebugLib.h"

VOID ReadIdtr(IdtrRecord *Idtr) {
  ASSERT_TEXT(Idtr != nullptr, "Idtr != ((void *) 0)");
  if (Idtr != nullptr) {
    PlatformReadIdtr(Idtr);
  }
}
