// Dramatlas module: turns the memory-information PPI's hole map into the memory map HOB, copies the
// memory configuration into its own HOB, and installs the completion PPI once both exist.
//
// The hole map and the configuration come from another module and are not trusted: a map that
// would need more descriptors than the work area holds, that is out of order, overlaps, runs past
// the end of the address space or names an unknown hole type is refused before any HOB exists, and
// an array without a source is refused before its HOB is created.
#include "Mem/Dramatlas/Dramatlas.h"

#include "Guid/ZarnGuids.h"
#include "Library/BaseMemoryLib.h"
#include "Library/DebugLib.h"
#include "Library/HobLib.h"
#include "Library/ModuleMessage.h"

namespace {

constexpr UINT32 MEMORY_HOBS_READY_PPI_VALUE = 0x00000400u;
constexpr UINT32 HOLE_TYPE_MAX = 5;

// The completion PPI: its presence is the signal, the word it points to carries no function.
constexpr UINT32 mMemoryHobsReadyPpi = MEMORY_HOBS_READY_PPI_VALUE;
constexpr EFI_PEI_PPI_DESCRIPTOR mMemoryHobsReadyPpiList = {
    EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST, &gMemoryHobsReadyPpiGuid,
    &mMemoryHobsReadyPpi};

// Little-endian stores and loads at any alignment: HOB data and the PPI's arrays promise none.
inline VOID Store16(UINT8 *Destination, UINT16 Value) {
  Destination[0] = static_cast<UINT8>(Value);
  Destination[1] = static_cast<UINT8>(Value >> 8);
}
inline VOID Store32(UINT8 *Destination, UINT32 Value) {
  Store16(Destination, static_cast<UINT16>(Value));
  Store16(Destination + 2, static_cast<UINT16>(Value >> 16));
}
inline UINT16 Load16(const UINT8 *Source) {
  return static_cast<UINT16>(Source[0] | (static_cast<UINT16>(Source[1]) << 8));
}

inline VOID CopyWord(UINT8 *Destination, const UINT8 *Source) { Store16(Destination, Load16(Source)); }
// Flag and Value only: the byte between them stays as the cleared record has it.
inline VOID CopyFlaggedValue(UINT8 *Destination, const UINT8 *Source) {
  Destination[offsetof(FlaggedValue, Flag)] = Source[offsetof(FlaggedValue, Flag)];
  CopyWord(Destination + offsetof(FlaggedValue, Value), Source + offsetof(FlaggedValue, Value));
}
inline VOID CopyValuePair(UINT8 *Destination, const UINT8 *Source) {
  CopyWord(Destination + offsetof(ValuePair, First), Source + offsetof(ValuePair, First));
  CopyWord(Destination + offsetof(ValuePair, Second), Source + offsetof(ValuePair, Second));
}

enum class ScalarKind : UINT8 { Flagged, Word };
struct ScalarField {
  UINT8 Offset;  // from the start of MemoryConfigScalars, the same in the PPI and in the record
  ScalarKind Kind;
};
constexpr ScalarField ScalarFields[] = {
    {offsetof(MemoryConfigScalars, Scalar0), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar1), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar2), ScalarKind::Word},
    {offsetof(MemoryConfigScalars, Scalar3), ScalarKind::Word},
    {offsetof(MemoryConfigScalars, Scalar4), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar5), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar6), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar7), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar8), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar9), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar10), ScalarKind::Word},
    {offsetof(MemoryConfigScalars, Scalar11), ScalarKind::Word},
    {offsetof(MemoryConfigScalars, Scalar12), ScalarKind::Word},
    {offsetof(MemoryConfigScalars, Scalar13), ScalarKind::Word},
    {offsetof(MemoryConfigScalars, Scalar14), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar15), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar16), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar17), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar18), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar19), ScalarKind::Word},
    {offsetof(MemoryConfigScalars, Scalar20), ScalarKind::Word},
    {offsetof(MemoryConfigScalars, Scalar21), ScalarKind::Flagged},
    {offsetof(MemoryConfigScalars, Scalar22), ScalarKind::Flagged},
};
static_assert(sizeof(ScalarFields) / sizeof(ScalarFields[0]) == 23, "23 settings");

