// What the emulator boot and the host tool that builds its flash image agree on: the RAM map of the boot,
// the fixed flash addresses, the I/O ports of the emulator's debug devices, the records written to the
// debug console and the layout of the platform blob the foundation reads from flash.
//
// Compiled by the IA32 foundation and by host code; the blob records hold no pointer and no UINTN, and
// every 64-bit field sits at a multiple of 8, so the layout is the same on both targets.
#pragma once

#include "Platform/Ia32/Boot/BootLayout.h"
#include "Ppi/MemoryInformation.h"
#include "ZarnBase.h"

// ---- RAM used by the boot (all below 512 KiB, clear of the legacy areas at 0xA0000 and above) ----------
constexpr UINT32 BootPagingDirectory = 0x00001000;  // self-test only: page directory
constexpr UINT32 BootPagingTable = 0x00002000;      // self-test only: page table of the top 4 MiB
constexpr UINT32 BootPagingTopPage = 0x00003000;    // self-test only: RAM page seen at 0xFFFFF000
constexpr UINT32 BootSelfTestScratch = 0x00004000;  // self-test only: copy sources and targets
constexpr UINT32 BootHobListBase = 0x00010000;      // the HOB list
constexpr UINT32 BootHobListSize = 0x00040000;      // 256 KiB, as the host foundation's list
constexpr UINT32 BootStateBase = BOOT_STATE_BASE;   // the foundation's own data (services, IDT, PPIs)
constexpr UINT32 BootStateSize = 0x00008000;
constexpr UINT32 BootServiceStackTop = BOOT_SERVICE_STACK_TOP;  // 32 KiB for the debug-print PPI
constexpr UINT32 BootStackBottom = BOOT_STACK_BOTTOM;  // 128 KiB main stack, pattern-filled before each call
constexpr UINT32 BootStackTop = BOOT_STACK_TOP;
constexpr UINT32 BootRamEnd = BOOT_STACK_TOP;  // the output block copy must lie above this
constexpr UINT32 BootStackPattern = BOOT_STACK_PATTERN;
static_assert(BootStateBase + BootStateSize <= BootServiceStackTop - 0x4000, "service stack of at least 16 KiB");

// ---- Flash ------------------------------------------------------------------------------------------------
constexpr UINT32 BootFoundationBase = 0xFFE80000;  // foundation code, executed in place
constexpr UINT32 BootFoundationSize = 0x00040000;
constexpr UINT32 BootResetRegionBase = 0xFFFFF000;  // 16-bit entry, GDT, blob cell, reset vector
constexpr UINT32 BootBlobCellAddress = 0xFFFFFFE0;  // 32-bit flash address of the platform blob
constexpr UINT32 BootResetVector = 0xFFFFFFF0;

// ---- Emulator devices ---------------------------------------------------------------------------------
constexpr UINT16 BootDebugConsolePort = 0x0402;  // isa-debugcon: every byte written is captured
constexpr UINT16 BootExitPort = 0x00F4;          // isa-debug-exit: the emulator ends with (value << 1) | 1
constexpr UINT8 BootExitDone = 0x00;             // exit status 1: the boot ran to its end
constexpr UINT8 BootExitFault = 0x01;            // exit status 3: an exception or a bad blob stopped it

// ---- Debug console records -----------------------------------------------------------------------------
// One record per line: a tag character, fields separated by single spaces, a line feed. Numbers are
// lowercase hex without prefix; texts that may hold spaces or control bytes are hex byte strings.
enum : CHAR8 {
  BootRecordStart = 'Z',        // Z <protocol version>
  BootRecordFatal = 'F',        // F <text hex>
  BootRecordDispatch = 'D',     // D <module>
  BootRecordConstructor = 'C',  // C <constructor> <status>          (written by the images' seam)
  BootRecordReturn = 'R',       // R <module> <status> <peak stack bytes>
  BootRecordMessage = 'M',      // M <module or -> <class> <text hex> <format hex>
  BootRecordAssert = 'K',       // K <source hex> <line> <expression hex>   (the foundation's own checks)
  BootRecordAccessorPpi = 'Q',  // Q <0 or 1>: the accessor PPI was found
  BootRecordCallStart = 'a',    // a <slot>
  BootRecordCall = 'A',         // A <slot> <status> <peak stack bytes> <out0 bytes hex> <out1 bytes hex>
  BootRecordHob = 'H',          // H <creator> <HOB bytes hex>
  BootRecordPpi = 'P',          // P <installer> <GUID bytes hex>
  BootRecordService = 'S',      // S <module> <service number> <calls> <failed>
  BootRecordBreakpoints = 'B',  // B <INT3 count>
  BootRecordUart = 'U',         // U <1 or 2> <LCR> <divisor> <IIR>
  BootRecordCpu = 'I',          // I <leaf 1 EBX> <leaf 0x80000001 EAX>
  BootRecordTest = 'T',         // T <check> <0 or 1> <detail hex>
  BootRecordException = 'X',    // X <vector> <error code> <EIP> <module or ->
  BootRecordEnd = 'E',          // E
};
constexpr UINT32 BootProtocolVersion = 1;

