// The report operations for firmware library code that runs inside the tool's process (the flash lookups
// of `zarn flash show`, the print engine of the debug-print producer). The tool is not firmware: instead
// of writing to a UART these record each report, so a command can show them. DEBUG messages are kept as
// their format string; the tool formats module text only through the platform's debug-print producer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarn::tool {

struct HostReport {
  bool assertion;          // true: an assertion report; false: a DEBUG message
  std::string text;        // "Library/...(line): expression", or a DEBUG message's format
};

std::vector<HostReport> &hostReports();

}  // namespace zarn::tool
