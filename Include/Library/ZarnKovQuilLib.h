// Output block lookup (info record, entries of a group and type, the entry of an instance) and the
// library constructor that discovers the block at start-up.
//
// Entry pointers handed out cover the whole entry (EntrySize bytes) as mapped through the platform seam:
// any byte below the entry's EntrySize may be read through them.
#pragma once

#include "Guid/QuilInfo.h"
#include "Kov/QuilFormat.h"
#include "ZarnBase.h"

// Size of the instance lookup's own entry array.
constexpr UINT32 QUIL_INSTANCE_LOOKUP_CAPACITY = 256;

// *Info = the record in the gZarnQuilInfoHobGuid HOB. EFI_UNSUPPORTED when Info is null or the HOB is
// missing (or too short to hold the record).
EFI_STATUS ZarnKovGetQuilInfo(QuilInfo **Info);

// Collects the entries of Group and Type, in walk order, from the block in DRAM (NonVolatile FALSE) or its
// copy in flash. *Count receives the number of matches; the first Capacity of them are stored in
// Entries. EFI_SUCCESS when at least one matched and all fit, EFI_BUFFER_TOO_SMALL when more matched
// than Capacity, else EFI_NOT_FOUND or EFI_UNSUPPORTED.
EFI_STATUS ZarnKovGetQuilEntry(UINT32 Group, UINT32 Type, BOOLEAN NonVolatile, UINT32 *Count, QuilEntryHeader **Entries,
                               UINT32 Capacity);

// The one entry of Group, Type and Instance. EFI_NOT_FOUND when there is none, EFI_UNSUPPORTED when
// several have the instance or the group and type have more than QUIL_INSTANCE_LOOKUP_CAPACITY entries.
EFI_STATUS ZarnKovGetQuilEntryInstance(UINT32 Group, UINT32 Type, UINT32 Instance, BOOLEAN NonVolatile,
                                       QuilEntryHeader **Entry);

// Finds the block through BIOS directory entry type 0x61, checks it and publishes the info HOB and a
// 16 MiB memory-allocation HOB. Always EFI_SUCCESS.
EFI_STATUS ZarnKovQuilLibConstructor(VOID);
