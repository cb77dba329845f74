// ZARN_QUIL_ACCESSOR_PPI: twenty accessor functions in slot order, nothing else.
#pragma once

#include "ZarnBase.h"

typedef EFI_STATUS(EFIAPI *QUIL_GET_BYTE)(UINT8 *Value);
typedef EFI_STATUS(EFIAPI *QUIL_GET_INSTANCE_BYTE)(UINT32 Instance, UINT8 *Value);
typedef EFI_STATUS(EFIAPI *QUIL_GET_INSTANCE_WORD)(UINT32 Instance, UINT16 *Value);
typedef EFI_STATUS(EFIAPI *QUIL_GET_INDEXED_BYTE)(UINT32 Instance, UINT32 Index, UINT8 *Value);
typedef EFI_STATUS(EFIAPI *QUIL_GET_LEVEL2_BYTE)(UINT32 Instance, UINT32 I, UINT32 J, UINT8 *Value);
typedef EFI_STATUS(EFIAPI *QUIL_GET_LEVEL3_BYTE)(UINT32 Instance, UINT32 I, UINT32 J, UINT32 K, UINT8 *Value);
typedef EFI_STATUS(EFIAPI *QUIL_GET_LEVEL3_DATA_BYTE)(UINT32 Instance, UINT32 I, UINT32 J, UINT32 K, UINT32 N,
                                                      UINT8 *Value);
typedef EFI_STATUS(EFIAPI *QUIL_GET_BUFFER)(UINT32 Instance, VOID **Buffer, UINT32 *Size);
typedef EFI_STATUS(EFIAPI *QUIL_GET_RECORD)(UINT32 Instance, UINT32 Index, VOID **Record);
typedef EFI_STATUS(EFIAPI *QUIL_GET_SELECTED_VALUE)(UINT32 Instance, UINT32 Selector, UINT16 *Width, UINT64 *Value);
typedef EFI_STATUS(EFIAPI *QUIL_GET_DWORD)(UINT32 Ignored, UINT32 *Value);

struct ZARN_QUIL_ACCESSOR_PPI {
  QUIL_GET_BYTE GetDornInstanceTrov;                        // 0
  QUIL_GET_BYTE GetDornRecoveryFlagTrov;                    // 1
  QUIL_GET_BYTE GetDimmCfgUpdatedFlagTrov;                  // 2
  QUIL_GET_INDEXED_BYTE GetG3T3Level1ByteTrov;              // 3
  QUIL_GET_LEVEL2_BYTE GetG3T3Level2ByteTrov;               // 4
  QUIL_GET_LEVEL3_BYTE GetG3T3Level3ByteTrov;               // 5
  QUIL_GET_LEVEL3_DATA_BYTE GetG3T3Level3DataByteTrov;      // 6
  QUIL_GET_INDEXED_BYTE GetG1T2ArrayByteTrov;               // 7
  QUIL_GET_INSTANCE_BYTE GetG1T15ByteTrov;                  // 8
  QUIL_GET_BUFFER GetG1T15BufferTrov;                       // 9
  QUIL_GET_INSTANCE_BYTE GetG1T17FirstByteTrov;             // 10
  QUIL_GET_INSTANCE_BYTE GetFixedByteTrov;                  // 11 (first argument ignored)
  QUIL_GET_INSTANCE_BYTE GetG1T17SecondByteTrov;            // 12
  QUIL_GET_RECORD GetG1T17RecordTrov;                       // 13
  QUIL_GET_INSTANCE_WORD GetG1T2FirstWordTrov;              // 14
  QUIL_GET_INSTANCE_WORD GetG1T2SecondWordTrov;             // 15
  QUIL_GET_SELECTED_VALUE GetG1T2SelectedValueTrov;         // 16
  QUIL_GET_DWORD GetG3T2DwordTrov;                          // 17 (first argument ignored)
  QUIL_GET_RECORD GetG3T2RecordTrov;                        // 18 (first argument ignored)
  QUIL_GET_INSTANCE_WORD GetG7T3WordTrov;                   // 19 (first argument ignored)
};
static_assert(sizeof(ZARN_QUIL_ACCESSOR_PPI) == 20 * sizeof(VOID *), "twenty pointers, no other field");
