#pragma once

#include "ZarnBase.h"

EFI_STATUS AcpiTimerLibConstructor(VOID);
