// The output block that the security coprocessor leaves in DRAM. Little-endian, byte-exact.
#pragma once

#include "ZarnBase.h"

constexpr UINT32 QUIL_SIGNATURE = 0x4C495551u;  // "QUIL"
constexpr UINT32 QUIL_MIN_VERSION = 5;

struct QuilHeader {
  UINT32 Signature;
  UINT32 Version;
  UINT32 Size;
  UINT32 OffsetOfFirstEntry;
};
static_assert(sizeof(QuilHeader) == 16, "output block header");

struct QuilEntryHeader {
  UINT32 Group;
  UINT32 Type;
  UINT32 Instance;
  UINT32 EntrySize;
};
static_assert(sizeof(QuilEntryHeader) == 16, "output block entry header");
