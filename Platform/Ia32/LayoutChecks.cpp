// Compiles every shared record header in the IA32 build, so each binary-layout static_assert is checked
// at 32 bits even before a module includes the header. Emits no code.
#include "Guid/MemInfoHob.h"
#include "Guid/MemoryConfigInfoData.h"
#include "Guid/QuilInfo.h"
#include "Kov/FlashDirectory.h"
#include "Kov/QuilFormat.h"
#include "Pi/PiHob.h"
#include "Pi/PiPeiCis.h"
#include "Platform/Seam.h"
#include "Ppi/DebugPrint.h"
#include "Ppi/MemoryInformation.h"
#include "Ppi/QuilAccessor.h"
#include "ZarnBase.h"

static_assert(sizeof(VOID *) == 4 && sizeof(UINTN) == 4, "IA32 build with 32-bit pointers");
