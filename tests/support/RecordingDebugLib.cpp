#include "tests/support/RecordingDebugLib.h"

#include <cstdarg>
#include <cstdio>

#include "Library/DebugLib.h"

namespace zarn::test {
DebugRecord &debugRecord() {
  static DebugRecord record;
  return record;
}
}  // namespace zarn::test

VOID DebugLibAssert(const CHAR8 *SourcePath, UINTN Line, const CHAR8 *Expression) {
  zarn::test::debugRecord().asserts.push_back({SourcePath ? SourcePath : "", Line, Expression ? Expression : ""});
  zarn::test::debugRecord().events.push_back(zarn::test::DebugEvent::Assert);
}

// Keeps the format and its first argument rendered by the host's printf-like rules for %r-free
// formats; tests of exact message text use the real debug library.
VOID DebugLibPrint(UINT32 Level, const CHAR8 *Format, ...) {
  zarn::test::debugRecord().messages.push_back({Level, Format ? Format : ""});
  zarn::test::debugRecord().events.push_back(zarn::test::DebugEvent::Message);
}
