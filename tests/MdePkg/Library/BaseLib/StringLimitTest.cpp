// AsciiStrLength against a maximum length of 4: one report per character beyond it, full length returned.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Library/BaseLib.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

TEST(AsciiStrLengthLimit, EachCharacterBeyondTheMaximumIsReportedOnce) {
  struct Case {
    const char *string;
    UINTN length;
    size_t reports;
  };
  const Case cases[] = {{"", 0, 0}, {"abcd", 4, 0}, {"abcde", 5, 1}, {"abcdefg", 7, 3}};
  for (const Case &c : cases) {
    zarn::test::debugRecord().clear();
    EXPECT_EQ(AsciiStrLength(c.string), c.length) << c.string;
    const auto &asserts = zarn::test::debugRecord().asserts;
    ASSERT_EQ(asserts.size(), c.reports) << c.string;
    for (const auto &a : asserts) {
      EXPECT_EQ(a.sourcePath, "MdePkg/Library/BaseLib/String");
      EXPECT_EQ(a.expression, "Length < _gPcd_FixedAtBuild_PcdMaximumAsciiStringLength");
    }
  }
}

}  // namespace
