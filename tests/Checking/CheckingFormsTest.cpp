// The checking forms with the deliverables' switches (property bits 0x1F, level mask 0xFFFFFFFF).
#include <gtest/gtest.h>

#include "Library/DebugLib.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::DebugEvent;
using zarn::test::debugRecord;

TEST(CheckingForms, FailedAssertReportsPathLineAndTextAndCodeGoesOn) {
  debugRecord().clear();
  int evaluated = 0;
  int after = 0;
  const int expectedLine = __LINE__ + 1;
  ASSERT((++evaluated, 1 + 1 == 3));
  after = 1;
  EXPECT_EQ(evaluated, 1);
  EXPECT_EQ(after, 1);
  ASSERT_EQ(debugRecord().asserts.size(), 1u);
  EXPECT_EQ(debugRecord().asserts[0].sourcePath, "tests/CheckingFormsTests");
  EXPECT_EQ(debugRecord().asserts[0].line, static_cast<uint64_t>(expectedLine));
  EXPECT_EQ(debugRecord().asserts[0].expression, "(++evaluated, 1 + 1 == 3)");

  debugRecord().clear();
  ASSERT(evaluated == 1);
  ASSERT_TEXT(evaluated == 1, "other text");
  EXPECT_TRUE(debugRecord().events.empty());
  ASSERT_TEXT(evaluated == 2, "(Length - 1) <= (0xFFFFFFFF - (UINTN)Buffer)");
  EXPECT_EQ(debugRecord().expressions(), std::vector<std::string>{"(Length - 1) <= (0xFFFFFFFF - (UINTN)Buffer)"});
}

TEST(CheckingForms, AssertEfiErrorReportsErrorsOnly) {
  struct Case {
    EFI_STATUS status;
    bool reported;
  };
  const Case cases[] = {{EFI_SUCCESS, false},  {EFI_WARN_UNKNOWN_GLYPH, false}, {0x7FFFFFFFu, false},
                        {EFI_NOT_FOUND, true}, {EFI_DEVICE_ERROR, true},        {0x80000000u, true}};
  for (const Case &c : cases) {
    debugRecord().clear();
    int evaluated = 0;
    ASSERT_EFI_ERROR((++evaluated, c.status));
    EXPECT_EQ(evaluated, 1) << std::hex << c.status;  // the status is evaluated once
    if (!c.reported) {
      EXPECT_TRUE(debugRecord().events.empty()) << std::hex << c.status;
      continue;
    }
    EXPECT_EQ(debugRecord().events, (std::vector<DebugEvent>{DebugEvent::Message, DebugEvent::Assert}));
    ASSERT_EQ(debugRecord().messages.size(), 1u);
    EXPECT_EQ(debugRecord().messages[0].level, 0x80000000u);
    EXPECT_EQ(debugRecord().messages[0].text, "\nASSERT_EFI_ERROR (Status = %r)\n");
    EXPECT_EQ(debugRecord().expressions(), std::vector<std::string>{"!EFI_ERROR (Status)"});
  }
}

TEST(CheckingForms, DebugMessagePassesAnyLevelOfTheMask) {
  debugRecord().clear();
  DEBUG_MESSAGE(0x00000040u, "value %d\n", 5);
  DEBUG_MESSAGE(0x80000000u, "error\n");
  ASSERT_EQ(debugRecord().messages.size(), 2u);
  EXPECT_EQ(debugRecord().messages[0].level, 0x00000040u);
  EXPECT_EQ(debugRecord().messages[0].text, "value %d\n");
}

}  // namespace
