// The interrupt flag (EFLAGS bit 9): read, mask, unmask, save-and-mask and restore.
#include "Library/BaseLib.h"

namespace {
constexpr UINTN EflagsInterruptFlag = 0x200;
}

UINTN ReadEflags(VOID) { return PlatformReadEflags(); }

BOOLEAN InterruptsEnabled(VOID) { return (ReadEflags() & EflagsInterruptFlag) != 0 ? TRUE : FALSE; }

VOID MaskInterrupts(VOID) { PlatformDisableInterrupts(); }

VOID UnmaskInterrupts(VOID) { PlatformEnableInterrupts(); }

BOOLEAN SaveAndMaskInterrupts(VOID) {
  const BOOLEAN Enabled = InterruptsEnabled();
  MaskInterrupts();
  return Enabled;
}

BOOLEAN RestoreInterruptState(BOOLEAN InterruptState) {
  // Masks again when the saved state was masked, so nested brackets restore exactly.
  if (InterruptState) {
    UnmaskInterrupts();
  } else {
    MaskInterrupts();
  }
  return InterruptState;
}
