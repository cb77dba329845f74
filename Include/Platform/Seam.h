// The porting contract: the only functions through which firmware reaches the processor and the platform.
// Platform/Ia32 implements them as real instructions; Platform/Host forwards them to the simulated machine
// that the running test or tool has made current. Firmware never asks which one it runs on.
#pragma once

#include "ZarnBase.h"

extern "C" {

// CPUID for Leaf (no sub-leaf); all four result pointers are valid.
VOID PlatformCpuid(UINT32 Leaf, UINT32 *Eax, UINT32 *Ebx, UINT32 *Ecx, UINT32 *Edx);

// SIDT: stores the interrupt descriptor table register at Record (an IdtrRecord: Limit, then Base).
VOID PlatformReadIdtr(VOID *Record);

// The EFLAGS register (bit 9 is the interrupt flag).
UINTN PlatformReadEflags(VOID);

// CLI and STI.
VOID PlatformDisableInterrupts(VOID);
VOID PlatformEnableInterrupts(VOID);

// MOVQ from and to MM0, each followed by EMMS.
UINT64 PlatformReadMm0(VOID);
VOID PlatformWriteMm0(UINT64 Value);

// INT3; returns when execution resumes.
VOID PlatformBreakpoint(VOID);

// IN and OUT of 8, 16 and 32 bits at an I/O port.
UINT8 PlatformIoRead8(UINT16 Port);
UINT16 PlatformIoRead16(UINT16 Port);
UINT32 PlatformIoRead32(UINT16 Port);
VOID PlatformIoWrite8(UINT16 Port, UINT8 Value);
VOID PlatformIoWrite16(UINT16 Port, UINT16 Value);
VOID PlatformIoWrite32(UINT16 Port, UINT32 Value);

// One single-byte access to a memory-mapped register at a physical address.
UINT8 PlatformMmioRead8(UINTN Address);
VOID PlatformMmioWrite8(UINTN Address, UINT8 Value);

// PAUSE, executed once per turn of a dead loop that spins on *LoopFlag. A debugger attached to the
// platform may release the loop by writing a non-zero value to *LoopFlag; nothing else writes it.
VOID PlatformPause(volatile UINT32 *LoopFlag);

// Turns the physical range [Address, Address + Length) into a pointer the code can read through,
// or answers null ("not there") when the platform does not back the whole range. A range that passes
// 4 GiB is never there. On IA32 the pointer is the address itself.
VOID *PlatformPhysicalToPointer(UINT64 Address, UINT64 Length);

}  // extern "C"

// The IDTR image as SIDT stores it: no gap between Limit and Base (6 bytes on IA32).
#pragma pack(push, 1)
struct IdtrRecord {
  UINT16 Limit;
  UINTN Base;
};
#pragma pack(pop)
#if ZARN_IA32
static_assert(sizeof(IdtrRecord) == 6 && offsetof(IdtrRecord, Base) == 2, "IDTR image on IA32");
#endif

extern "C" {
// Tells the platform that a library constructor of the running module returned Status, for its boot
// record. It changes nothing in the firmware's flow; a platform may ignore it.
VOID PlatformConstructorDone(const CHAR8 *Name, EFI_STATUS Status);
}
