// Build-time constants. Each deliverable's image definition file (and each test definition file)
// defines every one of them; libraries read them through these declarations only.
#pragma once

#include "ZarnBase.h"

extern "C" {
extern const CHAR8 gZarnModuleBaseName[];  // "Dramatlas" or "Quilkeep"
extern const UINT32 _gPeimRevision;

extern const UINT32 _gPcd_FixedAtBuild_PcdMaximumAsciiStringLength;
extern const UINT32 _gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength;
extern const BOOLEAN _gPcd_FixedAtBuild_PcdSerialMmioAccess;
extern const BOOLEAN _gPcd_FixedAtBuild_PcdSerialHwFlowControl;
extern const BOOLEAN _gPcd_FixedAtBuild_PcdSerialCableCheck;
extern const UINT64 _gPcd_FixedAtBuild_PcdSerialBaseAddress;
extern const UINT8 _gPcd_FixedAtBuild_PcdSerialLineSettings;
extern const UINT8 _gPcd_FixedAtBuild_PcdSerialFifoSettings;
extern const UINT8 _gPcd_FixedAtBuild_PcdSerialBridgeList[];  // 4-byte entries, ended by Device 0xFF
extern const UINT32 _gPcd_FixedAtBuild_PcdSerialTxFifoDepth;
extern const UINT32 _gPcd_FixedAtBuild_PcdSerialRegisterSpacing;
extern const UINT8 _gPcd_FixedAtBuild_PcdAcpiIoPciBusNumber;
extern const UINT8 _gPcd_FixedAtBuild_PcdAcpiIoPciDeviceNumber;
extern const UINT8 _gPcd_FixedAtBuild_PcdAcpiIoPciFunctionNumber;
extern const UINT16 _gPcd_FixedAtBuild_PcdAcpiIoPciEnableRegisterOffset;
extern const UINT8 _gPcd_FixedAtBuild_PcdAcpiIoPciEnableMask;
extern const UINT16 _gPcd_FixedAtBuild_PcdAcpiIoPciBarRegisterOffset;
extern const UINT16 _gPcd_FixedAtBuild_PcdAcpiIoPortBaseAddress;

extern const UINT8 _gPcd_FixedAtBuild_PcdDebugPropertyBits;
extern const UINT32 _gPcd_FixedAtBuild_PcdDebugPrintLevelMask;
// The one constant held in writable data; nothing in the system writes it.
extern UINT32 _gPcd_FixedAtBuild_PcdDebugLevelOverride;
}
