// The HOB library: finds, walks and creates hand-off blocks through the PEI services.
// Walks trust nothing about the list beyond what they check: a HOB shorter than its generic header
// ends the walk, so a damaged list cannot send it round in place or backwards.
#include "Library/HobLib.h"

#include "Library/BaseLib.h"
#include "Library/BaseMemoryLib.h"
#include "Library/DebugLib.h"
#include "Library/PeiServicesLib.h"

namespace {

constexpr UINT32 GUID_HOB_DATA_LIMIT = 0xFFF8 - sizeof(EFI_HOB_GUID_TYPE);  // 0xFFE0
static_assert(GUID_HOB_DATA_LIMIT == 0xFFE0, "largest GUID HOB data area");

// Header fields are read unaligned: a HOB whose length is not a multiple of 8 leaves the next one
// at any address.
inline UINT16 HobTypeOf(const VOID *Hob) {
  return UnalignedRead16(static_cast<const UINT8 *>(Hob) + offsetof(EFI_HOB_GENERIC_HEADER, HobType));
}
inline UINT16 HobLengthOf(const VOID *Hob) {
  return UnalignedRead16(static_cast<const UINT8 *>(Hob) + offsetof(EFI_HOB_GENERIC_HEADER, HobLength));
}
inline const VOID *NextHob(const VOID *Hob) { return static_cast<const UINT8 *>(Hob) + HobLengthOf(Hob); }

}  // namespace

VOID *HobListStart(VOID) {
  VOID *HobList = nullptr;
  const EFI_STATUS Status = ServicesGetHobList(&HobList);
  ASSERT_EFI_ERROR(Status);
  if (EFI_ERROR(Status)) {
    HobList = nullptr;  // whatever the failed service left there is not a list
  }
  ASSERT_TEXT(HobList != nullptr, "HobList != ((void *) 0)");
  return HobList;
}

VOID *NextHobOfType(UINT16 Type, const VOID *HobStart) {
  ASSERT_TEXT(HobStart != nullptr, "HobStart != ((void *) 0)");
  if (HobStart == nullptr) {
    return nullptr;
  }
  for (const VOID *Hob = HobStart; HobTypeOf(Hob) != EFI_HOB_TYPE_END_OF_HOB_LIST; Hob = NextHob(Hob)) {
    if (HobLengthOf(Hob) < sizeof(EFI_HOB_GENERIC_HEADER)) {
      return nullptr;
    }
    if (HobTypeOf(Hob) == Type) {
      return const_cast<VOID *>(Hob);
    }
  }
  return nullptr;
}

VOID *NextGuidHob(const EFI_GUID *Guid, const VOID *HobStart) {
  if (Guid == nullptr) {
    return nullptr;
  }
  const VOID *Hob = HobStart;
  while ((Hob = NextHobOfType(EFI_HOB_TYPE_GUID_EXTENSION, Hob)) != nullptr) {
    // A GUID HOB too short to hold its name is passed over rather than read beyond its end.
    if (HobLengthOf(Hob) >= sizeof(EFI_HOB_GUID_TYPE) &&
        GuidEqual(Guid, reinterpret_cast<const EFI_GUID *>(static_cast<const UINT8 *>(Hob) +
                                                           offsetof(EFI_HOB_GUID_TYPE, Name)))) {
      return const_cast<VOID *>(Hob);
    }
    Hob = NextHob(Hob);
  }
  return nullptr;
}

VOID *FirstGuidHob(const EFI_GUID *Guid) { return NextGuidHob(Guid, HobListStart()); }

VOID *NewHob(UINT16 Type, UINT16 Length) {
  VOID *Hob = nullptr;
  const EFI_STATUS Status = ServicesCreateHob(Type, Length, &Hob);
  if (EFI_ERROR(Status)) {
    Hob = nullptr;
  }
  ASSERT_TEXT(Hob != nullptr, "Hob != ((void *) 0)");
  return Hob;
}

