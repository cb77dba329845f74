// IA32 checks that the host build cannot make: the 32-bit range checks of the memory routines at the top of
// the address space, the 32-bit argument slots of the print engine, the SIDT image and the services-table
// pointer cell, and the layouts of the services table and the accessor table in memory. Each check writes
// one record "T <check> <1 pass, 0 fail> <detail>".
//
// The memory routines are tested on real top-of-address-space linear addresses without writing flash:
// paging maps the last 4 KiB page (0xFFFFF000) to a RAM copy of it for the duration of the check.
#include <stdarg.h>

#include "Guid/ZarnGuids.h"
#include "Library/BaseMemoryLib.h"
#include "Library/PeiServicesLib.h"
#include "Library/PrintLib.h"
#include "Platform/Ia32/Boot/DebugConsole.h"
#include "Platform/Ia32/Boot/Foundation.h"
#include "Platform/Seam.h"
#include "Ppi/QuilAccessor.h"

namespace {

constexpr UINT32 TopPage = 0xFFFFF000u;
constexpr UINT32 Cr0Paging = 0x80000000u;
constexpr UINT32 Cr4PageSizeExtensions = 0x00000010u;
constexpr UINT32 CpuidPse = 0x00000008u;  // leaf 1 EDX

BOOLEAN SameText(const CHAR8 *A, const CHAR8 *B) {
  if (A == nullptr || B == nullptr) {
    return A == B;
  }
  while (*A != '\0' && *A == *B) {
    A++;
    B++;
  }
  return *A == *B;
}

VOID Report(const CHAR8 *Check, BOOLEAN Passed, const CHAR8 *Detail) {
  ConsoleRecord(BootRecordTest);
  ConsoleText(Check);
  ConsoleHex(Passed ? 1 : 0);
  ConsoleStringHex(Detail);
  ConsoleEnd();
}

UINT8 *At(UINT32 Address) { return reinterpret_cast<UINT8 *>(static_cast<UINTN>(Address)); }

// Address 0, where a wrapped range would continue. Hidden from the compiler, which would take a read
// through a null pointer for a fault.
volatile UINT8 *AddressZero() {
  UINTN Zero = 0;
  __asm__("" : "+r"(Zero));
  return reinterpret_cast<volatile UINT8 *>(Zero);
}

// ---- Memory routines at the top of the address space --------------------------------------------------

struct ExpectedReport {
  const CHAR8 *Source;
  const CHAR8 *Expression;  // null: no report expected
};

// The reports made since the last Reset() are exactly the expected one (or none).
class ReportCheck {
 public:
  ReportCheck() { State().AssertCount = 0; }
  BOOLEAN Matches(const ExpectedReport &Expected) const {
    const BootState &S = State();
    if (Expected.Expression == nullptr) {
      return S.AssertCount == 0;
    }
    return S.AssertCount == 1 && SameText(S.Asserts[0].Source, Expected.Source) &&
           SameText(S.Asserts[0].Expression, Expected.Expression);
  }
};

VOID EnablePagingWithTopPageInRam() {
  // The RAM page starts as a copy of the flash page, so the GDT and entry code read the same through it.
  for (UINT32 Index = 0; Index < 4096; Index++) {
    At(BootPagingTopPage)[Index] = At(TopPage)[Index];
  }
  UINT32 *Directory = reinterpret_cast<UINT32 *>(static_cast<UINTN>(BootPagingDirectory));
  UINT32 *Table = reinterpret_cast<UINT32 *>(static_cast<UINTN>(BootPagingTable));
  for (UINT32 Index = 0; Index < 1023; Index++) {
    Directory[Index] = (Index << 22) | 0x83;  // 4 MiB identity page, present, writable
  }
  Directory[1023] = BootPagingTable | 0x03;
  for (UINT32 Index = 0; Index < 1023; Index++) {
    Table[Index] = (0xFFC00000u + (Index << 12)) | 0x03;
  }
  Table[1023] = BootPagingTopPage | 0x03;
  UINT32 Cr4;
  __asm__ __volatile__("movl %%cr4, %0" : "=r"(Cr4));
  __asm__ __volatile__("movl %0, %%cr4" : : "r"(Cr4 | Cr4PageSizeExtensions) : "memory");
  __asm__ __volatile__("movl %0, %%cr3" : : "r"(BootPagingDirectory) : "memory");
  UINT32 Cr0;
  __asm__ __volatile__("movl %%cr0, %0" : "=r"(Cr0));
  __asm__ __volatile__("movl %0, %%cr0" : : "r"(Cr0 | Cr0Paging) : "memory");
}

VOID DisablePaging() {
  UINT32 Cr0;
  __asm__ __volatile__("movl %%cr0, %0" : "=r"(Cr0));
  __asm__ __volatile__("movl %0, %%cr0" : : "r"(Cr0 & ~Cr0Paging) : "memory");
  __asm__ __volatile__("movl %%cr3, %%eax\n\tmovl %%eax, %%cr3" : : : "eax", "memory");
}

constexpr ExpectedReport NoReport = {nullptr, nullptr};
constexpr ExpectedReport CopyDestination = {"MdePkg/Library/BaseMemoryLibRepStr/CopyMemWrapper",
                                            "(Length - 1) <= (0xFFFFFFFF - (UINTN)DestinationBuffer)"};
constexpr ExpectedReport CopySource = {"MdePkg/Library/BaseMemoryLibRepStr/CopyMemWrapper",
                                       "(Length - 1) <= (0xFFFFFFFF - (UINTN)SourceBuffer)"};
constexpr ExpectedReport ClearRange = {"MdePkg/Library/BaseMemoryLibRepStr/ZeroMemWrapper",
                                       "Length <= (0xFFFFFFFF - (UINTN)Buffer + 1)"};

// The last bytes of the address space (through the RAM page) and a RAM area, set to known values.
UINT8 *Top() { return At(0xFFFFFFF8u); }  // 8 bytes: 0xFFFFFFF8..0xFFFFFFFF
UINT8 *Scratch() { return At(BootSelfTestScratch); }

VOID Fill(UINT8 *To, UINT8 First, UINT32 Length) {
  for (UINT32 Index = 0; Index < Length; Index++) {
    To[Index] = static_cast<UINT8>(First + Index);
  }
}

BOOLEAN Holds(const UINT8 *From, UINT8 First, UINT32 Length, UINT8 Step) {
  for (UINT32 Index = 0; Index < Length; Index++) {
    if (From[Index] != static_cast<UINT8>(First + Step * Index)) {
      return FALSE;
    }
  }
  return TRUE;
}

BOOLEAN Zero(const UINT8 *From, UINT32 Length) { return Holds(From, 0, Length, 0); }

struct RangeCase {
  const CHAR8 *Name;
  UINT32 Length;
  UINT8 Operation;  // 0: copy to the top, 1: copy from the top, 2: clear at the top
  ExpectedReport Expected;
};

// A 6-byte range at 0xFFFFFFFA ends exactly at the top: accepted and done. One byte more would wrap:
// reported, and nothing is written anywhere.
constexpr RangeCase RangeCases[] = {
    {"copymem-to-top-6", 6, 0, NoReport},      {"copymem-to-top-7", 7, 0, CopyDestination},
    {"copymem-from-top-6", 6, 1, NoReport},    {"copymem-from-top-7", 7, 1, CopySource},
    {"clearmem-top-6", 6, 2, NoReport},         {"clearmem-top-7", 7, 2, ClearRange},
};

BOOLEAN RunRangeCase(const RangeCase &C) {
  Fill(Top(), 0x10, 8);      // 0xFFFFFFF8.. = 10 11 12 13 14 15 16 17
  Fill(Scratch(), 0x40, 16);  // source / target in RAM = 40 41 ...
  const UINT8 Low = AddressZero()[0];
  VOID *TopRange = At(0xFFFFFFFAu);
  const ReportCheck Reports;
  BOOLEAN Done = FALSE;
  switch (C.Operation) {
    case 0:
      CopyMem(TopRange, Scratch(), C.Length);
      // Accepted: the top six bytes now hold the source; refused: the top is as it was.
      Done = C.Length == 6 ? Holds(Top(), 0x10, 2, 1) && Holds(Top() + 2, 0x40, 6, 1) : Holds(Top(), 0x10, 8, 1);
      break;
    case 1:
      CopyMem(Scratch(), TopRange, C.Length);
      Done = C.Length == 6 ? Holds(Scratch(), 0x12, 6, 1) && Holds(Scratch() + 6, 0x46, 10, 1)
                           : Holds(Scratch(), 0x40, 16, 1);
      break;
    default:
      ClearMem(TopRange, C.Length);
      Done = C.Length == 6 ? Holds(Top(), 0x10, 2, 1) && Zero(Top() + 2, 6) : Holds(Top(), 0x10, 8, 1);
      break;
  }
  return Done && Reports.Matches(C.Expected) && AddressZero()[0] == Low;
}

VOID CheckMemoryRoutinesAtTop() {
  UINT32 Eax;
  UINT32 Ebx;
  UINT32 Ecx;
  UINT32 Edx;
  PlatformCpuid(1, &Eax, &Ebx, &Ecx, &Edx);
  if ((Edx & CpuidPse) == 0) {
    Report("memory-routines-at-top", FALSE, "the processor has no 4 MiB pages");
    return;
  }
  EnablePagingWithTopPageInRam();
  BOOLEAN Results[sizeof RangeCases / sizeof RangeCases[0]];
  for (UINTN Index = 0; Index < sizeof RangeCases / sizeof RangeCases[0]; Index++) {
    Results[Index] = RunRangeCase(RangeCases[Index]);
  }
  DisablePaging();
  State().AssertCount = 0;
  for (UINTN Index = 0; Index < sizeof RangeCases / sizeof RangeCases[0]; Index++) {
    Report(RangeCases[Index].Name, Results[Index], RangeCases[Index].Expected.Expression);
  }
}

// ---- Print engine argument slots ----------------------------------------------------------------------

UINTN FormatList(CHAR8 *Buffer, UINTN Size, const CHAR8 *Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  const UINTN Length = AsciiVFormat(Buffer, Size, Format, Arguments);
  va_end(Arguments);
  return Length;
}

// The list as laid out by this compiler: a 64-bit value takes two 32-bit slots, low half first.
BOOLEAN SlotsOf(UINT32 First, ...) {
  va_list Arguments;
  va_start(Arguments, First);
  const UINT32 *Slot = reinterpret_cast<const UINT32 *>(Arguments);
  const BOOLEAN Laid = Slot[0] == 0x55667788u && Slot[1] == 0x11223344u && Slot[2] == 0xCAFEu;
  va_end(Arguments);
  return Laid && First == 1;
}

VOID CheckPrintSlots() {
  Report("varargs-64bit-two-slots", SlotsOf(1, 0x1122334455667788ull, 0xCAFEu), "low half first, then the next");

  CHAR8 Buffer[64];
  AsciiFormat(Buffer, sizeof Buffer, "%lx|%d|%ld|%a", 0xAABBCCDD11223344ull, 7, -5ll, "end");
  Report("print-64bit-then-32bit", SameText(Buffer, "AABBCCDD11223344|7|-5|end"), Buffer);
  // Without 'l' a conversion takes one slot: a 64-bit value feeds the low half to the first and the
  // high half to the next (the module messages pass 64-bit values to "%08x" and rely on this).
  FormatList(Buffer, sizeof Buffer, "%x %x", 0x0000000500000007ull);
  Report("print-32bit-from-64bit-slots", SameText(Buffer, "7 5"), Buffer);
  FormatList(Buffer, sizeof Buffer, "0x%08x 0x%08x", 0x000000000ABCDEF1ull);
  Report("print-hi-lo-message-slots", SameText(Buffer, "0x0ABCDEF1 0x00000000"), Buffer);
}

// ---- Services table, IDTR image and the pointer cell ---------------------------------------------------

VOID CheckServicesTable() {
  const BootState &S = State();
  UINT8 Image[8];
  for (UINT8 &Byte : Image) {
    Byte = 0xA5;
  }
  PlatformReadIdtr(Image);
  const UINT16 Limit = static_cast<UINT16>(Image[0] | Image[1] << 8);
  const UINT32 Base = static_cast<UINT32>(Image[2] | Image[3] << 8 | Image[4] << 16 | static_cast<UINT32>(Image[5]) << 24);
  const BOOLEAN SixBytes = Image[6] == 0xA5 && Image[7] == 0xA5;
  Report("sidt-six-byte-image",
         SixBytes && Limit == sizeof(S.Idt) - 1 && Base == static_cast<UINT32>(reinterpret_cast<UINTN>(&S.Idt[0])),
         "limit at 0, base at 2, nothing past byte 5");

  const UINT32 Cell = *reinterpret_cast<const UINT32 *>(static_cast<UINTN>(Base - 4));
  const BOOLEAN CellHolds = Cell == static_cast<UINT32>(reinterpret_cast<UINTN>(FoundationServices()));
  Report("services-pointer-cell", CellHolds && ReadPeiServicesTablePointer() == FoundationServices(),
         "IDT base - 4 holds the services pointer; the library reads it back");

  const UINT8 *Table = reinterpret_cast<const UINT8 *>(&S.Table);
  const auto Word = [Table](UINT32 Offset) { return *reinterpret_cast<const UINT32 *>(Table + Offset); };
  const auto Address = [](auto Function) { return static_cast<UINT32>(reinterpret_cast<UINTN>(Function)); };
  const BOOLEAN Layout = Word(8) == S.Blob->Revision && Word(12) == 56 && Word(24) == Address(&BootInstallPpi) &&
                         Word(32) == Address(&BootLocatePpi) && Word(48) == Address(&BootGetHobList) &&
                         Word(52) == Address(&BootCreateHob);
  Report("services-table-layout", Layout, "Revision at 8, InstallPpi 24, LocatePpi 32, GetHobList 48, CreateHob 52");
}

BOOLEAN Inside(const VOID *Pointer, UINT32 Base, UINT32 Size) {
  const UINT32 Address = static_cast<UINT32>(reinterpret_cast<UINTN>(Pointer));
  return Address >= Base && Address - Base < Size;
}

const BootPpiRecord *FindPpi(const EFI_GUID &Guid) {
  const BootState &S = State();
  for (UINT32 Index = 0; Index < S.PpiCount; Index++) {
    const UINT8 *A = reinterpret_cast<const UINT8 *>(&S.Ppis[Index].Guid);
    const UINT8 *B = reinterpret_cast<const UINT8 *>(&Guid);
    BOOLEAN Same = TRUE;
    for (UINTN Byte = 0; Byte < sizeof(EFI_GUID); Byte++) {
      Same = Same && A[Byte] == B[Byte];
    }
    if (Same) {
      return &S.Ppis[Index];
    }
  }
  return nullptr;
}

}  // namespace

