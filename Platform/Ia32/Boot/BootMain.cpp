// The emulator boot after the switch to protected mode: read the platform blob, start the foundation,
// set the platform up as the scenario describes (UARTs, CMOS, the output block in DRAM, MM0, the
// platform's PPIs, faults), dispatch Dramatlas and then Quilkeep in place from flash, let a later module
// call the accessors, dump everything the host compares, and stop the emulator.
#include "Guid/ZarnGuids.h"
#include "Platform/Ia32/Boot/DebugConsole.h"
#include "Platform/Ia32/Boot/Foundation.h"
#include "Platform/Seam.h"
#include "Ppi/QuilAccessor.h"

namespace {

constexpr UINT16 UartBases[2] = {0x3F8, 0x2F8};
constexpr UINT16 CmosIndexPort = 0x70;
constexpr UINT16 CmosDataPort = 0x71;
constexpr UINT32 CmosBytes = 0x80;  // the emulator's RTC has 128 bytes behind ports 0x70/0x71

// The accessor slots as a caller sees them: input arguments, then out-parameters.
struct SlotShape {
  UINT8 Inputs;
  UINT8 Outputs;
};
constexpr UINT32 AccessorSlotCount = 20;
constexpr SlotShape AccessorSlots[AccessorSlotCount] = {
    {0, 1}, {0, 1}, {0, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {2, 1}, {1, 1}, {1, 2},
    {1, 1}, {1, 1}, {1, 1}, {2, 1}, {1, 1}, {1, 1}, {2, 2}, {1, 1}, {2, 1}, {1, 1},
};
static_assert(sizeof(ZARN_QUIL_ACCESSOR_PPI) == AccessorSlotCount * sizeof(UINT32), "one 32-bit pointer per slot");

[[noreturn]] VOID Fatal(const CHAR8 *Text) {
  ConsoleRecord(BootRecordFatal);
  ConsoleStringHex(Text);
  ConsoleEnd();
  BootExit(BootExitFault);
}

BOOLEAN InsideBlob(const BootBlobHeader *Blob, UINT32 Offset, UINT32 Count, UINT32 Size) {
  return Offset <= Blob->Size && Count <= (Blob->Size - Offset) / Size;
}

// The blob comes from the host tool; a blob that does not hold together stops the boot before anything
// reads past it.
const BootBlobHeader *ReadBlob() {
  const UINT32 Address = BootBlobCell;
  if (Address == 0xFFFFFFFFu || Address > 0xFFFFFFFFu - sizeof(BootBlobHeader)) {
    Fatal("no platform blob in flash");
  }
  const BootBlobHeader *Blob = reinterpret_cast<const BootBlobHeader *>(static_cast<UINTN>(Address));
  if (Blob->Signature != BootBlobSignature || Blob->Version != BootBlobVersion) {
    Fatal("platform blob signature or version wrong");
  }
  if (Blob->Size < sizeof(BootBlobHeader) || Blob->Size - 1 > 0xFFFFFFFFu - Address) {
    Fatal("platform blob size wrong");
  }
  const BootMemoryInfo &M = Blob->MemoryInfo;
  BOOLEAN Fits = InsideBlob(Blob, Blob->CmosOffset, Blob->CmosCount, sizeof(BootCmosByte)) &&
                 InsideBlob(Blob, Blob->FaultOffset, Blob->FaultCount, sizeof(BootFault)) &&
                 InsideBlob(Blob, Blob->AccessorCallOffset, Blob->AccessorCallCount, sizeof(BootAccessorCall)) &&
                 InsideBlob(Blob, M.HoleOffset, M.HoleCount == 0 ? 1 : M.HoleCount, sizeof(HoleMapEntry)) &&
                 Blob->FaultCount <= BootBlobMaxFaults && Blob->AccessorCallCount <= BootBlobMaxAccessorCalls;
  for (UINT32 Array = 0; Array < MEMORY_CONFIG_ARRAY_COUNT; Array++) {
    Fits = Fits && M.ArrayOffset[Array] <= Blob->Size;
  }
  const BootAccessorCall *Calls =
      reinterpret_cast<const BootAccessorCall *>(reinterpret_cast<const UINT8 *>(Blob) + Blob->AccessorCallOffset);
  for (UINT32 Index = 0; Fits && Index < Blob->AccessorCallCount; Index++) {
    Fits = Calls[Index].Slot < AccessorSlotCount;
  }
  if (!Fits) {
    Fatal("platform blob tables outside the blob");
  }
  return Blob;
}

template <typename T>
const T *BlobTable(const BootBlobHeader *Blob, UINT32 Offset) {
  return reinterpret_cast<const T *>(reinterpret_cast<const UINT8 *>(Blob) + Offset);
}

// Every UART starts as the scenario says earlier firmware left it; what it does not say is the 16550's
// power-on value (LCR 0, divisor 0, FIFOs off), as on the host model.
VOID SetUpUarts(const BootBlobHeader *Blob) {
  for (UINT32 Index = 0; Index < 2; Index++) {
    const BootUartSetup &U = Blob->Uart[Index];
    const UINT16 Base = UartBases[Index];
    const UINT16 Divisor = (U.Flags & BootUartSetDivisor) != 0 ? U.Divisor : 0;
    PlatformIoWrite8(Base + 3, 0x80);
    PlatformIoWrite8(Base + 0, static_cast<UINT8>(Divisor));
    PlatformIoWrite8(Base + 1, static_cast<UINT8>(Divisor >> 8));
    PlatformIoWrite8(Base + 3, (U.Flags & BootUartSetLineControl) != 0 ? U.LineControl : 0);
    PlatformIoWrite8(Base + 2, (U.Flags & BootUartSetFifoControl) != 0 ? U.FifoControl : 0);
    PlatformIoWrite8(Base + 1, 0);
  }
}

VOID WriteCmos(const BootBlobHeader *Blob) {
  const BootCmosByte *Bytes = BlobTable<BootCmosByte>(Blob, Blob->CmosOffset);
  for (UINT32 Index = 0; Index < Blob->CmosCount; Index++) {
    if (Bytes[Index].Index < CmosBytes) {
      PlatformIoWrite8(CmosIndexPort, Bytes[Index].Index);
      PlatformIoWrite8(CmosDataPort, Bytes[Index].Value);
    }
  }
}

// As the coprocessor's boot loader does: the block's non-volatile copy in flash goes to its DRAM address.
VOID CopyOutputBlock(const BootBlobHeader *Blob) {
  if ((Blob->Flags & BootBlobOutputBlock) == 0) {
    return;
  }
  const BootOutputBlock &B = Blob->Block;
  if (B.Size == 0 || B.Destination < BootRamEnd || B.Destination > 0xFFFFFFFFull - (B.Size - 1) ||
      B.Source > 0xFFFFFFFFu - (B.Size - 1)) {
    Fatal("output block copy outside the address space");
  }
  const UINT8 *From = reinterpret_cast<const UINT8 *>(static_cast<UINTN>(B.Source));
  UINT8 *To = reinterpret_cast<UINT8 *>(static_cast<UINTN>(B.Destination));
  for (UINT32 Index = 0; Index < B.Size; Index++) {
    To[Index] = From[Index];
  }
}

EFI_STATUS Dispatch(UINT32 Module, UINT32 Image) {
  BootState &S = State();
  const BootBlobHeader *Blob = S.Blob;
  ConsoleRecord(BootRecordDispatch);
  ConsoleText(BootModuleName(Module));
  ConsoleEnd();
  S.RunningModule = Module;
  const UINT32 Arguments[2] = {Blob->ImageBase[Image], static_cast<UINT32>(reinterpret_cast<UINTN>(FoundationServices()))};
  UINT32 Peak = 0;
  const EFI_STATUS Status = BootCallProbed(Blob->ImageEntry[Image], Arguments, 2, &Peak);
  S.RunningModule = BootModulePlatform;
  ConsoleRecord(BootRecordReturn);
  ConsoleText(BootModuleName(Module));
  ConsoleHex(Status);
  ConsoleHex(Peak);
  ConsoleEnd();
  return Status;
}

// A later module: locates the accessor PPI through the platform (not counted, not faulted) and calls the
// requested slots. Every out-parameter is filled with 0xA5 first, so one left untouched shows.
VOID CallAccessors(const BootBlobHeader *Blob) {
  BootState &S = State();
  const auto *Table = static_cast<const UINT32 *>(FoundationLocatePlatformPpi(&gZarnQuilAccessorPpiGuid));
  ConsoleRecord(BootRecordAccessorPpi);
  ConsoleHex(Table != nullptr ? 1 : 0);
  ConsoleEnd();
  if (Table == nullptr) {
    return;
  }
  const BootAccessorCall *Calls = BlobTable<BootAccessorCall>(Blob, Blob->AccessorCallOffset);
  S.RunningModule = BootModuleQuilkeep;
  for (UINT32 Index = 0; Index < Blob->AccessorCallCount; Index++) {
    const BootAccessorCall &Call = Calls[Index];
    const SlotShape Shape = AccessorSlots[Call.Slot];
    UINT8 Out[2][8];
    for (UINT32 Byte = 0; Byte < sizeof Out; Byte++) {
      Out[Byte / 8][Byte % 8] = 0xA5;
    }
    UINT32 Arguments[7];
    UINT32 Count = 0;
    for (UINT32 Input = 0; Input < Shape.Inputs; Input++) {
      Arguments[Count++] = Call.Args[Input];
    }
    for (UINT32 Output = 0; Output < Shape.Outputs; Output++) {
      Arguments[Count++] = static_cast<UINT32>(reinterpret_cast<UINTN>(Out[Output]));
    }
    ConsoleRecord(BootRecordCallStart);
    ConsoleHex(Call.Slot);
    ConsoleEnd();
    UINT32 Peak = 0;
    const EFI_STATUS Status = BootCallProbed(Table[Call.Slot], Arguments, Count, &Peak);
    ConsoleRecord(BootRecordCall);
    ConsoleHex(Call.Slot);
    ConsoleHex(Status);
    ConsoleHex(Peak);
    ConsoleBytes(Out[0], 8);
    ConsoleBytes(Out[1], 8);
    ConsoleEnd();
  }
  S.RunningModule = BootModulePlatform;
}

VOID DumpHobs() {
  const BootState &S = State();
  const UINT8 *Base = reinterpret_cast<const UINT8 *>(static_cast<UINTN>(BootHobListBase));
  const UINT32 Count = S.HobCount < BootMaxHobRecords ? S.HobCount : BootMaxHobRecords;
  for (UINT32 Index = 0; Index < Count; Index++) {
    const BootHobRecord &H = S.Hobs[Index];
    ConsoleRecord(BootRecordHob);
    ConsoleText(BootModuleName(H.Creator));
    ConsoleBytes(Base + H.Offset, H.Length);
    ConsoleEnd();
  }
  // HOBs beyond the records (never with these images) are found by their headers; their creator is
  // not known.
  UINT32 Offset = Count == 0 ? S.HobEnd : S.Hobs[Count - 1].Offset + S.Hobs[Count - 1].Length;
  while (S.HobCount > BootMaxHobRecords && Offset < S.HobEnd) {
    const UINT16 Length = static_cast<UINT16>(Base[Offset + 2] | Base[Offset + 3] << 8);
    if (Length < sizeof(EFI_HOB_GENERIC_HEADER) || Length > S.HobEnd - Offset) {
      break;
    }
    ConsoleRecord(BootRecordHob);
    ConsoleText(nullptr);
    ConsoleBytes(Base + Offset, Length);
    ConsoleEnd();
    Offset += Length;
  }
  ConsoleRecord(BootRecordHob);
  ConsoleText(BootModuleName(BootModulePlatform));
  ConsoleBytes(Base + S.HobEnd, sizeof(EFI_HOB_GENERIC_HEADER));
  ConsoleEnd();
}

VOID DumpPpisAndCalls() {
  const BootState &S = State();
  for (UINT32 Index = 0; Index < S.PpiCount; Index++) {
    ConsoleRecord(BootRecordPpi);
    ConsoleText(BootModuleName(S.Ppis[Index].Installer));
    ConsoleBytes(&S.Ppis[Index].Guid, sizeof(EFI_GUID));
    ConsoleEnd();
  }
  for (UINT32 Index = 0; Index < S.ServiceCount; Index++) {
    const BootServiceSummary &C = S.Services[Index];
    ConsoleRecord(BootRecordService);
    ConsoleText(BootModuleName(C.Module));
    ConsoleHex(C.Service);
    ConsoleHex(C.Calls);
    ConsoleHex(C.Failed);
    ConsoleEnd();
  }
  ConsoleRecord(BootRecordBreakpoints);
  ConsoleHex(S.Breakpoints);
  ConsoleEnd();
}

// The UARTs as the firmware left them: line control, divisor (read with the latch open, then closed
// again) and the interrupt identification with its FIFO bits.
VOID DumpUarts() {
  for (UINT32 Index = 0; Index < 2; Index++) {
    const UINT16 Base = UartBases[Index];
    const UINT8 Lcr = PlatformIoRead8(Base + 3);
    PlatformIoWrite8(Base + 3, Lcr | 0x80);
    const UINT16 Divisor = static_cast<UINT16>(PlatformIoRead8(Base + 0) | PlatformIoRead8(Base + 1) << 8);
    PlatformIoWrite8(Base + 3, Lcr);
    const UINT8 Iir = PlatformIoRead8(Base + 2);
    ConsoleRecord(BootRecordUart);
    ConsoleHex(Index + 1);
    ConsoleHex(Lcr);
    ConsoleHex(Divisor);
    ConsoleHex(Iir);
    ConsoleEnd();
  }
}

VOID DumpCpu() {
  UINT32 Eax;
  UINT32 Ebx;
  UINT32 Ecx;
  UINT32 Edx;
  PlatformCpuid(1, &Eax, &Ebx, &Ecx, &Edx);
  const UINT32 Leaf1Ebx = Ebx;
  PlatformCpuid(0x80000001u, &Eax, &Ebx, &Ecx, &Edx);
  ConsoleRecord(BootRecordCpu);
  ConsoleHex(Leaf1Ebx);
  ConsoleHex(Eax);
  ConsoleEnd();
}

}  // namespace

[[noreturn]] VOID BootExit(UINT8 Code) {
  PlatformIoWrite8(BootExitPort, Code);
  for (;;) {
    __asm__ __volatile__("cli\n\thlt");
  }
}

extern "C" [[noreturn]] VOID BootException(const UINT32 *Frame) {
  ConsoleRecord(BootRecordException);
  ConsoleHex(Frame[0]);
  ConsoleHex(Frame[1]);
  ConsoleHex(Frame[2]);
  const UINT32 Running = State().RunningModule;
  ConsoleText(Running == BootModulePlatform ? nullptr : BootModuleName(Running));
  ConsoleEnd();
  BootExit(BootExitFault);
}

extern "C" [[noreturn]] VOID BootMain(VOID) {
  const BootBlobHeader *Blob = ReadBlob();
  ConsoleRecord(BootRecordStart);
  ConsoleHex(BootProtocolVersion);
  ConsoleEnd();

  FoundationInitialize(Blob);
  SetUpUarts(Blob);
  WriteCmos(Blob);
  CopyOutputBlock(Blob);
  PlatformWriteMm0(Blob->Mm0);
  PlatformModulesInstall(Blob);
  if ((Blob->Flags & BootBlobSelfTest) != 0) {
    SelfTestBeforeDispatch();
  }
  const BootFault *Faults = BlobTable<BootFault>(Blob, Blob->FaultOffset);
  for (UINT32 Index = 0; Index < Blob->FaultCount; Index++) {
    FoundationInjectFault(&Faults[Index]);
  }

  Dispatch(BootModuleDramatlas, 0);
  Dispatch(BootModuleQuilkeep, 1);
  CallAccessors(Blob);
  if ((Blob->Flags & BootBlobSelfTest) != 0) {
    SelfTestAccessorTable(Blob);
  }

  DumpHobs();
  DumpPpisAndCalls();
  DumpUarts();
  DumpCpu();
  ConsoleRecord(BootRecordEnd);
  ConsoleEnd();
  BootExit(BootExitDone);
}
