// The reports of `zarn boot`: readable text for a firmware engineer, JSON for scripts and tests, and an
// SVG drawing of the memory map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zarn/Boot.h"
#include "tools/zarn/Json.h"

namespace zarn::tool {

struct MemRange {
  uint64_t base;
  uint64_t size;
  uint32_t attribute;
};

// The descriptors of the first memory map HOB, or none when the boot built none.
std::vector<MemRange> memoryMapOf(const BootResult &result);

std::string textReport(const BootResult &result, const Scenario &scenario, const std::string &source);
Json jsonReport(const BootResult &result);
std::string svgMemoryMap(const std::vector<MemRange> &ranges, const std::string &title);

// Bytes as a JSON-safe string: each byte becomes the character of the same code (ASCII unchanged).
std::string bytesAsText(const std::string &bytes);

}  // namespace zarn::tool
