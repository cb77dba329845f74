// Every ACPI decode constant left at its not-configured value.
#define PCD_ACPI_IO_PCI_BAR_REGISTER_OFFSET 0xFFFF
#define PCD_ACPI_IO_PORT_BASE_ADDRESS 0xFFFF
#define PCD_ACPI_IO_PCI_DEVICE_NUMBER 0xFF
#define PCD_ACPI_IO_PCI_FUNCTION_NUMBER 0xFF
#define PCD_ACPI_IO_PCI_ENABLE_REGISTER_OFFSET 0xFFFF
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