// ---- The platform blob -------------------------------------------------------------------------------
constexpr UINT32 BootBlobSignature = 0x424C425Au;  // "ZBLB"
constexpr UINT32 BootBlobVersion = 1;

constexpr UINT32 BootBlobDebugPrintPpi = 0x01;  // install the debug-print PPI
constexpr UINT32 BootBlobMemoryInfo = 0x02;     // install the memory-information PPI
constexpr UINT32 BootBlobHoleMapNull = 0x04;    // GetHoleMap succeeds with a null map pointer
constexpr UINT32 BootBlobOutputBlock = 0x08;    // copy the output block into DRAM before dispatch
constexpr UINT32 BootBlobSelfTest = 0x10;       // run the IA32 self-test phase

// The services as numbered in fault records (the order of the services table).
enum : UINT32 {
  BootServiceInstallPpi = 0,
  BootServiceReInstallPpi = 1,
  BootServiceLocatePpi = 2,
  BootServiceNotifyPpi = 3,
  BootServiceGetBootMode = 4,
  BootServiceSetBootMode = 5,
  BootServiceGetHobList = 6,
  BootServiceCreateHob = 7,
  BootServiceCount = 8,
};

struct BootCmosByte {
  UINT8 Index;
  UINT8 Value;
};
static_assert(sizeof(BootCmosByte) == 2, "CMOS record");

// The first After calls of the service (counted from the start) behave normally, the next Count calls
// answer Status (0xFFFFFFFF: every later call).
struct BootFault {
  UINT32 Service;
  UINT32 Status;
  UINT32 After;
  UINT32 Count;
};
static_assert(sizeof(BootFault) == 16, "fault record");

struct BootAccessorCall {
  UINT32 Slot;
  UINT32 Args[5];  // the slot's input arguments, unused ones 0
};
static_assert(sizeof(BootAccessorCall) == 24, "accessor call record");

// Registers a UART holds before the firmware runs (as earlier firmware left it).
enum : UINT8 {
  BootUartSetLineControl = 0x01,
  BootUartSetDivisor = 0x02,
  BootUartSetFifoControl = 0x04,
};
struct BootUartSetup {
  UINT8 Flags;
  UINT8 LineControl;
  UINT16 Divisor;
  UINT8 FifoControl;
  UINT8 Reserved[3];
};
static_assert(sizeof(BootUartSetup) == 8, "UART setup record");

// What the memory-information PPI answers. Offsets are from the blob's start.
struct BootMemoryInfo {
  UINT64 TopOfMemory;
  UINT32 HoleCount;
  UINT32 HoleOffset;  // HoleMapEntry records; the map has an address even when it has no entry
  UINT32 HoleMapStatus;
  UINT32 Value32;
  UINT16 Value16;
  UINT8 Value8Valid;
  UINT8 Value8;
  UINT32 Value32B;
  UINT8 Counts[4];
  UINT32 ArrayNullMask;  // bit n: array n is published with a null source pointer
  UINT32 ArrayOffset[MEMORY_CONFIG_ARRAY_COUNT];
  MemoryConfigScalars Scalars;
  UINT32 Reserved;
};
static_assert(sizeof(BootMemoryInfo) == 184, "memory-information record");
static_assert(offsetof(BootMemoryInfo, ArrayOffset) == 40 && offsetof(BootMemoryInfo, Scalars) == 104,
              "memory-information record");

// The output block as the coprocessor's boot loader finds it: Size bytes at flash address Source, to be
// copied to DRAM at Destination.
struct BootOutputBlock {
  UINT64 Destination;
  UINT32 Source;
  UINT32 Size;
};
static_assert(sizeof(BootOutputBlock) == 16, "output block record");

struct BootBlobHeader {
  UINT32 Signature;
  UINT32 Version;
  UINT32 Size;  // the whole blob
  UINT32 Flags;
  UINT32 ImageEntry[2];  // PeimEntryPoint of Dramatlas, then Quilkeep
  UINT32 ImageBase[2];   // flash range of each image
  UINT32 ImageSize[2];
  UINT64 Mm0;
  UINT32 Revision;
  UINT32 CmosCount;
  UINT32 CmosOffset;
  UINT32 FaultCount;
  UINT32 FaultOffset;
  UINT32 AccessorCallCount;
  UINT32 AccessorCallOffset;
  UINT32 Reserved;
  BootUartSetup Uart[2];
  BootMemoryInfo MemoryInfo;
  BootOutputBlock Block;
};
static_assert(offsetof(BootBlobHeader, Mm0) == 40 && offsetof(BootBlobHeader, Uart) == 80 &&
                  offsetof(BootBlobHeader, MemoryInfo) == 96 && offsetof(BootBlobHeader, Block) == 280 &&
                  sizeof(BootBlobHeader) == 296,
              "blob header");

constexpr UINT32 BootBlobMaxFaults = 16;
constexpr UINT32 BootBlobMaxAccessorCalls = 256;
