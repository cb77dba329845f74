// The twenty output block accessors of ZARN_QUIL_ACCESSOR_PPI, in slot order. Each reads one field of
// one entry (or hands out a pointer into it) through ZarnKovGetQuilEntryInstance.
//
// Reads stay inside the entry: a field that would end past the entry's EntrySize, or a nested-table
// index beyond its layout (j 0-1, k 0-3, n 0-1), gives EFI_NOT_FOUND with the out-parameters untouched.
#pragma once

#include "ZarnBase.h"

// Slots 0-2: entry 1/16, instance 0.
EFI_STATUS EFIAPI GetDornInstanceTrov(UINT8 *Value);
EFI_STATUS EFIAPI GetDornRecoveryFlagTrov(UINT8 *Value);
EFI_STATUS EFIAPI GetDimmCfgUpdatedFlagTrov(UINT8 *Value);
// Slots 3-6: the nested table of entry 3/3.
EFI_STATUS EFIAPI GetG3T3Level1ByteTrov(UINT32 Instance, UINT32 I, UINT8 *Value);
EFI_STATUS EFIAPI GetG3T3Level2ByteTrov(UINT32 Instance, UINT32 I, UINT32 J, UINT8 *Value);
EFI_STATUS EFIAPI GetG3T3Level3ByteTrov(UINT32 Instance, UINT32 I, UINT32 J, UINT32 K, UINT8 *Value);
EFI_STATUS EFIAPI GetG3T3Level3DataByteTrov(UINT32 Instance, UINT32 I, UINT32 J, UINT32 K, UINT32 N, UINT8 *Value);
// Slots 7-10.
EFI_STATUS EFIAPI GetG1T2ArrayByteTrov(UINT32 Instance, UINT32 Index, UINT8 *Value);
EFI_STATUS EFIAPI GetG1T15ByteTrov(UINT32 Instance, UINT8 *Value);
EFI_STATUS EFIAPI GetG1T15BufferTrov(UINT32 Instance, VOID **Buffer, UINT32 *Size);
EFI_STATUS EFIAPI GetG1T17FirstByteTrov(UINT32 Instance, UINT8 *Value);
// Slot 11: always 8, no lookup.
EFI_STATUS EFIAPI GetFixedByteTrov(UINT32 Ignored, UINT8 *Value);
// Slots 12-16.
EFI_STATUS EFIAPI GetG1T17SecondByteTrov(UINT32 Instance, UINT8 *Value);
EFI_STATUS EFIAPI GetG1T17RecordTrov(UINT32 Instance, UINT32 Index, VOID **Record);
EFI_STATUS EFIAPI GetG1T2FirstWordTrov(UINT32 Instance, UINT16 *Value);
EFI_STATUS EFIAPI GetG1T2SecondWordTrov(UINT32 Instance, UINT16 *Value);
EFI_STATUS EFIAPI GetG1T2SelectedValueTrov(UINT32 Instance, UINT32 Selector, UINT16 *Width, UINT64 *Value);
// Slots 17-19: instance 0 whatever the first argument.
EFI_STATUS EFIAPI GetG3T2DwordTrov(UINT32 Ignored, UINT32 *Value);
EFI_STATUS EFIAPI GetG3T2RecordTrov(UINT32 Ignored, UINT32 Index, VOID **Record);
EFI_STATUS EFIAPI GetG7T3WordTrov(UINT32 Ignored, UINT16 *Value);
