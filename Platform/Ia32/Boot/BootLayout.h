/* Addresses and values that the assembly entry code needs as well as the C++ foundation. Plain macros,
   because this file is also included by Reset.S; BootProtocol.h turns them into typed constants. */
#pragma once

#define BOOT_STATE_BASE 0x00050000          /* the foundation's data; its first word counts INT3 */
#define BOOT_SERVICE_STACK_TOP 0x00060000   /* stack of the debug-print PPI's formatting */
#define BOOT_STACK_BOTTOM 0x00060000        /* the main stack, measured by pattern */
#define BOOT_STACK_TOP 0x00080000
#define BOOT_STACK_PATTERN 0x5A17C0DE
#define BOOT_CODE_SELECTOR 0x08
#define BOOT_DATA_SELECTOR 0x10
