// Output block accessors. Every call repeats the instance lookup; each field is bounds-checked against
// the entry's own EntrySize before it is read, so a short or malformed entry is never read past.
#include "Library/QuilTrovLib.h"

#include "Library/BaseLib.h"
#include "Library/DebugLib.h"
#include "Library/ModuleMessage.h"
#include "Library/ZarnKovQuilLib.h"

namespace {

// Entry offsets of the fields read.
constexpr UINT32 EntryDataOffset = 0x30;
constexpr UINT32 DornInstanceOffset = 0x30;
constexpr UINT32 DimmCfgUpdatedFlagOffset = 0x1B4;
constexpr UINT32 DornRecoveryFlagOffset = 0x1B5;
constexpr UINT32 G1T2FirstWordOffset = 0x34;
constexpr UINT32 G1T2SecondWordOffset = 0x36;
constexpr UINT32 G1T2ByteArrayOffset = 0x38;
constexpr UINT32 G1T15BufferSize = 256;
constexpr UINT32 G1T15ByteOffset = 0x130;
constexpr UINT32 G1T17SecondByteOffset = 0x31;
constexpr UINT32 G1T17RecordOffset = 0x34;
constexpr UINT32 G1T17RecordSize = 532;
constexpr UINT32 G1T17LastRecord = 16;
constexpr UINT32 G3T2RecordOffset = 0x34;
constexpr UINT32 G3T2RecordSize = 12;
constexpr UINT32 G3T2LastRecord = 3;
constexpr UINT32 G7T3WordOffset = 0x66;
constexpr UINT8 FixedByte = 8;

// Nested table of entry 3/3: 27-byte level-1 records, each one byte and two 13-byte level-2 records,
// each one byte and four 3-byte level-3 records, each one byte and two data bytes.
constexpr UINT32 Level1RecordSize = 27;
constexpr UINT32 Level2RecordSize = 13;
constexpr UINT32 Level3RecordSize = 3;
constexpr UINT32 LastLevel2 = 1;
constexpr UINT32 LastLevel3 = 3;
constexpr UINT32 LastDataByte = 1;

constexpr UINT64 Level1Offset(UINT32 I) { return EntryDataOffset + static_cast<UINT64>(Level1RecordSize) * I; }
constexpr UINT64 Level2Offset(UINT32 I, UINT32 J) { return Level1Offset(I) + 1 + Level2RecordSize * J; }
constexpr UINT64 Level3Offset(UINT32 I, UINT32 J, UINT32 K) { return Level2Offset(I, J) + 1 + Level3RecordSize * K; }
static_assert(Level3Offset(1, 1, 2) == 0x60, "nested table layout");

// Slot 16: selector -> field of entry 1/2. Selectors 7 and 8, and 11 and 12, are not in offset order;
// selector 13 reports width 1 for a 32-bit field.
struct SelectedField {
  UINT16 Offset;
  UINT8 ReadWidth;
  UINT8 ReportedWidth;
};
constexpr SelectedField SelectedFields[] = {
    {0x154, 1, 1}, {0x15C, 1, 1}, {0x164, 1, 1}, {0x16C, 1, 1}, {0x174, 1, 1}, {0x17C, 1, 1}, {0x184, 1, 1},
    {0x194, 1, 1}, {0x18C, 1, 1}, {0x19C, 1, 1}, {0x1A4, 1, 1}, {0x1B0, 4, 4}, {0x1AC, 4, 4}, {0x1B4, 4, 1},
};
constexpr UINT32 SelectorCount = sizeof(SelectedFields) / sizeof(SelectedFields[0]);
static_assert(SelectorCount == 14, "selectors 0 to 13");

template <typename... Arguments>
inline VOID QuilMessage(const CHAR8 *Format, Arguments... Values) {
  ZarnModuleMessage(QUILKEEP_MESSAGE_CLASS, Format, Values...);
}

// Width bytes at Offset of an entry whose pointer covers EntrySize bytes; null when they do not fit.
const UINT8 *FieldOf(const QuilEntryHeader *Entry, UINT64 Offset, UINT32 Width) {
  const UINT32 EntrySize =
      UnalignedRead32(reinterpret_cast<const UINT8 *>(Entry) + offsetof(QuilEntryHeader, EntrySize));
  if (Offset + Width > EntrySize) {
    return nullptr;
  }
  return reinterpret_cast<const UINT8 *>(Entry) + Offset;
}

// The field of the one entry of Group, Type and Instance: the lookup's status when it fails, EFI_NOT_FOUND
// when the field does not fit in the entry.
EFI_STATUS LocateField(UINT32 Group, UINT32 Type, UINT32 Instance, UINT64 Offset, UINT32 Width, const UINT8 **Field) {
  QuilEntryHeader *Entry = nullptr;
  const EFI_STATUS Status = ZarnKovGetQuilEntryInstance(Group, Type, Instance, FALSE, &Entry);
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  const UINT8 *Found = FieldOf(Entry, Offset, Width);
  if (Found == nullptr) {
    return EFI_NOT_FOUND;
  }
  *Field = Found;
  return EFI_SUCCESS;
}

EFI_STATUS ReadByte(UINT32 Group, UINT32 Type, UINT32 Instance, UINT64 Offset, UINT8 *Value) {
  const UINT8 *Field = nullptr;
  const EFI_STATUS Status = LocateField(Group, Type, Instance, Offset, 1, &Field);
  if (Status == EFI_SUCCESS) {
    *Value = *Field;
  }
  return Status;
}

EFI_STATUS ReadWord(UINT32 Group, UINT32 Type, UINT32 Instance, UINT64 Offset, UINT16 *Value) {
  const UINT8 *Field = nullptr;
  const EFI_STATUS Status = LocateField(Group, Type, Instance, Offset, sizeof(UINT16), &Field);
  if (Status == EFI_SUCCESS) {
    *Value = UnalignedRead16(Field);
  }
  return Status;
}

EFI_STATUS PointTo(UINT32 Group, UINT32 Type, UINT32 Instance, UINT64 Offset, UINT32 Size, VOID **Pointer) {
  const UINT8 *Field = nullptr;
  const EFI_STATUS Status = LocateField(Group, Type, Instance, Offset, Size, &Field);
  if (Status == EFI_SUCCESS) {
    *Pointer = const_cast<UINT8 *>(Field);
  }
  return Status;
}

// Slots 0 to 2: the Dorn entry 1/16 instance 0; every failure is EFI_NOT_FOUND after its message.
EFI_STATUS ReadDornByte(UINT64 Offset, UINT8 *Value, const CHAR8 *FailureMessage) {
  if (ReadByte(1, 16, 0, Offset, Value) != EFI_SUCCESS) {
    QuilMessage(FailureMessage);
    return EFI_NOT_FOUND;
  }
  return EFI_SUCCESS;
}

}  // namespace

