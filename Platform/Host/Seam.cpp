// The platform seam on the host: each function forwards to the current simulated machine.
#include "Platform/Seam.h"

#include "Platform/Host/Machine.h"

using zarn::host::Machine;

extern "C" {

VOID PlatformCpuid(UINT32 Leaf, UINT32 *Eax, UINT32 *Ebx, UINT32 *Ecx, UINT32 *Edx) {
  const zarn::host::CpuidAnswer a = Machine::current().cpu.cpuid(Leaf);
  // The contract promises valid pointers; a null one is skipped rather than written through.
  if (Eax) *Eax = a.eax;
  if (Ebx) *Ebx = a.ebx;
  if (Ecx) *Ecx = a.ecx;
  if (Edx) *Edx = a.edx;
}

VOID PlatformReadIdtr(VOID *Record) {
  const Machine &m = Machine::current();
  const IdtrRecord idtr{m.cpu.idtLimit(), m.cpu.idtBase()};
  __builtin_memcpy(Record, &idtr, sizeof idtr);
}

UINTN PlatformReadEflags(VOID) { return static_cast<UINTN>(Machine::current().cpu.eflags()); }
VOID PlatformDisableInterrupts(VOID) { Machine::current().cpu.setInterruptFlag(false); }
VOID PlatformEnableInterrupts(VOID) { Machine::current().cpu.setInterruptFlag(true); }

UINT64 PlatformReadMm0(VOID) { return Machine::current().cpu.readMm0(); }
VOID PlatformWriteMm0(UINT64 Value) { Machine::current().cpu.writeMm0(Value); }

VOID PlatformBreakpoint(VOID) {
  Machine &m = Machine::current();
  m.cpu.breakpoint(m.io.trace().size());
}

UINT8 PlatformIoRead8(UINT16 Port) { return static_cast<UINT8>(Machine::current().io.read(Port, 1)); }
UINT16 PlatformIoRead16(UINT16 Port) { return static_cast<UINT16>(Machine::current().io.read(Port, 2)); }
UINT32 PlatformIoRead32(UINT16 Port) { return Machine::current().io.read(Port, 4); }
VOID PlatformIoWrite8(UINT16 Port, UINT8 Value) { Machine::current().io.write(Port, 1, Value); }
VOID PlatformIoWrite16(UINT16 Port, UINT16 Value) { Machine::current().io.write(Port, 2, Value); }
VOID PlatformIoWrite32(UINT16 Port, UINT32 Value) { Machine::current().io.write(Port, 4, Value); }

UINT8 PlatformMmioRead8(UINTN Address) { return Machine::current().mmio.read8(Address); }
VOID PlatformMmioWrite8(UINTN Address, UINT8 Value) { Machine::current().mmio.write8(Address, Value); }

VOID PlatformPause(volatile UINT32 *LoopFlag) { Machine::current().cpu.pause(LoopFlag); }

VOID *PlatformPhysicalToPointer(UINT64 Address, UINT64 Length) {
  return Machine::current().memory.pointer(Address, Length);
}

VOID PlatformConstructorDone(const CHAR8 *Name, EFI_STATUS Status) {
  Machine::current().recordConstructor(Name ? Name : "", Status);
}

}  // extern "C"
