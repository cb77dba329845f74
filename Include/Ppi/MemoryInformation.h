// The memory-initialization module's memory-information PPI, as Dramatlas reads it.
#pragma once

#include "Pi/PiPeiCis.h"
#include "ZarnBase.h"

// 24 bytes each, back to back.
struct HoleMapEntry {
  UINT64 Base;
  UINT64 Size;
  UINT32 Type;
  UINT32 Reserved;
};
static_assert(sizeof(HoleMapEntry) == 24, "hole-map entry");
static_assert(offsetof(HoleMapEntry, Type) == 16, "hole-map entry");

// Flag at byte 0, byte 1 unused, Value at byte 2.
struct FlaggedValue {
  UINT8 Flag;
  UINT8 Reserved;
  UINT16 Value;
};
static_assert(sizeof(FlaggedValue) == 4 && offsetof(FlaggedValue, Value) == 2, "FlaggedValue");

struct ValuePair {
  UINT16 First;
  UINT16 Second;
};
static_assert(sizeof(ValuePair) == 4 && offsetof(ValuePair, Second) == 2, "ValuePair");

// The 23 settings, laid out as at record offsets 8..83 (offsets here are relative to Scalar0).
struct MemoryConfigScalars {
  FlaggedValue Scalar0;
  FlaggedValue Scalar1;
  UINT16 Scalar2;
  UINT16 Scalar3;
  FlaggedValue Scalar4;
  FlaggedValue Scalar5;
  FlaggedValue Scalar6;
  FlaggedValue Scalar7;
  FlaggedValue Scalar8;
  FlaggedValue Scalar9;
  UINT16 Scalar10;
  UINT16 Scalar11;
  UINT16 Scalar12;
  UINT16 Scalar13;
  FlaggedValue Scalar14;
  FlaggedValue Scalar15;
  FlaggedValue Scalar16;
  FlaggedValue Scalar17;
  FlaggedValue Scalar18;
  UINT16 Scalar19;
  UINT16 Scalar20;
  FlaggedValue Scalar21;
  FlaggedValue Scalar22;
};
static_assert(sizeof(MemoryConfigScalars) == 76, "settings block");
static_assert(offsetof(MemoryConfigScalars, Scalar2) == 16 - 8, "settings block");
static_assert(offsetof(MemoryConfigScalars, Scalar10) == 44 - 8, "settings block");
static_assert(offsetof(MemoryConfigScalars, Scalar14) == 52 - 8, "settings block");
static_assert(offsetof(MemoryConfigScalars, Scalar19) == 72 - 8, "settings block");
static_assert(offsetof(MemoryConfigScalars, Scalar21) == 76 - 8, "settings block");
static_assert(offsetof(MemoryConfigScalars, Scalar22) == 80 - 8, "settings block");

typedef EFI_STATUS(EFIAPI *MEMORY_INFORMATION_GET_HOLE_MAP)(const EFI_PEI_SERVICES **PeiServices, UINT32 *NumOfHoles,
                                                            UINT64 *TopOfMemory, HoleMapEntry **HoleMapPtr);

constexpr UINTN MEMORY_CONFIG_ARRAY_COUNT = 16;

// Fields not listed are the producer's own and never read by Dramatlas.
struct MemoryInformationPpi {
  UINT8 ProducerPrivate0[24];
  UINT32 Value32;  // 24
  UINT16 Value16;  // 28
  UINT8 ProducerPrivate1[2];
  UINT8 Value8Valid;  // 32
  UINT8 Value8;       // 33
  UINT8 ProducerPrivate2[14];
  UINT32 Value32B;                             // 48
  MEMORY_INFORMATION_GET_HOLE_MAP GetHoleMap;  // 52 on IA32
  UINT32 ProducerPrivate3[2];
  UINT8 Dim0Count;  // 64 on IA32
  UINT8 Dim1Count;
  UINT8 Dim2Count;
  UINT8 Dim3Count;
  const VOID *ArraySource[MEMORY_CONFIG_ARRAY_COUNT];  // 68 on IA32
  MemoryConfigScalars Scalars;                          // 132 on IA32
};
static_assert(offsetof(MemoryInformationPpi, Value32) == 24, "memory-information PPI");
static_assert(offsetof(MemoryInformationPpi, Value16) == 28, "memory-information PPI");
static_assert(offsetof(MemoryInformationPpi, Value8Valid) == 32, "memory-information PPI");
static_assert(offsetof(MemoryInformationPpi, Value8) == 33, "memory-information PPI");
static_assert(offsetof(MemoryInformationPpi, Value32B) == 48, "memory-information PPI");
#if ZARN_IA32
static_assert(offsetof(MemoryInformationPpi, GetHoleMap) == 52, "memory-information PPI on IA32");
static_assert(offsetof(MemoryInformationPpi, Dim0Count) == 64, "memory-information PPI on IA32");
static_assert(offsetof(MemoryInformationPpi, ArraySource) == 68, "memory-information PPI on IA32");
static_assert(offsetof(MemoryInformationPpi, Scalars) == 132, "memory-information PPI on IA32");
static_assert(sizeof(MemoryInformationPpi) == 208, "memory-information PPI on IA32");
#endif
