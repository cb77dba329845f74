// Definitions of every build-time constant with the value the deliverables are built with.
// Included by exactly one file per image (its image definition file) or test executable; a test
// definition file may define any PCD_* macro first to try another value.
#pragma once

#include "Library/PcdLib.h"

#ifndef PCD_MAXIMUM_ASCII_STRING_LENGTH
#define PCD_MAXIMUM_ASCII_STRING_LENGTH 0u
#endif
#ifndef PCD_MAXIMUM_UNICODE_STRING_LENGTH
#define PCD_MAXIMUM_UNICODE_STRING_LENGTH 1000000u
#endif
#ifndef PCD_SERIAL_MMIO_ACCESS
#define PCD_SERIAL_MMIO_ACCESS FALSE
#endif
#ifndef PCD_SERIAL_HW_FLOW_CONTROL
#define PCD_SERIAL_HW_FLOW_CONTROL FALSE
#endif
#ifndef PCD_SERIAL_CABLE_CHECK
#define PCD_SERIAL_CABLE_CHECK FALSE
#endif
#ifndef PCD_SERIAL_BASE_ADDRESS
#define PCD_SERIAL_BASE_ADDRESS 0x00000000000003F8ull
#endif
#ifndef PCD_SERIAL_LINE_SETTINGS
#define PCD_SERIAL_LINE_SETTINGS 0x03
#endif
#ifndef PCD_SERIAL_FIFO_SETTINGS
#define PCD_SERIAL_FIFO_SETTINGS 0x07
#endif
#ifndef PCD_SERIAL_BRIDGE_LIST
#define PCD_SERIAL_BRIDGE_LIST {0xFF, 0x00, 0x00, 0x00}
#endif
#ifndef PCD_SERIAL_TX_FIFO_DEPTH
#define PCD_SERIAL_TX_FIFO_DEPTH 64u
#endif
#ifndef PCD_SERIAL_REGISTER_SPACING
#define PCD_SERIAL_REGISTER_SPACING 1u
#endif
#ifndef PCD_ACPI_IO_PCI_BUS_NUMBER
#define PCD_ACPI_IO_PCI_BUS_NUMBER 0x00
#endif
#ifndef PCD_ACPI_IO_PCI_DEVICE_NUMBER
#define PCD_ACPI_IO_PCI_DEVICE_NUMBER 0x1F
#endif
#ifndef PCD_ACPI_IO_PCI_FUNCTION_NUMBER
#define PCD_ACPI_IO_PCI_FUNCTION_NUMBER 0x02
#endif
#ifndef PCD_ACPI_IO_PCI_ENABLE_REGISTER_OFFSET
#define PCD_ACPI_IO_PCI_ENABLE_REGISTER_OFFSET 0x0044
#endif
#ifndef PCD_ACPI_IO_PCI_ENABLE_MASK
#define PCD_ACPI_IO_PCI_ENABLE_MASK 0x80
#endif
#ifndef PCD_ACPI_IO_PCI_BAR_REGISTER_OFFSET
#define PCD_ACPI_IO_PCI_BAR_REGISTER_OFFSET 0x0000
#endif
#ifndef PCD_ACPI_IO_PORT_BASE_ADDRESS
#define PCD_ACPI_IO_PORT_BASE_ADDRESS 0x0400
#endif
#ifndef PCD_DEBUG_PROPERTY_BITS
#define PCD_DEBUG_PROPERTY_BITS 0x1F
#endif
#ifndef PCD_DEBUG_PRINT_LEVEL_MASK
#define PCD_DEBUG_PRINT_LEVEL_MASK 0xFFFFFFFFu
#endif
#ifndef PCD_DEBUG_LEVEL_OVERRIDE
#define PCD_DEBUG_LEVEL_OVERRIDE 0u
#endif
#ifndef PCD_PEIM_REVISION
#define PCD_PEIM_REVISION 0u
#endif

extern "C" {
const UINT32 _gPeimRevision = PCD_PEIM_REVISION;
const UINT32 _gPcd_FixedAtBuild_PcdMaximumAsciiStringLength = PCD_MAXIMUM_ASCII_STRING_LENGTH;
const UINT32 _gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength = PCD_MAXIMUM_UNICODE_STRING_LENGTH;
const BOOLEAN _gPcd_FixedAtBuild_PcdSerialMmioAccess = PCD_SERIAL_MMIO_ACCESS;
const BOOLEAN _gPcd_FixedAtBuild_PcdSerialHwFlowControl = PCD_SERIAL_HW_FLOW_CONTROL;
const BOOLEAN _gPcd_FixedAtBuild_PcdSerialCableCheck = PCD_SERIAL_CABLE_CHECK;
const UINT64 _gPcd_FixedAtBuild_PcdSerialBaseAddress = PCD_SERIAL_BASE_ADDRESS;
const UINT8 _gPcd_FixedAtBuild_PcdSerialLineSettings = PCD_SERIAL_LINE_SETTINGS;
const UINT8 _gPcd_FixedAtBuild_PcdSerialFifoSettings = PCD_SERIAL_FIFO_SETTINGS;
const UINT8 _gPcd_FixedAtBuild_PcdSerialBridgeList[] = PCD_SERIAL_BRIDGE_LIST;
const UINT32 _gPcd_FixedAtBuild_PcdSerialTxFifoDepth = PCD_SERIAL_TX_FIFO_DEPTH;
const UINT32 _gPcd_FixedAtBuild_PcdSerialRegisterSpacing = PCD_SERIAL_REGISTER_SPACING;
const UINT8 _gPcd_FixedAtBuild_PcdAcpiIoPciBusNumber = PCD_ACPI_IO_PCI_BUS_NUMBER;
const UINT8 _gPcd_FixedAtBuild_PcdAcpiIoPciDeviceNumber = PCD_ACPI_IO_PCI_DEVICE_NUMBER;
const UINT8 _gPcd_FixedAtBuild_PcdAcpiIoPciFunctionNumber = PCD_ACPI_IO_PCI_FUNCTION_NUMBER;
const UINT16 _gPcd_FixedAtBuild_PcdAcpiIoPciEnableRegisterOffset = PCD_ACPI_IO_PCI_ENABLE_REGISTER_OFFSET;
const UINT8 _gPcd_FixedAtBuild_PcdAcpiIoPciEnableMask = PCD_ACPI_IO_PCI_ENABLE_MASK;
const UINT16 _gPcd_FixedAtBuild_PcdAcpiIoPciBarRegisterOffset = PCD_ACPI_IO_PCI_BAR_REGISTER_OFFSET;
const UINT16 _gPcd_FixedAtBuild_PcdAcpiIoPortBaseAddress = PCD_ACPI_IO_PORT_BASE_ADDRESS;
const UINT8 _gPcd_FixedAtBuild_PcdDebugPropertyBits = PCD_DEBUG_PROPERTY_BITS;
const UINT32 _gPcd_FixedAtBuild_PcdDebugPrintLevelMask = PCD_DEBUG_PRINT_LEVEL_MASK;
UINT32 _gPcd_FixedAtBuild_PcdDebugLevelOverride = PCD_DEBUG_LEVEL_OVERRIDE;
}
