// Port I/O of 8, 16 and 32 bits, the port read-modify-write helpers and single-byte MMIO access.
// Every access goes through the platform seam as one access of its width.
#include "Library/BaseLib.h"
#include "Library/DebugLib.h"
#include "Library/IoLib.h"
#include "Platform/Seam.h"

UINT8 PortRead8(UINTN Port) { return PlatformIoRead8(static_cast<UINT16>(Port)); }

UINT8 PortWrite8(UINTN Port, UINT8 Value) {
  PlatformIoWrite8(static_cast<UINT16>(Port), Value);
  return Value;
}

// A misaligned port is reported and then used as given: the access still happens.
UINT16 PortRead16(UINTN Port) {
  ASSERT((Port & 1) == 0);
  return PlatformIoRead16(static_cast<UINT16>(Port));
}

UINT16 PortWrite16(UINTN Port, UINT16 Value) {
  ASSERT((Port & 1) == 0);
  PlatformIoWrite16(static_cast<UINT16>(Port), Value);
  return Value;
}

UINT32 PortRead32(UINTN Port) {
  ASSERT((Port & 3) == 0);
  return PlatformIoRead32(static_cast<UINT16>(Port));
}

UINT32 PortWrite32(UINTN Port, UINT32 Value) {
  ASSERT((Port & 3) == 0);
  PlatformIoWrite32(static_cast<UINT16>(Port), Value);
  return Value;
}

UINT8 PortOr8(UINTN Port, UINT8 OrData) { return PortWrite8(Port, static_cast<UINT8>(PortRead8(Port) | OrData)); }

UINT16 PortOr16(UINTN Port, UINT16 OrData) {
  return PortWrite16(Port, static_cast<UINT16>(PortRead16(Port) | OrData));
}

UINT16 PortAnd16(UINTN Port, UINT16 AndData) {
  return PortWrite16(Port, static_cast<UINT16>(PortRead16(Port) & AndData));
}

// The barriers keep the compiler from merging or moving the register access; no fence is needed.
UINT8 MmioByteRead(UINTN Address) {
  CompilerBarrier();
  const UINT8 Value = PlatformMmioRead8(Address);
  CompilerBarrier();
  return Value;
}

UINT8 MmioByteWrite(UINTN Address, UINT8 Value) {
  CompilerBarrier();
  PlatformMmioWrite8(Address, Value);
  CompilerBarrier();
  return Value;
}
