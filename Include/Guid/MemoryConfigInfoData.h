// The memory configuration record, the data of the gMemoryConfigInfoDataHobGuid HOB (header part).
#pragma once

#include "Ppi/MemoryInformation.h"
#include "ZarnBase.h"

struct MemoryConfigInfoData {
  UINT32 Version;
  UINT8 Dim0Count;
  UINT8 Dim1Count;
  UINT8 Dim2Count;
  UINT8 Dim3Count;
  MemoryConfigScalars Scalars;                        // 8
  UINT16 ArrayOffset[MEMORY_CONFIG_ARRAY_COUNT];      // 84
  // Array0 .. Array15 follow at 116, back to back.
};
static_assert(offsetof(MemoryConfigInfoData, Dim0Count) == 4, "memory configuration record");
static_assert(offsetof(MemoryConfigInfoData, Scalars) == 8, "memory configuration record");
static_assert(offsetof(MemoryConfigInfoData, ArrayOffset) == 84, "memory configuration record");
static_assert(sizeof(MemoryConfigInfoData) == 116, "memory configuration record");

constexpr UINT32 MEMORY_CONFIG_INFO_DATA_VERSION = 0x00000400u;
