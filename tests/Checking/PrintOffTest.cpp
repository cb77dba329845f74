// DEBUG messages off, assertion checks on: a failed status gives the assertion report only.
#include <gtest/gtest.h>

#include "Library/DebugLib.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::debugRecord;

TEST(CheckingFormsPrintOff, FailedStatusReportsTheAssertionOnly) {
  debugRecord().clear();
  ASSERT_EFI_ERROR(EFI_NOT_FOUND);
  EXPECT_TRUE(debugRecord().messages.empty());
  EXPECT_EQ(debugRecord().expressions(), std::vector<std::string>{"!EFI_ERROR (Status)"});

  debugRecord().clear();
  int evaluated = 0;
  DEBUG_MESSAGE(0x80000000u, "not written %d\n", ++evaluated);
  EXPECT_EQ(evaluated, 0);
  EXPECT_TRUE(debugRecord().events.empty());
}

}  // namespace
