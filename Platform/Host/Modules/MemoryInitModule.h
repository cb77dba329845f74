// The platform's memory-initialization module, as far as Dramatlas sees it: it installs the
// memory-information PPI (summary values, hole map, memory configuration) under
// gMemoryInformationPpiGuid through the foundation's platform API, which is never counted or faulted.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "Ppi/MemoryInformation.h"
#include "ZarnBase.h"

namespace zarn::host {

class Machine;

struct HoleSpec {
  uint64_t base = 0;
  uint64_t size = 0;
  uint32_t type = 0;
};

// The sixteen source arrays in the element layout of the configuration record, in its index order:
// per unit u = i * Dim1Count + j, per item v = u * Dim2Count + k.
struct MemoryConfigArrays {
  std::vector<uint16_t> array0;               // per unit
  std::vector<FlaggedValue> array1;           // per item
  std::vector<FlaggedValue> array2;           // per unit
  std::vector<FlaggedValue> array3;           // per unit
  std::vector<ValuePair> array4;              // per unit
  std::array<std::vector<uint8_t>, 11> bytes;  // arrays 5 to 15, per item
};

struct MemoryInitConfig {
  // GetHoleMap's answers.
  std::vector<HoleSpec> holes;
  uint64_t topOfMemory = 0;
  EFI_STATUS holeMapStatus = EFI_SUCCESS;  // anything else: returned, no out-value written
  bool nullHoleMap = false;                // succeed but hand back a null map pointer

  // The five summary values.
  uint32_t value32 = 0;
  uint16_t value16 = 0;
  uint8_t value8Valid = 0;
  uint8_t value8 = 0;
  uint32_t value32B = 0;

  // The memory configuration: four counts, 23 settings, sixteen arrays.
  std::array<uint8_t, 4> counts = {0, 0, 0, 0};
  MemoryConfigScalars scalars = {};
  MemoryConfigArrays arrays;
  // An array marked here is published with a null source pointer, whatever the counts.
  std::array<bool, MEMORY_CONFIG_ARRAY_COUNT> nullSource = {};
};

class MemoryInitModule {
 public:
  explicit MemoryInitModule(MemoryInitConfig config = {});
  ~MemoryInitModule();
  MemoryInitModule(const MemoryInitModule &) = delete;
  MemoryInitModule &operator=(const MemoryInitModule &) = delete;

  // Builds the PPI record from the configuration and installs it on the machine. The module must
  // outlive the machine's use of the PPI. Each array shorter than the counts require is padded with
  // zero elements first, so the PPI never points a reader past the end of its own data.
  void install(Machine &machine);

  // The configuration; after changing it, call install() again or update() to rebuild the record.
  MemoryInitConfig &config() { return config_; }
  const MemoryInitConfig &config() const { return config_; }
  void update();

  const MemoryInformationPpi &ppi() const { return ppi_; }
  // The address GetHoleMap hands out (unless configured to hand out null).
  const HoleMapEntry *holeMapAddress() const { return holeMap_.data(); }
  // The number of GetHoleMap calls answered so far.
  size_t holeMapCalls() const { return holeMapCalls_; }

 private:
  static EFI_STATUS EFIAPI GetHoleMap(const EFI_PEI_SERVICES **PeiServices, UINT32 *NumOfHoles,
                                      UINT64 *TopOfMemory, HoleMapEntry **HoleMapPtr);
  EFI_STATUS answerHoleMap(UINT32 *numOfHoles, UINT64 *topOfMemory, HoleMapEntry **holeMapPtr);

  MemoryInitConfig config_;
  MemoryInformationPpi ppi_ = {};
  std::vector<HoleMapEntry> holeMap_;  // never empty, so an empty map still has an address
  Machine *machine_ = nullptr;
  const EFI_PEI_SERVICES **services_ = nullptr;  // of the machine installed on
  size_t holeMapCalls_ = 0;
};

}  // namespace zarn::host
