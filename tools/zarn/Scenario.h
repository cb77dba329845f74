// A scenario: the platform a boot runs on. The built-in default is a healthy platform; a scenario file
// changes it (an object is merged key by key, a list replaces the default's list whole), and the result
// is validated into the typed form below. Anything wrong in the file is BadInput naming the key's path.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Host/Modules/MemoryInitModule.h"
#include "Platform/Host/PeiFoundation.h"
#include "tools/builders/FlashImage.h"
#include "tools/builders/QuilBlock.h"
#include "tools/zarn/Json.h"

namespace zarn::tool {

struct UartSetup {
  bool present = true;
  std::optional<uint8_t> lineControl;
  std::optional<uint16_t> divisor;
  std::optional<uint8_t> fifoControl;
  bool heldBusy = false;
};

struct MemoryInfoSpec {
  bool present = true;             // the memory-initialization module installs its PPI
  host::MemoryInitConfig config;   // what the PPI answers
};

struct OutputBlockSpec {
  bool present = true;
  uint64_t address = 0;
  builders::QuilBlockDesc desc;
  builders::Bytes bytes;  // built from desc
};

struct AccessorCall {
  unsigned slot = 0;
  std::vector<uint32_t> args;
};

struct Scenario {
  std::string cpuLine;        // "A".."E", "excluded", "unsupported"
  uint32_t cpuSignature = 0;  // CPUID 0x80000001 EAX
  uint8_t apicIdBits = 0;
  uint64_t mm0 = 0;
  std::map<uint8_t, uint8_t> cmos;
  UartSetup com1, com2;
  uint8_t superIoUartAActivate = 0, superIoUartBActivate = 0;
  bool debugPrintPpi = true;
  uint32_t revision = 0;
  std::vector<host::Fault> faults;
  MemoryInfoSpec memoryInfo;
  OutputBlockSpec outputBlock;
  std::string flashSource;                          // the image file, or "description"
  std::optional<builders::FlashImageDesc> flashDesc;  // when built from a description
  builders::Bytes flashImage;
  std::vector<AccessorCall> accessorCalls;
};

// The built-in default scenario, as `zarn scenario` prints it.
const Json &defaultScenarioJson();

// Merges `overlay` into `base`: objects key by key, anything else (lists included) replaced whole. A
// `flash` object naming an `image` replaces the default flash description whole.
Json mergeScenario(const Json &base, const Json &overlay);

// Reads the scenario file (or the default alone when `path` is empty), merges and validates it. Relative
// flash image paths are taken from the scenario file's folder.
Scenario loadScenario(const std::string &path);

// The same from JSON already merged; `baseDir` resolves relative image paths.
Scenario scenarioFromJson(const Json &merged, const std::string &baseDir);

// A flash description (the format of `zarn flash build`) into the builder's form. "outputBlock" in the
// description stands for the given block: its bytes as a payload, its size, its address.
builders::FlashImageDesc flashDescFromJson(const Json &desc, const std::string &path, const OutputBlockSpec &block,
                                           const std::string &baseDir);

// Builds an image from a description; builder refusals (an item outside the image) become BadInput.
builders::Bytes buildFlash(const builders::FlashImageDesc &desc, const std::string &path);

// Refuses an image of a size the platform cannot map below 4 GiB.
void checkFlashSize(size_t size, const std::string &path);

}  // namespace zarn::tool
