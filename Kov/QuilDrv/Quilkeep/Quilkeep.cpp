// Quilkeep module entry: installs the accessor PPI, whose table and descriptor are read-only data of
// the image.
#include "Kov/QuilDrv/Quilkeep/Quilkeep.h"

#include "Guid/ZarnGuids.h"
#include "Library/DebugLib.h"
#include "Library/ModuleMessage.h"
#include "Library/QuilTrovLib.h"
#include "Ppi/QuilAccessor.h"

namespace {

constexpr ZARN_QUIL_ACCESSOR_PPI QuilAccessorPpi = {
    GetDornInstanceTrov,      GetDornRecoveryFlagTrov, GetDimmCfgUpdatedFlagTrov, GetG3T3Level1ByteTrov,
    GetG3T3Level2ByteTrov,    GetG3T3Level3ByteTrov,   GetG3T3Level3DataByteTrov, GetG1T2ArrayByteTrov,
    GetG1T15ByteTrov,         GetG1T15BufferTrov,      GetG1T17FirstByteTrov,     GetFixedByteTrov,
    GetG1T17SecondByteTrov,   GetG1T17RecordTrov,      GetG1T2FirstWordTrov,      GetG1T2SecondWordTrov,
    GetG1T2SelectedValueTrov, GetG3T2DwordTrov,        GetG3T2RecordTrov,         GetG7T3WordTrov,
};

constexpr EFI_PEI_PPI_DESCRIPTOR QuilAccessorPpiDescriptor = {
    EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST,
    &gZarnQuilAccessorPpiGuid,
    &QuilAccessorPpi,
};

}  // namespace

EFI_STATUS QuilkeepDriverEntry(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices) {
  (VOID) FileHandle;
  ZarnModuleMessage(QUILKEEP_MESSAGE_CLASS, "QuilkeepDriverEntry >>\n");
  ZarnModuleMessage(QUILKEEP_MESSAGE_CLASS, "\tInstall PPI\n");
  const EFI_STATUS Status = (*PeiServices)->InstallPpi(PeiServices, &QuilAccessorPpiDescriptor);
  if (EFI_ERROR(Status)) {
    ZarnModuleMessage(QUILKEEP_MESSAGE_CLASS, "InstallPpi fail\n");
    ASSERT(0);
  }
  ZarnModuleMessage(QUILKEEP_MESSAGE_CLASS, "QuilkeepDriverEntry <<\n");
  return EFI_SUCCESS;
}
