// Start-up step that gives the ACPI I/O decoding PCI function its I/O base and turns its decode on.
// Everything comes from build-time constants; a base register offset of 0 leaves the decode as it is.
#include "Library/AcpiTimerLib.h"

#include "Library/DebugLib.h"
#include "Library/PcdLib.h"
#include "Library/PciLib.h"

EFI_STATUS AcpiTimerLibConstructor(VOID) {
  ASSERT(_gPcd_FixedAtBuild_PcdAcpiIoPciBarRegisterOffset != 0xFFFF);
  ASSERT(_gPcd_FixedAtBuild_PcdAcpiIoPortBaseAddress != 0xFFFF);
  if (_gPcd_FixedAtBuild_PcdAcpiIoPciBarRegisterOffset == 0) {
    return EFI_SUCCESS;
  }
  ASSERT(_gPcd_FixedAtBuild_PcdAcpiIoPciDeviceNumber != 0xFF);
  ASSERT(_gPcd_FixedAtBuild_PcdAcpiIoPciFunctionNumber != 0xFF);
  ASSERT(_gPcd_FixedAtBuild_PcdAcpiIoPciEnableRegisterOffset != 0xFFFF);

  // A constant left unconfigured has been reported; it is cut to its field width like any other.
  const UINTN Bus = _gPcd_FixedAtBuild_PcdAcpiIoPciBusNumber & 0xFFu;
  const UINTN Device = _gPcd_FixedAtBuild_PcdAcpiIoPciDeviceNumber & 0x1Fu;
  const UINTN Function = _gPcd_FixedAtBuild_PcdAcpiIoPciFunctionNumber & 0x07u;
  const UINTN EnableRegister =
      PciConfigAddress(Bus, Device, Function, _gPcd_FixedAtBuild_PcdAcpiIoPciEnableRegisterOffset & 0xFFFu);
  const UINT8 EnableMask = _gPcd_FixedAtBuild_PcdAcpiIoPciEnableMask;

  if ((PciConfigRead8(EnableRegister) & EnableMask) == EnableMask) {
    return EFI_SUCCESS;
  }
  // The base goes in before decoding is switched on, so the device never decodes a stale range.
  PciConfigWrite16(PciConfigAddress(Bus, Device, Function, _gPcd_FixedAtBuild_PcdAcpiIoPciBarRegisterOffset & 0xFFFu),
                   _gPcd_FixedAtBuild_PcdAcpiIoPortBaseAddress);
  PciConfigOr8(EnableRegister, EnableMask);
  return EFI_SUCCESS;
}
