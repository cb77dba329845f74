// Output block lookup and discovery. The block comes from outside the firmware: the walk reads each
// entry header through the platform seam, ends at an entry that is shorter than its header or reaches
// past the block's end, and computes addresses in 64 bits so that nothing wraps around 4 GiB.
#include "Library/ZarnKovQuilLib.h"

#include "Guid/ZarnGuids.h"
#include "Kov/FlashDirectory.h"
#include "Library/BaseLib.h"
#include "Library/DebugLib.h"
#include "Library/HobLib.h"
#include "Library/ModuleMessage.h"
#include "Library/ZarnKovBaseLibV2.h"
#include "Platform/Seam.h"

namespace {

constexpr UINT8 AnyInstance = 0xFF;
constexpr UINT64 QuilReservedLength = 0x1000000;  // reserved whatever the block's Size

template <typename... Arguments>
inline VOID QuilMessage(const CHAR8 *Format, Arguments... Values) {
  ZarnModuleMessage(QUILKEEP_MESSAGE_CLASS, Format, Values...);
}

inline const UINT8 *MapPhysical(UINT64 Address, UINT64 Length) {
  return static_cast<const UINT8 *>(PlatformPhysicalToPointer(Address, Length));
}

// Walks the block and collects the entries of Group and Type: their pointers (whole entry mapped) in
// Entries and their physical addresses in Addresses, either of which may be null, up to Capacity.
EFI_STATUS CollectEntries(UINT32 Group, UINT32 Type, BOOLEAN NonVolatile, UINT32 *Count, QuilEntryHeader **Entries,
                          UINT32 *Addresses, UINT32 Capacity) {
  *Count = 0;
  if (Capacity > 0) {
    if (Entries != nullptr) {
      Entries[0] = nullptr;
    }
    if (Addresses != nullptr) {
      Addresses[0] = 0;
    }
  }
  QuilMessage("ZarnKovGetQuilEntry %x %x\n", Group, Type);

  UINT32 BlockAddress = 0;
  if (NonVolatile) {
    UINT32 TypeAttributes = 0;
    UINT64 Location = 0;
    UINT32 Size = 0;
    UINT64 Destination = 0;
    if (!ZarnKovGetBiosDirEntry(QuilNvBiosDirType, AnyInstance, &TypeAttributes, &Location, &Size, &Destination)) {
      QuilMessage("QUIL NV Entry not found\n");
      return EFI_NOT_FOUND;
    }
    BlockAddress = static_cast<UINT32>(Location);
  } else {
    QuilInfo *Info = nullptr;
    const EFI_STATUS Status = ZarnKovGetQuilInfo(&Info);
    if (EFI_ERROR(Status)) {
      QuilMessage("QUILLIB Info data uninitialized\n");
      return Status;
    }
    // The record sits where the HOB list put it, which promises no alignment: read it field by field.
    const UINT8 *Record = reinterpret_cast<const UINT8 *>(Info);
    const UINT8 Supported = Record[offsetof(QuilInfo, Supported)];
    if (!Supported) {
      QuilMessage("Error detected in the QUIL DATA\n");
      return EFI_UNSUPPORTED;
    }
    BlockAddress = static_cast<UINT32>(UnalignedRead64(Record + offsetof(QuilInfo, QuilAddr)));
    QuilMessage("QuilInfoPtr %x Supported %x QuilAddr %x QuilSize %x\n",
                static_cast<UINT32>(reinterpret_cast<UINTN>(Info)), static_cast<UINT32>(Supported), BlockAddress,
                UnalignedRead32(Record + offsetof(QuilInfo, QuilSize)));
  }

  QuilMessage("ZarnKovGetQuilEntry %x %x\n", Group, Type);
  QuilMessage("QUIL Addr %x\n", BlockAddress);

  const UINT8 *Header = MapPhysical(BlockAddress, sizeof(QuilHeader));
  if (Header == nullptr) {
    return EFI_UNSUPPORTED;  // nothing there to read: as malformed as a block can be
  }
  if (UnalignedRead32(Header + offsetof(QuilHeader, Version)) < QUIL_MIN_VERSION) {
    QuilMessage("QUIL version is not supported\n");
    ASSERT(0);
    return EFI_UNSUPPORTED;
  }

  const UINT64 BlockEnd = static_cast<UINT64>(BlockAddress) + UnalignedRead32(Header + offsetof(QuilHeader, Size));
  UINT64 Current =
      static_cast<UINT64>(BlockAddress) + UnalignedRead32(Header + offsetof(QuilHeader, OffsetOfFirstEntry));
  UINT32 Found = 0;
  while (Current < BlockEnd) {
    if (BlockEnd - Current < sizeof(QuilEntryHeader)) {
      break;
    }
    const UINT8 *Entry = MapPhysical(Current, sizeof(QuilEntryHeader));
    if (Entry == nullptr) {
      break;
    }
    const UINT32 EntrySize = UnalignedRead32(Entry + offsetof(QuilEntryHeader, EntrySize));
    if (EntrySize < sizeof(QuilEntryHeader) || EntrySize > BlockEnd - Current) {
      break;  // the chain ends at an entry that cannot be one
    }
    if (UnalignedRead32(Entry + offsetof(QuilEntryHeader, Group)) == Group &&
        UnalignedRead32(Entry + offsetof(QuilEntryHeader, Type)) == Type) {
      const UINT8 *Whole = MapPhysical(Current, EntrySize);
      if (Whole == nullptr) {
        break;
      }
      if (Found < Capacity) {
        if (Entries != nullptr) {
          Entries[Found] = reinterpret_cast<QuilEntryHeader *>(const_cast<UINT8 *>(Whole));
        }
        if (Addresses != nullptr) {
          Addresses[Found] = static_cast<UINT32>(Current);
        }
      }
      Found++;
      QuilMessage("Type found @0x%x\n", static_cast<UINT32>(Current));
    }
    Current += EntrySize;
  }

  *Count = Found;
  QuilMessage("Total  %d entries found\n", Found);
  if (Found == 0) {
    QuilMessage("QuilEntry NOT found\n");
    return EFI_NOT_FOUND;
  }
  return Found > Capacity ? EFI_BUFFER_TOO_SMALL : EFI_SUCCESS;
}

}  // namespace

