// Hands a module's own progress messages, unformatted, to the platform's debug-print PPI.
#pragma once

#include "ZarnBase.h"

constexpr UINT64 DRAMATLAS_MESSAGE_CLASS = 0x0004000000000000ull;
constexpr UINT64 QUILKEEP_MESSAGE_CLASS = 0x0000000080000000ull;

VOID ZarnModuleMessage(UINT64 MessageClass, const CHAR8 *Format, ...);
