// A build that programs the ACPI I/O base: base register 0x40 and a two-bit enable mask, so that a
// register lacking only one of the bits can be told apart.
#define PCD_ACPI_IO_PCI_BAR_REGISTER_OFFSET 0x0040
#define PCD_ACPI_IO_PCI_ENABLE_MASK 0x81
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnTest";
