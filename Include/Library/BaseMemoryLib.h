#pragma once

#include "ZarnBase.h"

VOID *CopyMem(VOID *DestinationBuffer, const VOID *SourceBuffer, UINTN Length);
VOID *ClearMem(VOID *Buffer, UINTN Length);