EFI_STATUS EFIAPI GetDornInstanceTrov(UINT8 *Value) {
  *Value = 0;
  QuilMessage("GetDornInstanceTrov\n");
  return ReadDornByte(DornInstanceOffset, Value, "Fail to get QuilDornInstance\n");
}

EFI_STATUS EFIAPI GetDornRecoveryFlagTrov(UINT8 *Value) {
  *Value = 0;
  return ReadDornByte(DornRecoveryFlagOffset, Value, "Fail to get QuilDornRecoveryFlag\n");
}

EFI_STATUS EFIAPI GetDimmCfgUpdatedFlagTrov(UINT8 *Value) {
  *Value = 0;
  UINT8 Flag = 0;
  if (ReadDornByte(DimmCfgUpdatedFlagOffset, &Flag, "Fail to get DimmCfgUpdatedFlag\n") != EFI_SUCCESS) {
    return EFI_NOT_FOUND;
  }
  QuilMessage("DimmCfgUpdatedFlag %x\n", static_cast<UINT32>(Flag));
  *Value = Flag;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI GetG3T3Level1ByteTrov(UINT32 Instance, UINT32 I, UINT8 *Value) {
  return ReadByte(3, 3, Instance, Level1Offset(I), Value);
}

EFI_STATUS EFIAPI GetG3T3Level2ByteTrov(UINT32 Instance, UINT32 I, UINT32 J, UINT8 *Value) {
  if (J > LastLevel2) {
    return EFI_NOT_FOUND;
  }
  return ReadByte(3, 3, Instance, Level2Offset(I, J), Value);
}

EFI_STATUS EFIAPI GetG3T3Level3ByteTrov(UINT32 Instance, UINT32 I, UINT32 J, UINT32 K, UINT8 *Value) {
  if (J > LastLevel2 || K > LastLevel3) {
    return EFI_NOT_FOUND;
  }
  return ReadByte(3, 3, Instance, Level3Offset(I, J, K), Value);
}

EFI_STATUS EFIAPI GetG3T3Level3DataByteTrov(UINT32 Instance, UINT32 I, UINT32 J, UINT32 K, UINT32 N, UINT8 *Value) {
  if (J > LastLevel2 || K > LastLevel3 || N > LastDataByte) {
    return EFI_NOT_FOUND;
  }
  return ReadByte(3, 3, Instance, Level3Offset(I, J, K) + 1 + N, Value);
}

EFI_STATUS EFIAPI GetG1T2ArrayByteTrov(UINT32 Instance, UINT32 Index, UINT8 *Value) {
  return ReadByte(1, 2, Instance, static_cast<UINT64>(G1T2ByteArrayOffset) + Index, Value);
}

EFI_STATUS EFIAPI GetG1T15ByteTrov(UINT32 Instance, UINT8 *Value) {
  return ReadByte(1, 15, Instance, G1T15ByteOffset, Value);
}

EFI_STATUS EFIAPI GetG1T15BufferTrov(UINT32 Instance, VOID **Buffer, UINT32 *Size) {
  *Size = G1T15BufferSize;
  return PointTo(1, 15, Instance, EntryDataOffset, G1T15BufferSize, Buffer);
}

EFI_STATUS EFIAPI GetG1T17FirstByteTrov(UINT32 Instance, UINT8 *Value) {
  return ReadByte(1, 17, Instance, EntryDataOffset, Value);
}

EFI_STATUS EFIAPI GetFixedByteTrov(UINT32 Ignored, UINT8 *Value) {
  (VOID) Ignored;
  *Value = FixedByte;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI GetG1T17SecondByteTrov(UINT32 Instance, UINT8 *Value) {
  return ReadByte(1, 17, Instance, G1T17SecondByteOffset, Value);
}

EFI_STATUS EFIAPI GetG1T17RecordTrov(UINT32 Instance, UINT32 Index, VOID **Record) {
  if (Index > G1T17LastRecord) {
    return EFI_NOT_FOUND;
  }
  return PointTo(1, 17, Instance, G1T17RecordOffset + G1T17RecordSize * Index, G1T17RecordSize, Record);
}

EFI_STATUS EFIAPI GetG1T2FirstWordTrov(UINT32 Instance, UINT16 *Value) {
  return ReadWord(1, 2, Instance, G1T2FirstWordOffset, Value);
}

EFI_STATUS EFIAPI GetG1T2SecondWordTrov(UINT32 Instance, UINT16 *Value) {
  return ReadWord(1, 2, Instance, G1T2SecondWordOffset, Value);
}

EFI_STATUS EFIAPI GetG1T2SelectedValueTrov(UINT32 Instance, UINT32 Selector, UINT16 *Width, UINT64 *Value) {
  QuilEntryHeader *Entry = nullptr;
  const EFI_STATUS Status = ZarnKovGetQuilEntryInstance(1, 2, Instance, FALSE, &Entry);
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  if (Selector >= SelectorCount) {
    ASSERT(0);
    return EFI_NOT_FOUND;
  }
  const SelectedField &Selected = SelectedFields[Selector];
  const UINT8 *Field = FieldOf(Entry, Selected.Offset, Selected.ReadWidth);
  if (Field == nullptr) {
    return EFI_NOT_FOUND;
  }
  *Width = Selected.ReportedWidth;
  *Value = Selected.ReadWidth == 1 ? *Field : UnalignedRead32(Field);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI GetG3T2DwordTrov(UINT32 Ignored, UINT32 *Value) {
  (VOID) Ignored;
  const UINT8 *Field = nullptr;
  const EFI_STATUS Status = LocateField(3, 2, 0, EntryDataOffset, sizeof(UINT32), &Field);
  if (Status == EFI_SUCCESS) {
    *Value = UnalignedRead32(Field);
  }
  return Status;
}

EFI_STATUS EFIAPI GetG3T2RecordTrov(UINT32 Ignored, UINT32 Index, VOID **Record) {
  (VOID) Ignored;
  if (Index > G3T2LastRecord) {
    return EFI_NOT_FOUND;
  }
  return PointTo(3, 2, 0, G3T2RecordOffset + G3T2RecordSize * Index, G3T2RecordSize, Record);
}

EFI_STATUS EFIAPI GetG7T3WordTrov(UINT32 Ignored, UINT16 *Value) {
  (VOID) Ignored;
  return ReadWord(7, 3, 0, G7T3WordOffset, Value);
}
