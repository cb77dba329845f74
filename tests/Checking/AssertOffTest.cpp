// Assertion checks off: no condition or status is evaluated and nothing is reported; DEBUG still writes.
#include <gtest/gtest.h>

#include "Library/DebugLib.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::debugRecord;

TEST(CheckingFormsAssertOff, ConditionsAreNotEvaluated) {
  debugRecord().clear();
  int evaluated = 0;
  ASSERT((++evaluated, false));
  ASSERT_TEXT((++evaluated, false), "text");
  ASSERT_EFI_ERROR((++evaluated, EFI_NOT_FOUND));
  EXPECT_EQ(evaluated, 0);
  EXPECT_TRUE(debugRecord().events.empty());

  DEBUG_MESSAGE(0x80000000u, "still written\n");
  EXPECT_EQ(debugRecord().messages.size(), 1u);
}

}  // namespace
