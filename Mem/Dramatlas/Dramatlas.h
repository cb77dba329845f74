#pragma once

#include "Pi/PiPeiCis.h"
#include "ZarnBase.h"

EFI_STATUS DramatlasEntry(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices);
