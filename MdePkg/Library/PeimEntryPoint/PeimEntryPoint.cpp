// The image entry point shared by both deliverables: revision check, constructor list, module entry.
#include "Library/PeimEntryPoint.h"

#include "Library/DebugLib.h"
#include "Library/PcdLib.h"

extern "C" EFI_STATUS EFIAPI PeimEntryPoint(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices) {
  // A required revision of 0 switches the check off, and then the table is not read at all.
  if (_gPeimRevision != 0) {
    ASSERT((*PeiServices)->Hdr.Revision >= _gPeimRevision);
  }
  // Constructor failures are reported inside the list and never reach the returned status.
  RunConstructorList(FileHandle, PeiServices);
  return CallModuleEntry(FileHandle, PeiServices);
}
