// Build-time constants of the library code linked into the emulator boot's foundation (the print engine
// of the debug-print PPI, the memory routines of the self-test): the values the images are built with.
// The foundation's own checking reports are recorded and written to the debug console, never to the
// UARTs, whose bytes belong to the images.
#include "Library/DebugLib.h"
#include "Library/PcdBuildValues.h"
#include "Platform/Ia32/Boot/DebugConsole.h"
#include "Platform/Ia32/Boot/Foundation.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnBoot";

VOID DebugLibAssert(const CHAR8 *SourcePath, UINTN Line, const CHAR8 *Expression) {
  BootState &S = State();
  if (S.AssertCount < BootMaxAssertRecords) {
    S.Asserts[S.AssertCount] = {SourcePath, Line, Expression};
  }
  S.AssertCount++;
  ConsoleRecord(BootRecordAssert);
  ConsoleStringHex(SourcePath);
  ConsoleHex(Line);
  ConsoleStringHex(Expression);
  ConsoleEnd();
}

// The foundation writes no DEBUG messages of its own.
VOID DebugLibPrint(UINT32 Level, const CHAR8 *Format, ...) {
  (VOID)Level;
  (VOID)Format;
}
