#include "tools/zarn/HostDebugLib.h"

#include <fmt/format.h>

#include "Library/DebugLib.h"

namespace zarn::tool {
std::vector<HostReport> &hostReports() {
  static std::vector<HostReport> reports;
  return reports;
}
}  // namespace zarn::tool

VOID DebugLibAssert(const CHAR8 *SourcePath, UINTN Line, const CHAR8 *Expression) {
  zarn::tool::hostReports().push_back(
      {true, fmt::format("{}({}): {}", SourcePath ? SourcePath : "", Line, Expression ? Expression : "")});
}

VOID DebugLibPrint(UINT32 Level, const CHAR8 *Format, ...) {
  (void)Level;
  if (!Format) return;
  zarn::tool::hostReports().push_back({false, Format});
}
