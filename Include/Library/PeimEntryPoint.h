// Module entry: PeimEntryPoint is shared; each image definition file supplies the other two.
#pragma once

#include "Pi/PiPeiCis.h"
#include "ZarnBase.h"

extern "C" EFI_STATUS EFIAPI PeimEntryPoint(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices);
VOID RunConstructorList(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices);
EFI_STATUS CallModuleEntry(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices);
