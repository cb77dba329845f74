// Flash directory lookup. Flash tables are untrusted input: every read maps exactly the bytes it needs
// through the platform seam, and a stored EntryCount is honoured only while the entries it covers stay
// below 4 GiB, so neither the checksum nor a search can run off the end of the flash window.
#include "Library/ZarnKovBaseLibV2.h"

#include "Kov/FlashDirectory.h"
#include "Library/BaseLib.h"
#include "Library/DebugLib.h"
#include "Platform/Seam.h"

namespace {

constexpr UINT64 AddressSpaceEnd = 0x100000000ull;
constexpr UINT32 KovDirEntrySize = sizeof(KovDirectoryEntry);
constexpr UINT32 BiosDirEntrySize = sizeof(BiosDirectoryEntry);
constexpr UINT32 ChecksumBlockWords = 359;  // the most words whose sums cannot overflow 32 bits
constexpr UINT8 AnyInstance = 0xFF;

// Probe order: 0x20000 above the start of a 512 KiB, 1, 2, 4, 8 and 16 MiB flash ending at 4 GiB.
constexpr UINT32 EmbeddedFirmwareProbes[6] = {0xFFFA0000u, 0xFFF20000u, 0xFFE20000u,
                                              0xFFC20000u, 0xFF820000u, 0xFF020000u};

inline const UINT8 *MapPhysical(UINT64 Address, UINT64 Length) {
  return static_cast<const UINT8 *>(PlatformPhysicalToPointer(Address, Length));
}

inline UINT32 FlashPointerToAddress(UINT32 Pointer) { return Pointer | FLASH_POINTER_BASE; }

inline UINT32 FoldSum(UINT32 Sum) { return (Sum & 0xFFFFu) + (Sum >> 16); }

// Length of a directory of EntryCount entries after a HeaderSize-byte header, or 0 when it would pass
// 4 GiB.
UINT64 BoundedDirectoryLength(UINT32 Address, UINT32 HeaderSize, UINT32 EntryCount, UINT32 EntrySize) {
  const UINT64 Length = HeaderSize + static_cast<UINT64>(EntryCount) * EntrySize;
  return Address + Length > AddressSpaceEnd ? 0 : Length;
}

// Maps a directory with its whole entry array; null when the header or the array is not there or the
// array would pass 4 GiB.
const UINT8 *MapDirectory(UINT32 Address, UINT32 EntrySize, UINT32 *EntryCount) {
  const UINT8 *Header = MapPhysical(Address, sizeof(DirectoryHeader));
  if (Header == nullptr) {
    return nullptr;
  }
  const UINT32 Count = UnalignedRead32(Header + offsetof(DirectoryHeader, EntryCount));
  const UINT64 Length = BoundedDirectoryLength(Address, sizeof(DirectoryHeader), Count, EntrySize);
  if (Length == 0) {
    return nullptr;
  }
  *EntryCount = Count;
  return MapPhysical(Address, Length);
}

BOOLEAN ValidateDirectory(UINT32 Address, UINT32 ExpectedSignature, UINT32 EntrySize) {
  const UINT8 *Header = MapPhysical(Address, sizeof(DirectoryHeader));
  if (Header == nullptr || UnalignedRead32(Header + offsetof(DirectoryHeader, Signature)) != ExpectedSignature) {
    return FALSE;
  }
  UINT32 EntryCount = 0;
  const UINT8 *Directory = MapDirectory(Address, EntrySize, &EntryCount);
  if (Directory == nullptr) {
    return FALSE;
  }
  // The bound above keeps EntryCount * EntrySize + 8 within 32 bits.
  const UINT32 WordCount = (EntryCount * EntrySize + 8) / 2;
  const UINT32 Checksum = ZarnKovDirChecksum(
      reinterpret_cast<const UINT16 *>(Directory + offsetof(DirectoryHeader, EntryCount)), WordCount);
  return Checksum == UnalignedRead32(Directory + offsetof(DirectoryHeader, Checksum));
}

// Step 4 of the entry lookup: the first entry of the type and instance in one BIOS directory.
BOOLEAN SearchBiosDir(UINT32 Address, UINT8 EntryType, UINT8 Instance, UINT32 *TypeAttributes, UINT64 *Location,
                      UINT32 *Size, UINT64 *Destination) {
  UINT32 EntryCount = 0;
  const UINT8 *Directory = MapDirectory(Address, BiosDirEntrySize, &EntryCount);
  if (Directory == nullptr) {
    return FALSE;
  }
  for (UINT32 Index = 0; Index < EntryCount; Index++) {
    const UINT8 *Entry = Directory + sizeof(DirectoryHeader) + static_cast<UINTN>(Index) * BiosDirEntrySize;
    const UINT32 Attributes = UnalignedRead32(Entry + offsetof(BiosDirectoryEntry, TypeAttributes));
    if ((Attributes & 0xFFu) != EntryType) {
      continue;
    }
    if (Instance != AnyInstance && ((Attributes >> 20) & 0x0Fu) != Instance) {
      continue;
    }
    const UINT64 StoredLocation = UnalignedRead64(Entry + offsetof(BiosDirectoryEntry, Location));
    *TypeAttributes = Attributes;
    *Location = (StoredLocation & 0xFFFFFFFF00000000ull) | FlashPointerToAddress(static_cast<UINT32>(StoredLocation));
    *Size = UnalignedRead32(Entry + offsetof(BiosDirectoryEntry, Size));
    *Destination = UnalignedRead64(Entry + offsetof(BiosDirectoryEntry, Destination));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

BOOLEAN ZarnKovCheckProcessorSignature(UINT32 Signature) {
  UINT32 Eax = 0;
  ReadCpuid(0x80000001u, &Eax, nullptr, nullptr, nullptr);
  return (Eax & ProcessorSignatureMask) == Signature;
}

UINT32 ZarnKovDirChecksum(const UINT16 *Words, UINT32 WordCount) {
  // Read byte by byte: directories may sit at any address.
  const UINT8 *Bytes = reinterpret_cast<const UINT8 *>(Words);
  UINT32 Sum1 = 0xFFFFu;
  UINT32 Sum2 = 0xFFFFu;
  while (WordCount > 0) {
    UINT32 Block = WordCount < ChecksumBlockWords ? WordCount : ChecksumBlockWords;
    WordCount -= Block;
    for (; Block > 0; Block--, Bytes += 2) {
      Sum1 += static_cast<UINT32>(Bytes[0]) | (static_cast<UINT32>(Bytes[1]) << 8);
      Sum2 += Sum1;
    }
    Sum1 = FoldSum(Sum1);
    Sum2 = FoldSum(Sum2);
  }
  Sum1 = FoldSum(Sum1);
  Sum2 = FoldSum(Sum2);
  return (Sum2 << 16) | Sum1;
}

BOOLEAN ZarnKovValidateKovDir(UINT32 DirAddress, UINT32 ExpectedSignature) {
  return ValidateDirectory(DirAddress, ExpectedSignature, KovDirEntrySize);
}

BOOLEAN ZarnKovValidateBiosDir(UINT32 DirAddress, UINT32 ExpectedSignature) {
  return ValidateDirectory(DirAddress, ExpectedSignature, BiosDirEntrySize);
}

BOOLEAN ZarnKovFindComboEntry(UINT32 ComboAddress, UINT32 ComboId, UINT32 *KovDirAddress) {
  const UINT8 *Header = MapPhysical(ComboAddress, sizeof(ComboDirectoryHeader));
  if (Header == nullptr ||
      UnalignedRead32(Header + offsetof(ComboDirectoryHeader, Signature)) != COMBO_DIRECTORY_SIGNATURE) {
    return FALSE;
  }
  const UINT32 EntryCount = UnalignedRead32(Header + offsetof(ComboDirectoryHeader, EntryCount));
  const UINT64 Length =
      BoundedDirectoryLength(ComboAddress, sizeof(ComboDirectoryHeader), EntryCount, sizeof(ComboDirectoryEntry));
  const UINT8 *Combo = Length == 0 ? nullptr : MapPhysical(ComboAddress, Length);
  if (Combo == nullptr) {
    return FALSE;
  }
  for (UINT32 Index = 0; Index < EntryCount; Index++) {
    const UINT8 *Entry = Combo + sizeof(ComboDirectoryHeader) + static_cast<UINTN>(Index) * sizeof(ComboDirectoryEntry);
    if (UnalignedRead32(Entry + offsetof(ComboDirectoryEntry, ComboId)) == ComboId) {
      *KovDirAddress = FlashPointerToAddress(UnalignedRead32(Entry + offsetof(ComboDirectoryEntry, DirPointer)));
      return TRUE;
    }
  }
  return FALSE;
}

BOOLEAN ZarnKovGetDirectories(UINT32 *KovDirAddress, UINT32 *BiosDirAddress) {
  const ZarnKovProcessorLine *Line = nullptr;
  for (const ZarnKovProcessorLine &Candidate : ZarnKovProcessorLines) {
    if (ZarnKovCheckProcessorSignature(Candidate.Signature)) {
      Line = &Candidate;
      break;
    }
  }
  if (Line == nullptr) {
    return FALSE;
  }

  const UINT8 *Table = nullptr;
  for (const UINT32 Probe : EmbeddedFirmwareProbes) {
    const UINT8 *Signature = MapPhysical(Probe, sizeof(UINT32));
    if (Signature != nullptr && UnalignedRead32(Signature) == EMBEDDED_FIRMWARE_SIGNATURE) {
      Table = MapPhysical(Probe, sizeof(EmbeddedFirmwareTable));
      break;
    }
  }
  if (Table == nullptr) {
    return FALSE;
  }

  const UINTN FieldOffset = offsetof(EmbeddedFirmwareTable, BiosDirField1) + sizeof(UINT32) * (Line->BiosDirField - 1u);
  *BiosDirAddress = FlashPointerToAddress(UnalignedRead32(Table + FieldOffset));

  const UINT32 KovDirPointer =
      FlashPointerToAddress(UnalignedRead32(Table + offsetof(EmbeddedFirmwareTable, KovDirPointer)));
  if (!ZarnKovFindComboEntry(KovDirPointer, Line->ComboId, KovDirAddress)) {
    *KovDirAddress = KovDirPointer;
  }

  const BOOLEAN KovDirSigValid = ZarnKovValidateKovDir(*KovDirAddress, KOV_DIRECTORY_SIGNATURE);
  const BOOLEAN BiosDirSigValid = ZarnKovValidateBiosDir(*BiosDirAddress, BIOS_DIRECTORY_SIGNATURE);
  ASSERT(KovDirSigValid);
  ASSERT(BiosDirSigValid);
  return KovDirSigValid && BiosDirSigValid;
}

BOOLEAN ZarnKovGetBiosDirEntry(UINT8 EntryType, UINT8 Instance, UINT32 *TypeAttributes, UINT64 *Location, UINT32 *Size,
                               UINT64 *Destination) {
  UINT32 KovDirAddress = 0;
  UINT32 BiosDirAddress = 0;
  if (!ZarnKovGetDirectories(&KovDirAddress, &BiosDirAddress)) {
    return FALSE;
  }

  if (EntryType != BiosDirLevel2Type) {
    UINT32 Level2Attributes = 0;
    UINT64 Level2Location = 0;
    UINT32 Level2Size = 0;
    UINT64 Level2Destination = 0;
    if (ZarnKovGetBiosDirEntry(BiosDirLevel2Type, AnyInstance, &Level2Attributes, &Level2Location, &Level2Size,
                               &Level2Destination)) {
      const UINT32 Level2Address = static_cast<UINT32>(Level2Location);
      if (ZarnKovValidateBiosDir(Level2Address, BIOS_L2_DIRECTORY_SIGNATURE) &&
          SearchBiosDir(Level2Address, EntryType, Instance, TypeAttributes, Location, Size, Destination)) {
        return TRUE;
      }
    }
  }

  return SearchBiosDir(BiosDirAddress, EntryType, Instance, TypeAttributes, Location, Size, Destination);
}
