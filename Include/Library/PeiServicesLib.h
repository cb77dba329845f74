// Access to the PEI services table through the cell below the IDT base.
#pragma once

#include "Pi/PiPeiCis.h"
#include "ZarnBase.h"

const EFI_PEI_SERVICES **ReadPeiServicesTablePointer(VOID);
EFI_STATUS ServicesLocatePpi(const EFI_GUID *Guid, UINTN Instance, EFI_PEI_PPI_DESCRIPTOR **PpiDescriptor,
                             VOID **Ppi);
EFI_STATUS ServicesGetHobList(VOID **HobList);
EFI_STATUS ServicesCreateHob(UINT16 Type, UINT16 Length, VOID **Hob);
