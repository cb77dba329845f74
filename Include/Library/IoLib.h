// Port I/O and single-byte memory-mapped register access.
#pragma once

#include "ZarnBase.h"

UINT8 PortRead8(UINTN Port);
UINT8 PortWrite8(UINTN Port, UINT8 Value);
UINT16 PortRead16(UINTN Port);
UINT16 PortWrite16(UINTN Port, UINT16 Value);
UINT32 PortRead32(UINTN Port);
UINT32 PortWrite32(UINTN Port, UINT32 Value);
UINT8 PortOr8(UINTN Port, UINT8 OrData);
UINT16 PortOr16(UINTN Port, UINT16 OrData);
UINT16 PortAnd16(UINTN Port, UINT16 AndData);
UINT8 MmioByteRead(UINTN Address);
UINT8 MmioByteWrite(UINTN Address, UINT8 Value);
