// The boot-flash tables that lead to the output block. Little-endian, byte-exact.
#pragma once

#include "ZarnBase.h"

constexpr UINT32 EMBEDDED_FIRMWARE_SIGNATURE = 0x55AA55AAu;
constexpr UINT32 KOV_DIRECTORY_SIGNATURE = 0x564F4B24u;    // "$KOV"
constexpr UINT32 COMBO_DIRECTORY_SIGNATURE = 0x564F4B32u;  // "2KOV"
constexpr UINT32 BIOS_DIRECTORY_SIGNATURE = 0x44484224u;   // "$BHD"
constexpr UINT32 BIOS_L2_DIRECTORY_SIGNATURE = 0x324C4224u;  // "$BL2"
constexpr UINT32 FLASH_POINTER_BASE = 0xFF000000u;

enum : UINT8 {
  QuilBiosDirType = 0x61,
  QuilNvBiosDirType = 0x63,
  BiosDirLevel2Type = 0x70,
};

struct EmbeddedFirmwareTable {
  UINT32 Signature;
  UINT8 NotInterpreted[0x10];
  UINT32 KovDirPointer;
  UINT32 BiosDirField1;
  UINT32 BiosDirField2;
  UINT32 BiosDirField3;
};
static_assert(sizeof(EmbeddedFirmwareTable) == 0x24, "embedded firmware table");
static_assert(offsetof(EmbeddedFirmwareTable, KovDirPointer) == 0x14, "embedded firmware table");
static_assert(offsetof(EmbeddedFirmwareTable, BiosDirField3) == 0x20, "embedded firmware table");

struct DirectoryHeader {
  UINT32 Signature;
  UINT32 Checksum;
  UINT32 EntryCount;
  UINT32 HeaderInfo;
};
static_assert(sizeof(DirectoryHeader) == 16, "directory header");

struct KovDirectoryEntry {
  UINT8 NotInterpreted[16];
};
static_assert(sizeof(KovDirectoryEntry) == 16, "Kov directory entry");

struct BiosDirectoryEntry {
  UINT32 TypeAttributes;
  UINT32 Size;
  UINT64 Location;
  UINT64 Destination;
};
static_assert(sizeof(BiosDirectoryEntry) == 24, "BIOS directory entry");
static_assert(offsetof(BiosDirectoryEntry, Location) == 8, "BIOS directory entry");
static_assert(offsetof(BiosDirectoryEntry, Destination) == 16, "BIOS directory entry");

struct ComboDirectoryHeader {
  UINT32 Signature;
  UINT32 NotRead0;
  UINT32 EntryCount;
  UINT8 NotRead1[20];
};
static_assert(sizeof(ComboDirectoryHeader) == 32, "combo directory header");

struct ComboDirectoryEntry {
  UINT32 NotRead0;
  UINT32 ComboId;
  UINT32 DirPointer;
  UINT32 NotRead1;
};
static_assert(sizeof(ComboDirectoryEntry) == 16, "combo directory entry");
