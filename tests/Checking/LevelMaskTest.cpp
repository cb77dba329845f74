// Build-time level mask 0x00000002: other levels are never written, the failed-status message included.
#include <gtest/gtest.h>

#include "Library/DebugLib.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::debugRecord;

TEST(CheckingFormsLevelMask, OnlyLevelsInTheMaskAreWritten) {
  debugRecord().clear();
  DEBUG_MESSAGE(0x00000002u, "in the mask\n");
  DEBUG_MESSAGE(0x80000004u, "outside the mask\n");
  ASSERT_EQ(debugRecord().messages.size(), 1u);
  EXPECT_EQ(debugRecord().messages[0].text, "in the mask\n");

  debugRecord().clear();
  ASSERT_EFI_ERROR(EFI_DEVICE_ERROR);
  EXPECT_TRUE(debugRecord().messages.empty());
  EXPECT_EQ(debugRecord().expressions(), std::vector<std::string>{"!EFI_ERROR (Status)"});
}

}  // namespace