EFI_STATUS ZarnKovGetQuilInfo(QuilInfo **Info) {
  if (Info == nullptr) {
    ASSERT_TEXT(Info != nullptr, "QuilInfo != 0");
    return EFI_UNSUPPORTED;
  }
  *Info = nullptr;
  const UINT8 *Hob = static_cast<const UINT8 *>(FirstGuidHob(&gZarnQuilInfoHobGuid));
  if (Hob == nullptr) {
    return EFI_UNSUPPORTED;
  }
  // A HOB under our GUID that cannot hold the record is not ours to read past.
  if (UnalignedRead16(Hob + offsetof(EFI_HOB_GENERIC_HEADER, HobLength)) <
      sizeof(EFI_HOB_GUID_TYPE) + sizeof(QuilInfo)) {
    return EFI_UNSUPPORTED;
  }
  *Info = reinterpret_cast<QuilInfo *>(const_cast<UINT8 *>(Hob + sizeof(EFI_HOB_GUID_TYPE)));
  return EFI_SUCCESS;
}

EFI_STATUS ZarnKovGetQuilEntry(UINT32 Group, UINT32 Type, BOOLEAN NonVolatile, UINT32 *Count, QuilEntryHeader **Entries,
                               UINT32 Capacity) {
  return CollectEntries(Group, Type, NonVolatile, Count, Entries, nullptr, Capacity);
}

