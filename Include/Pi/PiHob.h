// HOB records in the PI layouts. None holds a pointer, so they are byte-identical on both targets.
#pragma once

#include "ZarnBase.h"

enum : UINT16 {
  EFI_HOB_TYPE_HANDOFF = 0x0001,
  EFI_HOB_TYPE_MEMORY_ALLOCATION = 0x0002,
  EFI_HOB_TYPE_GUID_EXTENSION = 0x0004,
  EFI_HOB_TYPE_END_OF_HOB_LIST = 0xFFFF,
};

struct EFI_HOB_GENERIC_HEADER {
  UINT16 HobType;
  UINT16 HobLength;  // whole HOB, header included
  UINT32 Reserved;
};
static_assert(sizeof(EFI_HOB_GENERIC_HEADER) == 8, "generic HOB header");
static_assert(offsetof(EFI_HOB_GENERIC_HEADER, HobLength) == 2, "generic HOB header");

struct EFI_HOB_GUID_TYPE {
  EFI_HOB_GENERIC_HEADER Header;
  EFI_GUID Name;  // the data area follows at byte 24
};
static_assert(sizeof(EFI_HOB_GUID_TYPE) == 24, "GUID-extension HOB header");
static_assert(offsetof(EFI_HOB_GUID_TYPE, Name) == 8, "GUID-extension HOB header");

struct EFI_HOB_MEMORY_ALLOCATION_HEADER {
  EFI_GUID Name;
  EFI_PHYSICAL_ADDRESS MemoryBaseAddress;
  UINT64 MemoryLength;
  EFI_MEMORY_TYPE MemoryType;
  UINT8 Reserved[4];
};

struct EFI_HOB_MEMORY_ALLOCATION {
  EFI_HOB_GENERIC_HEADER Header;
  EFI_HOB_MEMORY_ALLOCATION_HEADER AllocDescriptor;
};
static_assert(sizeof(EFI_HOB_MEMORY_ALLOCATION) == 48, "memory-allocation HOB");
static_assert(offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.Name) == 8, "memory-allocation HOB");
static_assert(offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryBaseAddress) == 24, "memory-allocation HOB");
static_assert(offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryLength) == 32, "memory-allocation HOB");
static_assert(offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryType) == 40, "memory-allocation HOB");
static_assert(offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.Reserved) == 44, "memory-allocation HOB");

// The hand-off HOB that starts every HOB list.
struct EFI_HOB_HANDOFF_INFO_TABLE {
  EFI_HOB_GENERIC_HEADER Header;
  UINT32 Version;
  UINT32 BootMode;
  EFI_PHYSICAL_ADDRESS EfiMemoryTop;
  EFI_PHYSICAL_ADDRESS EfiMemoryBottom;
  EFI_PHYSICAL_ADDRESS EfiFreeMemoryTop;
  EFI_PHYSICAL_ADDRESS EfiFreeMemoryBottom;
  EFI_PHYSICAL_ADDRESS EfiEndOfHobList;
};
static_assert(sizeof(EFI_HOB_HANDOFF_INFO_TABLE) == 56, "hand-off HOB");
static_assert(offsetof(EFI_HOB_HANDOFF_INFO_TABLE, EfiMemoryTop) == 16, "hand-off HOB");
