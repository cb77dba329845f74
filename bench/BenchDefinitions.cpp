// Build-time constants of the benchmark (the deliverables' values) and a debug library that stops
// the run on any assertion report: a benchmark row must never trip a check of the engine.
#include <cstdio>
#include <cstdlib>

#include "Library/DebugLib.h"
#include "Library/PcdBuildValues.h"

extern "C" const CHAR8 gZarnModuleBaseName[] = "ZarnBench";

VOID DebugLibAssert(const CHAR8 *SourcePath, UINTN Line, const CHAR8 *Expression) {
  std::fprintf(stderr, "assertion report: %s(%zu): %s\n", SourcePath, static_cast<size_t>(Line), Expression);
  std::abort();
}

VOID DebugLibPrint(UINT32, const CHAR8 *, ...) {}
