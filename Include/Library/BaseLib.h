// Processor-level and memory routines shared by both deliverables.
#pragma once

#include "Platform/Seam.h"
#include "ZarnBase.h"

UINT16 UnalignedRead16(const VOID *Buffer);
UINT32 UnalignedRead32(const VOID *Buffer);
UINT64 UnalignedRead64(const VOID *Buffer);
UINT64 UnalignedWrite64(VOID *Buffer, UINT64 Value);

UINT64 RShiftU64(UINT64 Operand, UINTN Count);
UINT64 DivU64x32Remainder(UINT64 Dividend, UINT32 Divisor, UINT32 *Remainder);

UINTN AsciiStrLength(const CHAR8 *String);

UINT32 ReadCpuid(UINT32 Index, UINT32 *Eax, UINT32 *Ebx, UINT32 *Ecx, UINT32 *Edx);
VOID ReadIdtr(IdtrRecord *Idtr);

UINTN ReadEflags(VOID);
BOOLEAN InterruptsEnabled(VOID);
VOID MaskInterrupts(VOID);
VOID UnmaskInterrupts(VOID);
BOOLEAN SaveAndMaskInterrupts(VOID);
BOOLEAN RestoreInterruptState(BOOLEAN InterruptState);

// Keeps the compiler from moving memory accesses across the call; no instruction, no fence.
inline VOID CompilerBarrier(VOID) { __asm__ __volatile__("" ::: "memory"); }
