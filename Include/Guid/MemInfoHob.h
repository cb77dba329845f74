// The memory map record, the data of the gZarnMemoryInfoHobGuid HOB. Byte-packed.
#pragma once

#include "ZarnBase.h"

#pragma pack(push, 1)
struct MemRangeDescriptor {
  UINT64 Base;
  UINT64 Size;
  UINT32 Attribute;
  UINT32 Reserved;
};

struct MemInfoHob {
  UINT32 Version;
  UINT8 Value16Valid;
  UINT16 Value16;
  UINT8 Value8Valid;
  UINT8 Value8;
  UINT8 Value32Valid;
  UINT32 Value32;
  UINT32 Value32B;
  UINT32 NumberOfDescriptor;
  MemRangeDescriptor MemRangeDesc[1];  // NumberOfDescriptor of them
};
#pragma pack(pop)

static_assert(sizeof(MemRangeDescriptor) == 24, "memory range descriptor");
static_assert(offsetof(MemRangeDescriptor, Attribute) == 16, "memory range descriptor");
static_assert(offsetof(MemInfoHob, Value16Valid) == 4, "memory map record");
static_assert(offsetof(MemInfoHob, Value16) == 5, "memory map record");
static_assert(offsetof(MemInfoHob, Value8Valid) == 7, "memory map record");
static_assert(offsetof(MemInfoHob, Value8) == 8, "memory map record");
static_assert(offsetof(MemInfoHob, Value32Valid) == 9, "memory map record");
static_assert(offsetof(MemInfoHob, Value32) == 10, "memory map record");
static_assert(offsetof(MemInfoHob, Value32B) == 14, "memory map record");
static_assert(offsetof(MemInfoHob, NumberOfDescriptor) == 18, "memory map record");
static_assert(offsetof(MemInfoHob, MemRangeDesc) == 22, "memory map record");

constexpr UINT32 MEM_INFO_HOB_VERSION = 0x00000110u;
constexpr UINTN MEM_INFO_HOB_HEADER_SIZE = 22;

enum : UINT32 {
  MEM_RANGE_ATTRIBUTE_MEMORY = 1,
  MEM_RANGE_ATTRIBUTE_HOLE_TYPE0 = 2,
  MEM_RANGE_ATTRIBUTE_HOLE_TYPE1 = 3,
  MEM_RANGE_ATTRIBUTE_HOLE_OTHER = 4,
};
