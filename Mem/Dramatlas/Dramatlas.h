// Dramatlas: publishes the memory map HOB and the memory configuration data HOB from the
// memory-information PPI, then announces both with the completion PPI.
#pragma once

#include "Guid/MemInfoHob.h"
#include "Guid/MemoryConfigInfoData.h"
#include "Pi/PiPeiCis.h"
#include "Ppi/MemoryInformation.h"
#include "ZarnBase.h"

// The header values that ReadMemorySummary takes from the memory-information PPI.
struct MemorySummary {
  UINT8 Value16Valid;
  UINT16 Value16;
  UINT8 Value8Valid;
  UINT8 Value8;
  UINT8 Value32Valid;
  UINT32 Value32;
  UINT32 Value32B;
};

// The memory map is assembled in this 504-byte area on the stack before the HOB is created:
// the record header and room for twenty descriptors.
constexpr UINT32 MEM_INFO_MAX_DESCRIPTORS = 20;

#pragma pack(push, 1)
struct MemInfoWorkArea {
  UINT32 Version;
  UINT8 Value16Valid;
  UINT16 Value16;
  UINT8 Value8Valid;
  UINT8 Value8;
  UINT8 Value32Valid;
  UINT32 Value32;
  UINT32 Value32B;
  UINT32 NumberOfDescriptor;
  MemRangeDescriptor MemRangeDesc[MEM_INFO_MAX_DESCRIPTORS];
  UINT8 Spare[2];
};
#pragma pack(pop)
static_assert(sizeof(MemInfoWorkArea) == 504, "memory map work area");
static_assert(offsetof(MemInfoWorkArea, Value16) == offsetof(MemInfoHob, Value16), "work area holds the record");
static_assert(offsetof(MemInfoWorkArea, Value32) == offsetof(MemInfoHob, Value32), "work area holds the record");
static_assert(offsetof(MemInfoWorkArea, NumberOfDescriptor) == offsetof(MemInfoHob, NumberOfDescriptor),
              "work area holds the record");
static_assert(offsetof(MemInfoWorkArea, MemRangeDesc) == offsetof(MemInfoHob, MemRangeDesc),
              "work area holds the record");

// One row of the memory configuration layout: where array n's offset goes, its element size, and
// which counts multiply it (bit 0 Dim0Count, bit 1 Dim1Count, bit 2 Dim2Count, bit 3 Dim3Count).
struct ConfigArrayLayoutRow {
  UINT16 OffsetSlot;
  UINT8 ElementSize;
  UINT8 DimensionMask;
};
static_assert(sizeof(ConfigArrayLayoutRow) == 4, "layout row");

constexpr UINT32 NumOfAllocInfoHob = 16;

inline constexpr ConfigArrayLayoutRow ConfigArrayLayout[NumOfAllocInfoHob] = {
    {84, 2, 0x03},  {86, 4, 0x07},  {88, 4, 0x03},  {90, 4, 0x03},  {92, 4, 0x03},  {94, 1, 0x07},
    {96, 1, 0x07},  {98, 1, 0x07},  {100, 1, 0x07}, {102, 1, 0x07}, {104, 1, 0x07}, {106, 1, 0x07},
    {108, 1, 0x07}, {110, 1, 0x07}, {112, 1, 0x07}, {114, 1, 0x07},
};
static_assert(sizeof(ConfigArrayLayout) == 64, "sixteen 4-byte rows");

EFI_STATUS DramatlasEntry(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices);
EFI_STATUS ReadMemorySummary(const EFI_PEI_SERVICES **PeiServices, MemorySummary *Summary);
EFI_STATUS BuildHobInfo(const EFI_PEI_SERVICES **PeiServices, const MemorySummary *Summary);
EFI_STATUS BuildHobMemoryConfigInfoData(const MemoryInformationPpi *Ppi);
EFI_STATUS SetArrayOffsets(MemoryConfigInfoData *Record);