VOID SelfTestBeforeDispatch(VOID) {
  CheckServicesTable();
  CheckPrintSlots();
  CheckMemoryRoutinesAtTop();
}

// The descriptors and tables the images installed are their own read-only data, laid out for IA32.
VOID SelfTestAccessorTable(const BootBlobHeader *Blob) {
  const BootPpiRecord *Accessor = FindPpi(gZarnQuilAccessorPpiGuid);
  BOOLEAN Layout = Accessor != nullptr;
  if (Layout) {
    const UINT32 Base = Blob->ImageBase[1];
    const UINT32 Size = Blob->ImageSize[1];
    const EFI_PEI_PPI_DESCRIPTOR *D = Accessor->Descriptor;
    Layout = Inside(D, Base, Size) && D->Flags == 0x80000010u && Inside(D->Guid, Base, Size) &&
             Inside(D->Ppi, Base, Size) && D->Ppi == Accessor->Ppi;
    const UINT32 *Slots = static_cast<const UINT32 *>(Accessor->Ppi);
    for (UINT32 Slot = 0; Layout && Slot < sizeof(ZARN_QUIL_ACCESSOR_PPI) / sizeof(UINT32); Slot++) {
      Layout = Inside(reinterpret_cast<const VOID *>(static_cast<UINTN>(Slots[Slot])), Base, Size);
    }
    // Slot 11 (byte 44) answers 8 without a lookup.
    UINT8 Value = 0xA5;
    const auto Fixed = reinterpret_cast<QUIL_GET_INSTANCE_BYTE>(static_cast<UINTN>(Slots[11]));
    Layout = Layout && Fixed(0, &Value) == EFI_SUCCESS && Value == 8;
  }
  Report("accessor-table-layout", Layout, "twenty 32-bit pointers into Quilkeep; slot 11 at byte 44 answers 8");

  const BootPpiRecord *Ready = FindPpi(gMemoryHobsReadyPpiGuid);
  BOOLEAN ReadyLayout = Ready != nullptr;
  if (ReadyLayout) {
    const UINT32 Base = Blob->ImageBase[0];
    const UINT32 Size = Blob->ImageSize[0];
    const EFI_PEI_PPI_DESCRIPTOR *D = Ready->Descriptor;
    ReadyLayout = Inside(D, Base, Size) && D->Flags == 0x80000010u && Inside(D->Ppi, Base, Size) &&
                  *static_cast<const UINT32 *>(D->Ppi) == 0x400;
  }
  Report("completion-ppi-layout", ReadyLayout, "descriptor and 0x00000400 word in Dramatlas's image");
}
