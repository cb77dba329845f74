// Serial console on the two 16550 UARTs, with Super I/O start-up.
#pragma once

#include "ZarnBase.h"

EFI_STATUS SerialInitialize(VOID);
UINTN SerialWrite(const UINT8 *Buffer, UINTN NumberOfBytes);
UINT8 SerialRegisterRead(UINTN Base, UINTN Offset);
UINT8 SerialRegisterWrite(UINTN Base, UINTN Offset, UINT8 Value);
BOOLEAN SerialWritable(UINTN Base);
UINTN SerialFindRegisterBase(VOID);
UINT32 SerialUpdatePciBar(UINTN Address, UINT32 Value, UINT32 Mask);
EFI_STATUS SerialPlatformInitialize(VOID);
VOID SuperIoInitialize(VOID);
