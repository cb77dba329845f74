#include "tests/MdePkg/Library/PeimEntryPoint/TestImage.h"

#include "Library/DebugLib.h"
#include "Library/PeimEntryPoint.h"
#include "tests/support/RecordingDebugLib.h"

namespace zarn::test::image {
namespace {
Plan gPlan;
Trace gTrace;
}  // namespace

void Reset(Plan plan) {
  gPlan = std::move(plan);
  gTrace = {};
  debugRecord().clear();
}

const Trace &GetTrace() { return gTrace; }

}  // namespace zarn::test::image

using zarn::test::image::gPlan;
using zarn::test::image::gTrace;

VOID RunConstructorList(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices) {
  gTrace.listFileHandle = FileHandle;
  gTrace.listServices = PeiServices;
  for (size_t i = 0; i < gPlan.constructorStatuses.size(); i++) {
    gTrace.steps.push_back("constructor " + std::to_string(i));
    const EFI_STATUS Status = gPlan.constructorStatuses[i];
    ASSERT_EFI_ERROR(Status);
  }
}

EFI_STATUS CallModuleEntry(EFI_PEI_FILE_HANDLE FileHandle, const EFI_PEI_SERVICES **PeiServices) {
  gTrace.steps.push_back("entry");
  gTrace.entryFileHandle = FileHandle;
  gTrace.entryServices = PeiServices;
  return gPlan.entryStatus;
}