// Array numbers by content, as the layout table orders them.
enum : UINT32 {
  UNIT_WORD_ARRAY = 0,
  ITEM_FLAGGED_ARRAY = 1,
  UNIT_FLAGGED_ARRAY_A = 2,
  UNIT_FLAGGED_ARRAY_B = 3,
  UNIT_PAIR_ARRAY = 4,
  FIRST_ITEM_BYTE_ARRAY = 5,
};

// Bytes of one array: its element size times the counts its mask selects (32-bit arithmetic).
constexpr UINT32 ArraySize(const ConfigArrayLayoutRow &Row, const UINT8 (&Counts)[4]) {
  UINT32 Size = Row.ElementSize;
  for (UINT32 Dimension = 0; Dimension < 4; Dimension++) {
    if ((Row.DimensionMask & (1u << Dimension)) != 0) {
      Size *= Counts[Dimension];
    }
  }
  return Size;
}

VOID SendMessage(const CHAR8 *Format, UINT32 Value) { ZarnModuleMessage(DRAMATLAS_MESSAGE_CLASS, Format, Value); }

// Hi and Lo halves travel as 64-bit arguments whose upper half is 0; the format reads the lower one.
VOID SendHalves(const CHAR8 *HiFormat, const CHAR8 *LoFormat, UINT64 Value) {
  ZarnModuleMessage(DRAMATLAS_MESSAGE_CLASS, HiFormat, static_cast<UINT64>(Value >> 32));
  ZarnModuleMessage(DRAMATLAS_MESSAGE_CLASS, LoFormat, static_cast<UINT64>(static_cast<UINT32>(Value)));
}

VOID SendRangeLines(UINT32 MemRangeIndex, const MemRangeDescriptor &Descriptor) {
  SendMessage("    MemRangeIndex: 0x%x\n", MemRangeIndex);
  SendHalves("    Base Hi: 0x%08x\n", "    Base Lo: 0x%08x\n", Descriptor.Base);
  SendHalves("    Size Hi: 0x%08x\n", "    Size Lo: 0x%08x\n", Descriptor.Size);
}

VOID SendDescriptorBlock(UINT32 MemRangeIndex, const MemRangeDescriptor &Descriptor, UINT64 CurrentBase) {
  SendRangeLines(MemRangeIndex, Descriptor);
  SendMessage("    Attribute: 0x%08x\n", Descriptor.Attribute);
  SendHalves("    CurrentBase Hi: 0x%08x\n", "    CurrentBase Lo: 0x%08x\n", CurrentBase);
  ZarnModuleMessage(DRAMATLAS_MESSAGE_CLASS, "\n");
}

VOID SendClosingBlock(UINT32 MemRangeIndex, const MemRangeDescriptor &Descriptor) {
  SendRangeLines(MemRangeIndex, Descriptor);
  SendMessage("    Attribute: 0x%04x\n", Descriptor.Attribute);
  ZarnModuleMessage(DRAMATLAS_MESSAGE_CLASS, "\n");
}

constexpr UINT32 HoleAttribute(UINT32 Type) {
  return Type == 0   ? MEM_RANGE_ATTRIBUTE_HOLE_TYPE0
         : Type == 1 ? MEM_RANGE_ATTRIBUTE_HOLE_TYPE1
                     : MEM_RANGE_ATTRIBUTE_HOLE_OTHER;
}

EFI_STATUS RefuseDescriptorOverflow(VOID) {
  SendMessage("BuildHobInfo: Memory map needs more than %d descriptors\n", MEM_INFO_MAX_DESCRIPTORS);
  return EFI_BUFFER_TOO_SMALL;
}

EFI_STATUS LocateMemoryInformation(const EFI_PEI_SERVICES **PeiServices, const MemoryInformationPpi **Ppi) {
  VOID *Interface = nullptr;
  const EFI_STATUS Status =
      (*PeiServices)->LocatePpi(PeiServices, &gMemoryInformationPpiGuid, 0, nullptr, &Interface);
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  if (Interface == nullptr) {
    return EFI_NOT_FOUND;
  }
  *Ppi = static_cast<const MemoryInformationPpi *>(Interface);
  return EFI_SUCCESS;
}

}  // namespace

