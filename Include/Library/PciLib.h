// PCI configuration access through mechanism 1 (0xCF8/0xCFC), extended registers included.
#pragma once

#include "ZarnBase.h"

// Bus << 20 | Device << 15 | Function << 12 | Register.
constexpr UINTN PciConfigAddress(UINTN Bus, UINTN Device, UINTN Function, UINTN Register) {
  return (Bus << 20) | (Device << 15) | (Function << 12) | Register;
}

UINT8 PciConfigRead8(UINTN Address);
UINT8 PciConfigOr8(UINTN Address, UINT8 OrData);
UINT16 PciConfigRead16(UINTN Address);
UINT16 PciConfigWrite16(UINTN Address, UINT16 Value);
UINT16 PciConfigOr16(UINTN Address, UINT16 OrData);
UINT16 PciConfigAnd16(UINTN Address, UINT16 AndData);
UINT32 PciConfigRead32(UINTN Address);
UINT32 PciConfigWrite32(UINTN Address, UINT32 Value);
UINT32 GetExtCfgEnableAddress(VOID);
