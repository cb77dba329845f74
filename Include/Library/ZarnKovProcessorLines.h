// The processor lines the flash directory lookup knows: the CPUID signature of each (leaf 0x80000001
// EAX AND 0x0FFF0F00), its combo ID in a combo directory, and which field of the embedded firmware table
// names its level-1 BIOS directory. Plain constants, read by the firmware, the tool and the tests.
#pragma once

#include "ZarnBase.h"

// Bits of leaf 0x80000001 EAX that identify a line: base family, extended model, extended family.
constexpr UINT32 ProcessorSignatureMask = 0x0FFF0F00u;

// Signatures (family 0xF with distinct extended family/model pairs).
constexpr UINT32 ProcessorLineA = 0x00810F00u;
constexpr UINT32 ProcessorLineB = 0x00A10F00u;
constexpr UINT32 ProcessorLineC = 0x00A40F00u;
constexpr UINT32 ProcessorLineD = 0x00B20F00u;
constexpr UINT32 ProcessorLineE = 0x00B60F00u;
// The line on which output block discovery does nothing; it is none of the five above.
constexpr UINT32 ProcessorLineExcluded = 0x00700F00u;

// Combo IDs of the five lines in a combo directory.
constexpr UINT32 ComboIdLineA = 0x0A810F00u;
constexpr UINT32 ComboIdLineB = 0x0BA10F00u;
constexpr UINT32 ComboIdLineC = 0x0CA40F00u;
constexpr UINT32 ComboIdLineD = 0x0DB20F00u;
constexpr UINT32 ComboIdLineE = 0x0EB60F00u;

struct ZarnKovProcessorLine {
  UINT32 Signature;
  UINT32 ComboId;
  UINT8 BiosDirField;  // 1, 2 or 3: BiosDirField1..3 of the embedded firmware table
};

// In the order the lines are tested; the first that matches decides.
inline constexpr ZarnKovProcessorLine ZarnKovProcessorLines[5] = {
    {ProcessorLineA, ComboIdLineA, 1}, {ProcessorLineB, ComboIdLineB, 2}, {ProcessorLineC, ComboIdLineC, 2},
    {ProcessorLineD, ComboIdLineD, 3}, {ProcessorLineE, ComboIdLineE, 3},
};

static_assert((ProcessorLineA & ~ProcessorSignatureMask) == 0 && (ProcessorLineB & ~ProcessorSignatureMask) == 0 &&
                  (ProcessorLineC & ~ProcessorSignatureMask) == 0 && (ProcessorLineD & ~ProcessorSignatureMask) == 0 &&
                  (ProcessorLineE & ~ProcessorSignatureMask) == 0 &&
                  (ProcessorLineExcluded & ~ProcessorSignatureMask) == 0,
              "signatures lie inside the mask");

constexpr bool ZarnKovLinesDistinct() {
  for (int a = 0; a < 5; a++) {
    if (ZarnKovProcessorLines[a].Signature == ProcessorLineExcluded) return false;
    for (int b = a + 1; b < 5; b++) {
      if (ZarnKovProcessorLines[a].Signature == ZarnKovProcessorLines[b].Signature) return false;
      if (ZarnKovProcessorLines[a].ComboId == ZarnKovProcessorLines[b].ComboId) return false;
    }
  }
  return true;
}
static_assert(ZarnKovLinesDistinct(), "signatures and combo IDs are distinct; the excluded line is none of them");
