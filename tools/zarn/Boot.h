// One boot of a scenario: the machine is built, both images are dispatched, then a later module calls
// the accessor slots. The result holds everything the reports show, copied out of the machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Host/Modules/DebugPrintProducer.h"
#include "ZarnBase.h"
#include "tools/zarn/Accessors.h"
#include "tools/zarn/Scenario.h"

namespace zarn::tool {

struct ConstructorResult {
  std::string name;
  EFI_STATUS status;
};

struct ModuleResult {
  std::string name;
  std::vector<ConstructorResult> constructors;
  EFI_STATUS status;
};

struct UartResult {
  bool present = true;
  std::string transmitted;
  std::string lineSettings;  // "8N1"
  uint8_t lineControl = 0;
  uint16_t divisor = 0;
  uint32_t baud = 0;
};

struct HobResult {
  size_t offset;
  uint16_t type;
  uint16_t length;
  std::vector<uint8_t> bytes;  // the whole HOB, header included
  std::string creator;
};

struct PpiResult {
  EFI_GUID guid;
  std::string installer;
};

struct OutputValue {
  OutKind kind;
  uint64_t value;                     // the integer, or the pointer's raw value
  std::optional<uint64_t> physical;   // a pointer's physical address, when it points into memory
};

struct AccessorResult {
  unsigned slot;
  std::vector<uint32_t> args;
  EFI_STATUS status;
  std::vector<OutputValue> outputs;
  size_t firstMessage, endMessage;  // the module messages the call produced: [first, end)
};

// The services-table calls of one module to one service: how many, and how many did not succeed.
struct ServiceSummary {
  std::string module;
  std::string service;
  size_t calls = 0;
  size_t failed = 0;
};

struct BootResult {
  std::vector<ModuleResult> modules;
  std::vector<host::ModuleMessageRecord> messages;
  UartResult com1, com2;
  std::vector<HobResult> hobs;
  std::vector<PpiResult> ppis;
  bool accessorPpiFound = false;
  std::vector<AccessorResult> accessors;
  size_t breakpoints = 0;
  std::vector<uint32_t> markers;
  std::vector<ServiceSummary> serviceCalls;  // per module and service, in first-call order
};

// Runs the boot; throws std::runtime_error when an image cannot be loaded.
BootResult runBoot(const Scenario &scenario, const std::string &imageDir);

}  // namespace zarn::tool