VOID *AddGuidHob(const EFI_GUID *Guid, UINT32 DataLength) {
  ASSERT_TEXT(Guid != nullptr, "Guid != ((void *) 0)");
  ASSERT_TEXT(DataLength <= GUID_HOB_DATA_LIMIT, "DataLength <= (0xFFF8 - sizeof (EFI_HOB_GUID_TYPE))");
  // The HOB length is 16 bits: a larger request cannot be honoured, so it is refused.
  if (Guid == nullptr || DataLength > GUID_HOB_DATA_LIMIT) {
    return nullptr;
  }
  UINT8 *Hob = static_cast<UINT8 *>(
      NewHob(EFI_HOB_TYPE_GUID_EXTENSION, static_cast<UINT16>(DataLength + sizeof(EFI_HOB_GUID_TYPE))));
  if (Hob == nullptr) {
    return nullptr;
  }
  GuidCopy(reinterpret_cast<EFI_GUID *>(Hob + offsetof(EFI_HOB_GUID_TYPE, Name)), Guid);
  return Hob + sizeof(EFI_HOB_GUID_TYPE);
}

VOID *AddGuidDataHob(const EFI_GUID *Guid, const VOID *Data, UINT32 DataLength) {
  ASSERT_TEXT(Data != nullptr || DataLength == 0, "Data != ((void *) 0) || DataLength == 0");
  if (Data == nullptr && DataLength != 0) {
    return nullptr;
  }
  VOID *HobData = AddGuidHob(Guid, DataLength);
  if (HobData == nullptr) {
    return nullptr;
  }
  if (DataLength != 0) {
    CopyMem(HobData, Data, DataLength);
  }
  return HobData;
}

VOID AddMemoryAllocationHob(EFI_PHYSICAL_ADDRESS BaseAddress, UINT64 Length, EFI_MEMORY_TYPE MemoryType) {
  ASSERT_TEXT(((BaseAddress & (0x00001000 - 1)) == 0) && ((Length & (0x00001000 - 1)) == 0),
              "((BaseAddress & (0x00001000 - 1)) == 0) && ((Length & (0x00001000 - 1)) == 0)");
  UINT8 *Hob = static_cast<UINT8 *>(NewHob(EFI_HOB_TYPE_MEMORY_ALLOCATION, sizeof(EFI_HOB_MEMORY_ALLOCATION)));
  if (Hob == nullptr) {
    return;
  }
  // Written field by field at their byte offsets: the list makes no alignment promise.
  ClearMem(Hob + offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.Name), sizeof(EFI_GUID));
  CopyMem(Hob + offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryBaseAddress), &BaseAddress,
          sizeof(BaseAddress));
  CopyMem(Hob + offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryLength), &Length, sizeof(Length));
  CopyMem(Hob + offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryType), &MemoryType, sizeof(MemoryType));
  ClearMem(Hob + offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.Reserved), 4);
}

EFI_GUID *GuidCopy(EFI_GUID *Destination, const EFI_GUID *Source) {
  UnalignedWrite64(Destination, UnalignedRead64(Source));
  UnalignedWrite64(reinterpret_cast<UINT8 *>(Destination) + 8, UnalignedRead64(reinterpret_cast<const UINT8 *>(Source) + 8));
  return Destination;
}

BOOLEAN GuidEqual(const EFI_GUID *Guid1, const EFI_GUID *Guid2) {
  const UINT64 Low1 = UnalignedRead64(Guid1);
  const UINT64 Low2 = UnalignedRead64(Guid2);
  const UINT64 High1 = UnalignedRead64(reinterpret_cast<const UINT8 *>(Guid1) + 8);
  const UINT64 High2 = UnalignedRead64(reinterpret_cast<const UINT8 *>(Guid2) + 8);
  return (Low1 == Low2 && High1 == High2) ? TRUE : FALSE;
}
