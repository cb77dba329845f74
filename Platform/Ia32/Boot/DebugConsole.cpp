#include "Platform/Ia32/Boot/DebugConsole.h"

#include "Platform/Ia32/Boot/BootProtocol.h"
#include "Platform/Seam.h"

namespace {

constexpr CHAR8 HexDigits[] = "0123456789abcdef";

VOID Put(CHAR8 C) { PlatformIoWrite8(BootDebugConsolePort, static_cast<UINT8>(C)); }

VOID PutByte(UINT8 Byte) {
  Put(HexDigits[Byte >> 4]);
  Put(HexDigits[Byte & 0xF]);
}

}  // namespace

VOID ConsoleRecord(CHAR8 Tag) { Put(Tag); }

VOID ConsoleText(const CHAR8 *Text) {
  Put(' ');
  if (Text == nullptr || *Text == '\0') {
    Put('-');
    return;
  }
  for (; *Text != '\0'; Text++) {
    Put(*Text == ' ' || *Text == '\n' ? '_' : *Text);
  }
}

VOID ConsoleHex(UINT64 Value) {
  Put(' ');
  INT32 Shift = 60;
  while (Shift > 0 && ((Value >> Shift) & 0xF) == 0) {
    Shift -= 4;
  }
  for (; Shift >= 0; Shift -= 4) {
    Put(HexDigits[(Value >> Shift) & 0xF]);
  }
}

VOID ConsoleBytes(const VOID *Bytes, UINTN Length) {
  Put(' ');
  if (Bytes == nullptr || Length == 0) {
    Put('-');
    return;
  }
  const UINT8 *At = static_cast<const UINT8 *>(Bytes);
  for (UINTN Index = 0; Index < Length; Index++) {
    PutByte(At[Index]);
  }
}

VOID ConsoleStringHex(const CHAR8 *Text) {
  UINTN Length = 0;
  while (Text != nullptr && Text[Length] != '\0') {
    Length++;
  }
  ConsoleBytes(Text, Length);
}

VOID ConsoleEnd(VOID) { Put('\n'); }
