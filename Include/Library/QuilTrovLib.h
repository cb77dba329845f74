// The twenty output block accessors of ZARN_QUIL_ACCESSOR_PPI, in slot order. Each reads one field of
// one entry (or hands out a pointer into it) through ZarnKovGetQuilEntryInstance.
//
// Reads stay inside the entry: a field that would end past the entry's EntrySize, or a nested-table
// index beyond its layout (j 0-1, k 0-3, n 0-1), gives EFI_NOT_FOUND with the out-parameters untouched.
#pragma once

#include "ZarnBase.h"

EFI_STATUS EFIAPI GetDornInstanceTrov(UINT8 *Value);                                              // 0
EFI_STATUS EFIAPI GetDornRecoveryFlagTrov(UINT8 *Value);                                          // 1
EFI_STATUS EFIAPI GetDimmCfgUpdatedFlagTrov(UINT8 *Value);                                        // 2
EFI_STATUS EFIAPI GetG3T3Level1ByteTrov(UINT32 Instance, UINT32 I, UINT8 *Value);                 // 3
EFI_STATUS EFIAPI GetG3T3Level2ByteTrov(UINT32 Instance, UINT32 I, UINT32 J, UINT8 *Value);       // 4
EFI_STATUS EFIAPI GetG3T3Level3ByteTrov(UINT32 Instance, UINT32 I, UINT32 J, UINT32 K, UINT8 *Value);  // 5
EFI_STATUS EFIAPI GetG3T3Level3DataByteTrov(UINT32 Instance, UINT32 I, UINT32 J, UINT32 K, UINT32 N,
                                            UINT8 *Value);                                        // 6
EFI_STATUS EFIAPI GetG1T2ArrayByteTrov(UINT32 Instance, UINT32 Index, UINT8 *Value);              // 7
EFI_STATUS EFIAPI GetG1T15ByteTrov(UINT32 Instance, UINT8 *Value);                                // 8
EFI_STATUS EFIAPI GetG1T15BufferTrov(UINT32 Instance, VOID **Buffer, UINT32 *Size);               // 9
EFI_STATUS EFIAPI GetG1T17FirstByteTrov(UINT32 Instance, UINT8 *Value);                           // 10
EFI_STATUS EFIAPI GetFixedByteTrov(UINT32 Ignored, UINT8 *Value);                                 // 11
EFI_STATUS EFIAPI GetG1T17SecondByteTrov(UINT32 Instance, UINT8 *Value);                          // 12
EFI_STATUS EFIAPI GetG1T17RecordTrov(UINT32 Instance, UINT32 Index, VOID **Record);               // 13
EFI_STATUS EFIAPI GetG1T2FirstWordTrov(UINT32 Instance, UINT16 *Value);                           // 14
EFI_STATUS EFIAPI GetG1T2SecondWordTrov(UINT32 Instance, UINT16 *Value);                          // 15
EFI_STATUS EFIAPI GetG1T2SelectedValueTrov(UINT32 Instance, UINT32 Selector, UINT16 *Width,
                                           UINT64 *Value);                                        // 16
EFI_STATUS EFIAPI GetG3T2DwordTrov(UINT32 Ignored, UINT32 *Value);                                // 17
EFI_STATUS EFIAPI GetG3T2RecordTrov(UINT32 Ignored, UINT32 Index, VOID **Record);                 // 18
EFI_STATUS EFIAPI GetG7T3WordTrov(UINT32 Ignored, UINT16 *Value);                                 // 19
