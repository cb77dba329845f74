// Dramatlas module entry; the memory map and configuration HOBs are not built yet.
#include "Mem/Dramatlas/Dramatlas.h"

EFI_STATUS DramatlasEntry(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices) {
  (VOID)FileHandle;
  (VOID)PeiServices;
  return EFI_SUCCESS;
}
