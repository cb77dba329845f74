// Image definition of Quilkeep: base name, build-time constants, constructor list and module entry.
#include "Library/AcpiTimerLib.h"
#include "Library/DebugLib.h"
#include "Library/PcdBuildValues.h"
#include "Library/PeimEntryPoint.h"
#include "Library/SerialConsole.h"
#include "Library/ZarnKovQuilLib.h"
#include "Kov/QuilDrv/Quilkeep/Quilkeep.h"
#include "Platform/Seam.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "Quilkeep";

static VOID RunConstructor(const CHAR8 *Name, EFI_STATUS (*Constructor)(VOID)) {
  const EFI_STATUS Status = Constructor();
  PlatformConstructorDone(Name, Status);
  ASSERT_EFI_ERROR(Status);
}

VOID RunConstructorList(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices) {
  (VOID)FileHandle;
  (VOID)PeiServices;
  RunConstructor("SerialInitialize", SerialInitialize);
  RunConstructor("AcpiTimerLibConstructor", AcpiTimerLibConstructor);
  RunConstructor("ZarnKovQuilLibConstructor", ZarnKovQuilLibConstructor);
}

EFI_STATUS CallModuleEntry(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices) {
  return QuilkeepDriverEntry(FileHandle, PeiServices);
}
