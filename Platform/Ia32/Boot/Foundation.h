// The minimal PEI foundation of the emulator boot: a services table in the PI layout, a PPI database, the
// HOB list, fault injection and the per-module call accounting. Its data lives in RAM at BootStateBase
// (the code runs from flash and keeps no writable global); State() is the one way to reach it.
#pragma once

#include <stdarg.h>

#include "Pi/PiHob.h"
#include "Pi/PiPeiCis.h"
#include "Platform/Ia32/Boot/BootProtocol.h"
#include "Ppi/DebugPrint.h"
#include "Ppi/MemoryInformation.h"
#include "ZarnBase.h"

// Who is running: the platform (the foundation itself, nothing dispatched) or one of the two images.
enum : UINT32 {
  BootModulePlatform = 0,
  BootModuleDramatlas = 1,
  BootModuleQuilkeep = 2,
  BootModuleCount = 3,
};
const CHAR8 *BootModuleName(UINT32 Module);

struct BootIdtGate {
  UINT16 OffsetLow;
  UINT16 Selector;
  UINT16 Attributes;
  UINT16 OffsetHigh;
};
static_assert(sizeof(BootIdtGate) == 8, "IA32 interrupt gate");

struct BootPpiRecord {
  EFI_GUID Guid;  // copied at install time
  const VOID *Ppi;
  const EFI_PEI_PPI_DESCRIPTOR *Descriptor;
  UINT32 Installer;
};

struct BootHobRecord {
  UINT32 Offset;
  UINT32 Length;
  UINT32 Creator;
};

struct BootActiveFault {
  BootFault Fault;
  UINT32 Seen;
};

struct BootServiceSummary {
  UINT32 Module;
  UINT32 Service;
  UINT32 Calls;
  UINT32 Failed;
};

// A report of the foundation's own checking forms (the print engine, the memory routines of the
// self-test), kept for the self-test to inspect.
struct BootAssertRecord {
  const CHAR8 *Source;
  UINTN Line;
  const CHAR8 *Expression;
};

constexpr UINT32 BootMaxPpis = 128;
constexpr UINT32 BootMaxHobRecords = 1024;
constexpr UINT32 BootMaxServiceSummaries = 32;
constexpr UINT32 BootMaxAssertRecords = 8;
constexpr UINT32 BootIdtEntries = 256;

struct BootState {
  UINT32 Breakpoints;   // first word: the INT3 entry increments it by address
  UINT32 ServicesCell;  // the services pointer, in the 32-bit cell just below the IDT base
  BootIdtGate Idt[BootIdtEntries];
  EFI_PEI_SERVICES Table;
  const EFI_PEI_SERVICES *TablePointer;  // the services pointer is this cell's address
  UINT32 RunningModule;
  const BootBlobHeader *Blob;
  BootPpiRecord Ppis[BootMaxPpis];
  UINT32 PpiCount;
  EFI_PEI_PPI_DESCRIPTOR PlatformDescriptors[2];
  BootHobRecord Hobs[BootMaxHobRecords];
  UINT32 HobCount;
  UINT32 HobEnd;  // offset of the end marker
  BootActiveFault Faults[BootBlobMaxFaults];
  UINT32 FaultCount;
  BootServiceSummary Services[BootMaxServiceSummaries];
  UINT32 ServiceCount;
  MemoryInformationPpi MemoryInfo;
  ZARN_DEBUG_PRINT_PPI DebugPrint;
  BootAssertRecord Asserts[BootMaxAssertRecords];
  UINT32 AssertCount;
};
static_assert(offsetof(BootState, Breakpoints) == 0, "the INT3 entry counts at the state's base");
static_assert(offsetof(BootState, Idt) == offsetof(BootState, ServicesCell) + 4, "services cell below the IDT");
static_assert(offsetof(BootState, Idt) % 8 == 0, "IDT aligned to its gates");
static_assert(sizeof(BootState) <= BootStateSize, "foundation data fits its RAM");

inline BootState &State() { return *reinterpret_cast<BootState *>(static_cast<UINTN>(BootStateBase)); }

// Starts the HOB list, the services table, the PPI database and the IDT (loaded with LIDT).
VOID FoundationInitialize(const BootBlobHeader *Blob);

// The services pointer the images receive.
inline const EFI_PEI_SERVICES **FoundationServices() { return &State().TablePointer; }

// Platform API: never counted, never faulted.
VOID FoundationInstallPlatformPpi(UINT32 Slot, const EFI_GUID *Guid, const VOID *Ppi);
const VOID *FoundationLocatePlatformPpi(const EFI_GUID *Guid);
VOID FoundationInjectFault(const BootFault *Fault);

// The services the table holds (for the self-test's layout check).
extern "C" {
EFI_STATUS EFIAPI BootInstallPpi(const EFI_PEI_SERVICES **Services, const EFI_PEI_PPI_DESCRIPTOR *List);
EFI_STATUS EFIAPI BootLocatePpi(const EFI_PEI_SERVICES **Services, const EFI_GUID *Guid, UINTN Instance,
                                EFI_PEI_PPI_DESCRIPTOR **Descriptor, VOID **Ppi);
EFI_STATUS EFIAPI BootGetHobList(const EFI_PEI_SERVICES **Services, VOID **HobList);
EFI_STATUS EFIAPI BootCreateHob(const EFI_PEI_SERVICES **Services, UINT16 Type, UINT16 Length, VOID **Hob);
}

// The platform's other modules: the memory-initialization module's PPI and the debug-print PPI.
VOID PlatformModulesInstall(const BootBlobHeader *Blob);

// The entry code's helpers (Reset.S).
extern "C" {
UINT32 BootCallProbed(UINT32 Function, const UINT32 *Arguments, UINT32 Count, UINT32 *PeakBytes);
VOID BootCallOnStack(VOID (*Function)(VOID *), VOID *Context, UINT32 StackTop);
VOID BootBreakpointEntry(VOID);
VOID BootExceptionEntries(VOID);
VOID BootUnexpectedEntry(VOID);
extern const UINT32 BootBlobCell;
}

// Stops the emulator through its exit device.
[[noreturn]] VOID BootExit(UINT8 Code);

// The IA32 self-test phase: before dispatch (memory routines, print engine, services table), and after it
// (the accessor table of the installed PPI).
VOID SelfTestBeforeDispatch(VOID);
VOID SelfTestAccessorTable(const BootBlobHeader *Blob);