EFI_STATUS DramatlasEntry(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices) {
  (VOID)FileHandle;
  MemorySummary Summary = {};
  EFI_STATUS Status = ReadMemorySummary(PeiServices, &Summary);
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  Status = BuildHobInfo(PeiServices, &Summary);
  if (Status == EFI_SUCCESS) {
    Status = (*PeiServices)->InstallPpi(PeiServices, &mMemoryHobsReadyPpiList);
  }
  return Status;
}

EFI_STATUS ReadMemorySummary(const EFI_PEI_SERVICES **PeiServices, MemorySummary *Summary) {
  const MemoryInformationPpi *Ppi = nullptr;
  const EFI_STATUS Status = LocateMemoryInformation(PeiServices, &Ppi);
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  Summary->Value16Valid = 1;
  Summary->Value16 = Ppi->Value16;
  Summary->Value8Valid = Ppi->Value8Valid;
  Summary->Value8 = Ppi->Value8;
  Summary->Value32Valid = 1;
  Summary->Value32 = Ppi->Value32;
  Summary->Value32B = Ppi->Value32B;
  return EFI_SUCCESS;
}

EFI_STATUS BuildHobInfo(const EFI_PEI_SERVICES **PeiServices, const MemorySummary *Summary) {
  const MemoryInformationPpi *Ppi = nullptr;
  EFI_STATUS Status = LocateMemoryInformation(PeiServices, &Ppi);
  if (Status != EFI_SUCCESS) {
    return Status;
  }

  UINT32 NumOfHoles = 0;
  UINT64 TopOfMemory = 0;
  HoleMapEntry *HoleMapPtr = nullptr;
  Status = Ppi->GetHoleMap(PeiServices, &NumOfHoles, &TopOfMemory, &HoleMapPtr);
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  if (HoleMapPtr == nullptr) {
    return EFI_NOT_FOUND;
  }

  // Cleared so that the bytes the builder never writes (each descriptor's Reserved) are zero.
  MemInfoWorkArea WorkArea;
  ClearMem(&WorkArea, sizeof(WorkArea));
  MemRangeDescriptor *MemRangeDesc = WorkArea.MemRangeDesc;
  WorkArea.Version = MEM_INFO_HOB_VERSION;
  UINT32 MemRangeIndex = 0;
  UINT64 CurrentBase = 0;
  // Set once a hole ends exactly at 2^64: CurrentBase has wrapped to 0 and nothing can follow.
  BOOLEAN AddressSpaceEnded = FALSE;

  SendMessage("    NumOfHoles: %d\n", NumOfHoles);
  ZarnModuleMessage(DRAMATLAS_MESSAGE_CLASS, "    HoleMapPtr: %x\n",
                    static_cast<UINT32>(reinterpret_cast<UINTN>(HoleMapPtr)));

  for (UINT32 HoleIndex = 0; HoleIndex < NumOfHoles; HoleIndex++) {
    const HoleMapEntry &Hole = HoleMapPtr[HoleIndex];
    const UINT64 HoleBase = Hole.Base;
    const UINT64 HoleSize = Hole.Size;
    const UINT32 HoleType = Hole.Type;

    if (HoleType > HOLE_TYPE_MAX) {
      ZarnModuleMessage(DRAMATLAS_MESSAGE_CLASS, "BuildHobInfo: Unsupported hole type %d at entry %d\n", HoleType,
                        HoleIndex);
      return EFI_UNSUPPORTED;
    }
    // Below CurrentBase means out of order or overlapping: the gap would wrap around 2^64.
    if (AddressSpaceEnded || HoleBase < CurrentBase) {
      SendMessage("BuildHobInfo: Hole map entry %d overlaps or is out of order\n", HoleIndex);
      return EFI_INVALID_PARAMETER;
    }
    if (HoleBase != 0 && HoleSize > 0 - HoleBase) {
      SendMessage("BuildHobInfo: Hole map entry %d ends beyond the address space\n", HoleIndex);
      return EFI_INVALID_PARAMETER;
    }

    const UINT64 Gap = HoleBase - CurrentBase;
    if (Gap != 0) {
      if (MemRangeIndex >= MEM_INFO_MAX_DESCRIPTORS) {
        return RefuseDescriptorOverflow();
      }
      MemRangeDesc[MemRangeIndex].Base = CurrentBase;
      MemRangeDesc[MemRangeIndex].Size = Gap;
      MemRangeDesc[MemRangeIndex].Attribute = MEM_RANGE_ATTRIBUTE_MEMORY;
      CurrentBase = HoleBase;
      SendDescriptorBlock(MemRangeIndex, MemRangeDesc[MemRangeIndex], CurrentBase);
      MemRangeIndex++;
    }

    if (MemRangeIndex >= MEM_INFO_MAX_DESCRIPTORS) {
      return RefuseDescriptorOverflow();
    }
    MemRangeDesc[MemRangeIndex].Base = HoleBase;
    MemRangeDesc[MemRangeIndex].Size = HoleSize;
    MemRangeDesc[MemRangeIndex].Attribute = HoleAttribute(HoleType);
    ASSERT(0 != MemRangeDesc[MemRangeIndex].Size);
    CurrentBase += HoleSize;
    AddressSpaceEnded = (HoleSize != 0 && CurrentBase == 0) ? TRUE : FALSE;
    SendDescriptorBlock(MemRangeIndex, MemRangeDesc[MemRangeIndex], CurrentBase);
    MemRangeIndex++;
  }

  UINT32 NumberOfDescriptor = MemRangeIndex;
  if (!AddressSpaceEnded && CurrentBase < TopOfMemory) {
    if (MemRangeIndex >= MEM_INFO_MAX_DESCRIPTORS) {
      return RefuseDescriptorOverflow();
    }
    MemRangeDesc[MemRangeIndex].Base = CurrentBase;
    MemRangeDesc[MemRangeIndex].Size = TopOfMemory - CurrentBase;
    MemRangeDesc[MemRangeIndex].Attribute = MEM_RANGE_ATTRIBUTE_MEMORY;
    SendClosingBlock(MemRangeIndex, MemRangeDesc[MemRangeIndex]);
    NumberOfDescriptor = MemRangeIndex + 1;
  }

  const UINT32 SizeOfMemInfoHob =
      static_cast<UINT32>(MEM_INFO_HOB_HEADER_SIZE + sizeof(MemRangeDescriptor) * NumberOfDescriptor);
  SendMessage("    NumberOfDescriptor: 0x%x\n", NumberOfDescriptor);
  SendMessage("    SizeOfMemInfoHob: 0x%x\n", SizeOfMemInfoHob);

  WorkArea.Value16Valid = Summary->Value16Valid;
  WorkArea.Value16 = Summary->Value16;
  WorkArea.Value8Valid = Summary->Value8Valid;
  WorkArea.Value8 = Summary->Value8;
  WorkArea.Value32Valid = Summary->Value32Valid;
  WorkArea.Value32 = Summary->Value32;
  WorkArea.Value32B = Summary->Value32B;
  WorkArea.NumberOfDescriptor = NumberOfDescriptor;

  if (AddGuidDataHob(&gZarnMemoryInfoHobGuid, &WorkArea, SizeOfMemInfoHob) == nullptr) {
    ZarnModuleMessage(DRAMATLAS_MESSAGE_CLASS, "BuildHobInfo: Failed to build gZarnMemoryInfoHobGuid Hob!\n");
    return EFI_NOT_FOUND;
  }

  Status = BuildHobMemoryConfigInfoData(Ppi);
  if (EFI_ERROR(Status)) {
    ZarnModuleMessage(DRAMATLAS_MESSAGE_CLASS, "BuildHobInfo: BuildHobMemoryConfigInfoData FAILED!\n");
  }
  return Status;
}

