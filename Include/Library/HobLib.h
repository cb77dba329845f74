#pragma once

#include "Pi/PiHob.h"
#include "ZarnBase.h"

VOID *HobListStart(VOID);
VOID *NextHobOfType(UINT16 Type, const VOID *HobStart);
VOID *NextGuidHob(const EFI_GUID *Guid, const VOID *HobStart);
VOID *FirstGuidHob(const EFI_GUID *Guid);
VOID *NewHob(UINT16 Type, UINT16 Length);
VOID *AddGuidHob(const EFI_GUID *Guid, UINT32 DataLength);
VOID *AddGuidDataHob(const EFI_GUID *Guid, const VOID *Data, UINT32 DataLength);
VOID AddMemoryAllocationHob(EFI_PHYSICAL_ADDRESS BaseAddress, UINT64 Length, EFI_MEMORY_TYPE MemoryType);
EFI_GUID *GuidCopy(EFI_GUID *Destination, const EFI_GUID *Source);
BOOLEAN GuidEqual(const EFI_GUID *Guid1, const EFI_GUID *Guid2);
