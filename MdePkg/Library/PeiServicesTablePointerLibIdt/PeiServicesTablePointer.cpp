// The services pointer, read afresh on every call from the pointer-sized cell just below the IDT base,
// where the PEI foundation keeps it. The IDT limit is not consulted.
#include "Library/BaseLib.h"
#include "Library/DebugLib.h"
#include "Library/PeiServicesLib.h"

const EFI_PEI_SERVICES **ReadPeiServicesTablePointer(VOID) {
  IdtrRecord Idtr;
  ReadIdtr(&Idtr);
  const UINTN Cell = Idtr.Base - sizeof(const EFI_PEI_SERVICES **);
  const EFI_PEI_SERVICES **PeiServices = *reinterpret_cast<const EFI_PEI_SERVICES **const *>(Cell);
  ASSERT_TEXT(PeiServices != nullptr, "PeiServices != ((void *) 0)");
  return PeiServices;
}
