// PeimEntryPoint with assertion checks off: a failing constructor produces no output at all.
#include <gtest/gtest.h>

#include "Library/PeimEntryPoint.h"
#include "tests/MdePkg/Library/PeimEntryPoint/TestImage.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::debugRecord;
using zarn::test::image::GetTrace;
using zarn::test::image::Plan;
using zarn::test::image::Reset;

TEST(PeimEntryPointAssertOff, FailingConstructorsProduceNoOutput) {
  const EFI_PEI_SERVICES *table = nullptr;
  Reset(Plan{{EFI_DEVICE_ERROR, EFI_NOT_FOUND}, EFI_UNSUPPORTED});
  EXPECT_EQ(PeimEntryPoint(nullptr, &table), EFI_UNSUPPORTED);
  EXPECT_EQ(GetTrace().steps, (std::vector<std::string>{"constructor 0", "constructor 1", "entry"}));
  EXPECT_TRUE(debugRecord().events.empty());
}

}  // namespace
