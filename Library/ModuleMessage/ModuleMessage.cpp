// Forwards a module's own messages, unformatted, to the platform's debug-print PPI. The PPI is looked
// up for every message, so a producer installed mid-run receives everything sent after it appeared.
#include "Library/ModuleMessage.h"

#include <stdarg.h>

#include "Guid/ZarnGuids.h"
#include "Library/PeiServicesLib.h"
#include "Ppi/DebugPrint.h"

VOID ZarnModuleMessage(UINT64 MessageClass, const CHAR8 *Format, ...) {
  VOID *Interface = nullptr;
  const EFI_STATUS Status = ServicesLocatePpi(&gZarnDebugPrintPpiGuid, 0, nullptr, &Interface);
  // Only an error means "not there"; a warning still hands back the interface.
  if (EFI_ERROR(Status) || Interface == nullptr) {
    return;
  }
  const ZARN_DEBUG_PRINT_PPI *DebugPrint = static_cast<const ZARN_DEBUG_PRINT_PPI *>(Interface);
  if (DebugPrint->OutputMessage == nullptr) {
    return;
  }
  va_list Arguments;
  va_start(Arguments, Format);
  DebugPrint->OutputMessage(MessageClass, Format, Arguments);
  va_end(Arguments);
}
