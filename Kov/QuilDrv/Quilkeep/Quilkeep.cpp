// Quilkeep module entry; the accessor PPI is not installed yet.
#include "Kov/QuilDrv/Quilkeep/Quilkeep.h"

EFI_STATUS QuilkeepDriverEntry(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices) {
  (VOID)FileHandle;
  (VOID)PeiServices;
  return EFI_SUCCESS;
}
