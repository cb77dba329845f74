// The platform seam as real IA32 instructions, for code running in 32-bit flat protected mode.
#include "Platform/Seam.h"

#include "Platform/Ia32/Boot/ConstructorRecord.h"

extern "C" {

VOID PlatformCpuid(UINT32 Leaf, UINT32 *Eax, UINT32 *Ebx, UINT32 *Ecx, UINT32 *Edx) {
  UINT32 A;
  UINT32 B;
  UINT32 C;
  UINT32 D;
  __asm__ __volatile__("cpuid" : "=a"(A), "=b"(B), "=c"(C), "=d"(D) : "a"(Leaf));
  *Eax = A;
  *Ebx = B;
  *Ecx = C;
  *Edx = D;
}

VOID PlatformReadIdtr(VOID *Record) {
  __asm__ __volatile__("sidt %0" : "=m"(*static_cast<IdtrRecord *>(Record)));
}

UINTN PlatformReadEflags(VOID) {
  UINTN Eflags;
  __asm__ __volatile__("pushfl\n\tpopl %0" : "=r"(Eflags));
  return Eflags;
}

VOID PlatformDisableInterrupts(VOID) { __asm__ __volatile__("cli" ::: "memory"); }

VOID PlatformEnableInterrupts(VOID) { __asm__ __volatile__("sti" ::: "memory"); }

// EMMS after each access returns the x87 tag word to empty, so later floating-point code is unaffected.
UINT64 PlatformReadMm0(VOID) {
  UINT64 Value;
  __asm__ __volatile__("movq %%mm0, %0\n\temms" : "=m"(Value));
  return Value;
}

VOID PlatformWriteMm0(UINT64 Value) { __asm__ __volatile__("movq %0, %%mm0\n\temms" : : "m"(Value)); }

VOID PlatformBreakpoint(VOID) { __asm__ __volatile__("int3" ::: "memory"); }

UINT8 PlatformIoRead8(UINT16 Port) {
  UINT8 Value;
  __asm__ __volatile__("inb %w1, %b0" : "=a"(Value) : "Nd"(Port) : "memory");
  return Value;
}

UINT16 PlatformIoRead16(UINT16 Port) {
  UINT16 Value;
  __asm__ __volatile__("inw %w1, %w0" : "=a"(Value) : "Nd"(Port) : "memory");
  return Value;
}

UINT32 PlatformIoRead32(UINT16 Port) {
  UINT32 Value;
  __asm__ __volatile__("inl %w1, %0" : "=a"(Value) : "Nd"(Port) : "memory");
  return Value;
}

VOID PlatformIoWrite8(UINT16 Port, UINT8 Value) {
  __asm__ __volatile__("outb %b0, %w1" : : "a"(Value), "Nd"(Port) : "memory");
}

VOID PlatformIoWrite16(UINT16 Port, UINT16 Value) {
  __asm__ __volatile__("outw %w0, %w1" : : "a"(Value), "Nd"(Port) : "memory");
}

VOID PlatformIoWrite32(UINT16 Port, UINT32 Value) {
  __asm__ __volatile__("outl %0, %w1" : : "a"(Value), "Nd"(Port) : "memory");
}

UINT8 PlatformMmioRead8(UINTN Address) { return *reinterpret_cast<volatile UINT8 *>(Address); }

VOID PlatformMmioWrite8(UINTN Address, UINT8 Value) { *reinterpret_cast<volatile UINT8 *>(Address) = Value; }

// The memory clobber makes the caller read *LoopFlag again on every turn; only a debugger writes it.
VOID PlatformPause(volatile UINT32 *LoopFlag) {
  (VOID)LoopFlag;
  __asm__ __volatile__("pause" ::: "memory");
}

VOID *PlatformPhysicalToPointer(UINT64 Address, UINT64 Length) {
  constexpr UINT64 FourGiB = 0x100000000ull;
  if (Address >= FourGiB || Length > FourGiB - Address) {
    return nullptr;
  }
  return reinterpret_cast<VOID *>(static_cast<UINTN>(Address));
}

// A record on the debug console port, which the emulator boot captures; a board without a debug
// console there ignores the writes.
VOID PlatformConstructorDone(const CHAR8 *Name, EFI_STATUS Status) { BootConsoleConstructorRecord(Name, Status); }

}  // extern "C"
