// The constructor record the images' seam writes to the debug console port: "C <name> <status>\n".
// Only the images see their constructors; the emulator captures the port, and a board without a debug
// console at that port ignores the writes. No state, no data: it runs from flash.
#pragma once

#include "Platform/Ia32/Boot/BootProtocol.h"
#include "Platform/Seam.h"

inline VOID BootConsoleConstructorRecord(const CHAR8 *Name, EFI_STATUS Status) {
  PlatformIoWrite8(BootDebugConsolePort, static_cast<UINT8>(BootRecordConstructor));
  PlatformIoWrite8(BootDebugConsolePort, ' ');
  // A name is an identifier; anything else would break the record's fields, so it is left out.
  for (const CHAR8 *At = Name; At != nullptr && *At != '\0'; At++) {
    const CHAR8 C = *At;
    const BOOLEAN Plain = (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') || C == '_';
    PlatformIoWrite8(BootDebugConsolePort, Plain ? static_cast<UINT8>(C) : static_cast<UINT8>('_'));
  }
  PlatformIoWrite8(BootDebugConsolePort, ' ');
  for (INT32 Shift = 28; Shift >= 0; Shift -= 4) {
    const UINT32 Digit = (Status >> Shift) & 0xF;
    PlatformIoWrite8(BootDebugConsolePort, static_cast<UINT8>(Digit < 10 ? '0' + Digit : 'a' + Digit - 10));
  }
  PlatformIoWrite8(BootDebugConsolePort, '\n');
}
