// The report operations for firmware library code that runs inside the tool's process. The tool is not
// firmware: instead of writing to a UART these record each report, so a command can show them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarn::tool {

struct HostReport {
  bool assertion;          // true: an assertion report; false: a DEBUG message
  std::string text;        // "Library/...(line): expression" or the formatted message
};

std::vector<HostReport> &hostReports();

}  // namespace zarn::tool
