// Flash directory lookup: processor line, embedded firmware table, Kov and BIOS directories.
//
// Directory and table arguments are 32-bit physical addresses in the flash window; every read maps its
// exact range through PlatformPhysicalToPointer, and a range the platform refuses makes the lookup fail.
// A directory (or combo directory) whose stored EntryCount would take its entries past 4 GiB is invalid.
#pragma once

#include "Library/ZarnKovProcessorLines.h"
#include "ZarnBase.h"

// TRUE when CPUID leaf 0x80000001 EAX AND ProcessorSignatureMask equals Signature.
BOOLEAN ZarnKovCheckProcessorSignature(UINT32 Signature);

// Fletcher-32 over WordCount 16-bit little-endian words at Words (any alignment).
UINT32 ZarnKovDirChecksum(const UINT16 *Words, UINT32 WordCount);

// TRUE when the directory at DirAddress has ExpectedSignature and its checksum matches, with 16-byte
// (Kov) or 24-byte (BIOS) entries.
BOOLEAN ZarnKovValidateKovDir(UINT32 DirAddress, UINT32 ExpectedSignature);
BOOLEAN ZarnKovValidateBiosDir(UINT32 DirAddress, UINT32 ExpectedSignature);

// TRUE when the "2KOV" directory at ComboAddress has an entry for ComboId; its DirPointer, converted to
// an address, is written to *KovDirAddress. Untouched otherwise.
BOOLEAN ZarnKovFindComboEntry(UINT32 ComboAddress, UINT32 ComboId, UINT32 *KovDirAddress);

// TRUE when the embedded firmware table was found and both directories are valid. Both outputs are
// written once the table was found, whatever the validation says.
BOOLEAN ZarnKovGetDirectories(UINT32 *KovDirAddress, UINT32 *BiosDirAddress);

// TRUE when a BIOS directory entry of EntryType and Instance (0xFF: any) was found, level 2 first.
// Outputs are written only then.
BOOLEAN ZarnKovGetBiosDirEntry(UINT8 EntryType, UINT8 Instance, UINT32 *TypeAttributes, UINT64 *Location, UINT32 *Size,
                               UINT64 *Destination);