EFI_STATUS BuildHobMemoryConfigInfoData(const MemoryInformationPpi *Ppi) {
  ZarnModuleMessage(DRAMATLAS_MESSAGE_CLASS, "BuildHobInfo: BuildHobMemoryConfigInfoData!\n");
  SendMessage("NumOfAllocInfoHob = %d\n", NumOfAllocInfoHob);

  const UINT8 Counts[4] = {Ppi->Dim0Count, Ppi->Dim1Count, Ppi->Dim2Count, Ppi->Dim3Count};
  UINT32 Length = sizeof(MemoryConfigInfoData);
  for (UINT32 Row = 0; Row < NumOfAllocInfoHob; Row++) {
    const UINT32 Size = ArraySize(ConfigArrayLayout[Row], Counts);
    // An array that has elements but no source cannot be copied; refuse before the HOB exists.
    if (Size != 0 && Ppi->ArraySource[Row] == nullptr) {
      SendMessage("BuildHobMemoryConfigInfoData: Array %d has no source\n", Row);
      return EFI_INVALID_PARAMETER;
    }
    Length += Size;
  }

  // AddGuidHob refuses a length beyond what a HOB can hold, so an oversized record is never written.
  UINT8 *Record = static_cast<UINT8 *>(AddGuidHob(&gMemoryConfigInfoDataHobGuid, Length));
  if (Record == nullptr) {
    return EFI_NOT_FOUND;
  }
  ClearMem(Record, Length);

  Store32(Record + offsetof(MemoryConfigInfoData, Version), MEMORY_CONFIG_INFO_DATA_VERSION);
  Record[offsetof(MemoryConfigInfoData, Dim0Count)] = Counts[0];
  Record[offsetof(MemoryConfigInfoData, Dim1Count)] = Counts[1];
  Record[offsetof(MemoryConfigInfoData, Dim2Count)] = Counts[2];
  Record[offsetof(MemoryConfigInfoData, Dim3Count)] = Counts[3];

  const UINT8 *ScalarSource = reinterpret_cast<const UINT8 *>(&Ppi->Scalars);
  UINT8 *ScalarDestination = Record + offsetof(MemoryConfigInfoData, Scalars);
  for (const ScalarField &Field : ScalarFields) {
    if (Field.Kind == ScalarKind::Flagged) {
      CopyFlaggedValue(ScalarDestination + Field.Offset, ScalarSource + Field.Offset);
    } else {
      CopyWord(ScalarDestination + Field.Offset, ScalarSource + Field.Offset);
    }
  }

  SetArrayOffsets(reinterpret_cast<MemoryConfigInfoData *>(Record));

  UINT8 *Array[NumOfAllocInfoHob];
  const UINT8 *Source[NumOfAllocInfoHob];
  for (UINT32 Row = 0; Row < NumOfAllocInfoHob; Row++) {
    Array[Row] = Record + Load16(Record + ConfigArrayLayout[Row].OffsetSlot);
    Source[Row] = static_cast<const UINT8 *>(Ppi->ArraySource[Row]);
  }

  for (UINTN I = 0; I < Counts[0]; I++) {
    for (UINTN J = 0; J < Counts[1]; J++) {
      const UINTN U = I * Counts[1] + J;
      CopyWord(Array[UNIT_WORD_ARRAY] + 2 * U, Source[UNIT_WORD_ARRAY] + 2 * U);
      CopyFlaggedValue(Array[UNIT_FLAGGED_ARRAY_A] + 4 * U, Source[UNIT_FLAGGED_ARRAY_A] + 4 * U);
      CopyFlaggedValue(Array[UNIT_FLAGGED_ARRAY_B] + 4 * U, Source[UNIT_FLAGGED_ARRAY_B] + 4 * U);
      CopyValuePair(Array[UNIT_PAIR_ARRAY] + 4 * U, Source[UNIT_PAIR_ARRAY] + 4 * U);
      for (UINTN K = 0; K < Counts[2]; K++) {
        const UINTN V = U * Counts[2] + K;
        CopyFlaggedValue(Array[ITEM_FLAGGED_ARRAY] + 4 * V, Source[ITEM_FLAGGED_ARRAY] + 4 * V);
        for (UINT32 Row = FIRST_ITEM_BYTE_ARRAY; Row < NumOfAllocInfoHob; Row++) {
          Array[Row][V] = Source[Row][V];
        }
      }
    }
  }
  return EFI_SUCCESS;
}

EFI_STATUS SetArrayOffsets(MemoryConfigInfoData *Record) {
  UINT8 *Bytes = reinterpret_cast<UINT8 *>(Record);
  const UINT8 Counts[4] = {Bytes[offsetof(MemoryConfigInfoData, Dim0Count)],
                           Bytes[offsetof(MemoryConfigInfoData, Dim1Count)],
                           Bytes[offsetof(MemoryConfigInfoData, Dim2Count)],
                           Bytes[offsetof(MemoryConfigInfoData, Dim3Count)]};
  UINT16 Offset = sizeof(MemoryConfigInfoData);
  for (const ConfigArrayLayoutRow &Row : ConfigArrayLayout) {
    Store16(Bytes + Row.OffsetSlot, Offset);
    Offset = static_cast<UINT16>(Offset + static_cast<UINT16>(ArraySize(Row, Counts)));
  }
  return EFI_SUCCESS;
}