EFI_STATUS ZarnKovGetQuilEntryInstance(UINT32 Group, UINT32 Type, UINT32 Instance, BOOLEAN NonVolatile,
                                       QuilEntryHeader **Entry) {
  *Entry = nullptr;
  QuilMessage("ZarnKovGetQuilEntryInstance %x %x %x\n", Group, Type, Instance);

  UINT32 Addresses[QUIL_INSTANCE_LOOKUP_CAPACITY];
  UINT32 Count = 0;
  CollectEntries(Group, Type, NonVolatile, &Count, nullptr, Addresses, QUIL_INSTANCE_LOOKUP_CAPACITY);
  if (Count == 0) {
    QuilMessage("No entry found\n");
    return EFI_NOT_FOUND;
  }
  // Entries past the array were not seen: a block with that many is treated as malformed.
  if (Count > QUIL_INSTANCE_LOOKUP_CAPACITY) {
    return EFI_UNSUPPORTED;
  }

  UINT32 NumofInstance = 0;
  UINT32 Match = 0;
  for (UINT32 Index = 0; Index < Count; Index++) {
    const UINT8 *Header = MapPhysical(Addresses[Index], sizeof(QuilEntryHeader));
    if (Header != nullptr && UnalignedRead32(Header + offsetof(QuilEntryHeader, Instance)) == Instance) {
      NumofInstance++;
      Match = Addresses[Index];
    }
  }
  ASSERT(NumofInstance <= 1);
  if (NumofInstance != 1) {
    return NumofInstance == 0 ? EFI_NOT_FOUND : EFI_UNSUPPORTED;
  }

  QuilMessage("Instance found @0x%x\n", Match);
  const UINT8 *Header = MapPhysical(Match, sizeof(QuilEntryHeader));
  const UINT8 *Whole =
      Header == nullptr ? nullptr : MapPhysical(Match, UnalignedRead32(Header + offsetof(QuilEntryHeader, EntrySize)));
  if (Whole == nullptr) {
    return EFI_NOT_FOUND;
  }
  *Entry = reinterpret_cast<QuilEntryHeader *>(const_cast<UINT8 *>(Whole));
  return EFI_SUCCESS;
}

EFI_STATUS ZarnKovQuilLibConstructor(VOID) {
  QuilMessage("ZarnKovQuilLibConstructor\n");
  if (ZarnKovCheckProcessorSignature(ProcessorLineExcluded)) {
    return EFI_SUCCESS;
  }
  QuilInfo *Existing = nullptr;
  if (!EFI_ERROR(ZarnKovGetQuilInfo(&Existing))) {
    return EFI_SUCCESS;  // published by an earlier run
  }

  QuilMessage("Init QUIL HOB Info struct\n");
  UINT32 TypeAttributes = 0;
  UINT64 Location = 0;
  UINT32 EntrySize = 0;
  UINT64 Destination = 0;
  if (!ZarnKovGetBiosDirEntry(QuilBiosDirType, AnyInstance, &TypeAttributes, &Location, &EntrySize, &Destination)) {
    QuilMessage("QUIL Entry not found\n");
    return EFI_SUCCESS;
  }

  // The block lies below 4 GiB; both HOBs still carry the full 64-bit destination.
  const UINT32 QuilAddress = static_cast<UINT32>(Destination);
  QuilMessage("QUIL Addr %x\n", QuilAddress);
  const UINT8 *QuilHeaderPtr = MapPhysical(QuilAddress, sizeof(QuilHeader));
  if (QuilHeaderPtr == nullptr || UnalignedRead32(QuilHeaderPtr + offsetof(QuilHeader, Signature)) != QUIL_SIGNATURE) {
    QuilMessage("QUIL SIG Check fail, QUIL is not supported\n");
    return EFI_SUCCESS;
  }

  const UINT32 QuilSize = UnalignedRead32(QuilHeaderPtr + offsetof(QuilHeader, Size));
  ASSERT_TEXT(QuilSize != 0, "QuilHeaderPtr->Size != 0");
  ASSERT_TEXT(QuilSize != 0xFFFFFFFFu, "QuilHeaderPtr->Size != 0xFFFFFFFFul");
  if (QuilSize == 0 || QuilSize == 0xFFFFFFFFu) {
    QuilMessage("QUIL Size Check fail\n");
    return EFI_SUCCESS;
  }

  QuilInfo Info = {};
  Info.Supported = TRUE;
  Info.QuilSize = QuilSize;
  Info.QuilAddr = Destination;
  if (AddGuidDataHob(&gZarnQuilInfoHobGuid, &Info, sizeof(Info)) == nullptr) {
    QuilMessage("QUIL HOB Build fail\n");
  } else {
    QuilMessage("QUIL HOB Build Success\n");
  }
  AddMemoryAllocationHob(Destination, QuilReservedLength, EfiACPIMemoryNVS);
  return EFI_SUCCESS;
}
