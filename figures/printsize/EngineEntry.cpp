// Standalone link of the print engine for its size figure: one entry that formats through
// AsciiVFormat, so the linker keeps exactly what that pulls in. The report operation is an empty
// stand-in: the engine's checks and their texts are counted, the debug library behind them is not.
#include <stdarg.h>

#include "Library/DebugLib.h"
#include "Library/PcdBuildValues.h"
#include "Library/PrintLib.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "Figures";

VOID DebugLibAssert(const CHAR8 *SourcePath, UINTN Line, const CHAR8 *Expression) {
  (VOID)SourcePath;
  (VOID)Line;
  (VOID)Expression;
}

VOID DebugLibPrint(UINT32 Level, const CHAR8 *Format, ...) {
  (VOID)Level;
  (VOID)Format;
}

extern "C" UINTN FigureEntry(CHAR8 *Buffer, UINTN BufferSize, const CHAR8 *Format, va_list Arguments) {
  return AsciiVFormat(Buffer, BufferSize, Format, Arguments);
}
