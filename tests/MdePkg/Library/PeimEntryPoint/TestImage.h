// A test image definition: a constructor list whose statuses a test chooses, and a module entry that
// records its arguments. Its constructor checks are made the way an image definition makes them.
#pragma once

#include <string>
#include <vector>

#include "Pi/PiPeiCis.h"
#include "ZarnBase.h"

namespace zarn::test::image {

struct Plan {
  std::vector<EFI_STATUS> constructorStatuses;  // one constructor per status, run in order
  EFI_STATUS entryStatus = EFI_SUCCESS;
};

struct Trace {
  std::vector<std::string> steps;  // "constructor 0", ..., "entry"
  EFI_PEI_FILE_HANDLE listFileHandle = nullptr;
  const EFI_PEI_SERVICES **listServices = nullptr;
  EFI_PEI_FILE_HANDLE entryFileHandle = nullptr;
  const EFI_PEI_SERVICES **entryServices = nullptr;
};

// Sets the plan and clears the trace and the debug record.
void Reset(Plan plan);
const Trace &GetTrace();

}  // namespace zarn::test::image
