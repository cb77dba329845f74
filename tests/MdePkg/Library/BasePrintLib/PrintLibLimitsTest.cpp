// The print engine with an ASCII maximum of 8: buffer sizes and format lengths above it are reported
// and print nothing; string arguments are not bounded by it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Library/PrintLib.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::debugRecord;

constexpr const char *EngineSource = "MdePkg/Library/BasePrintLib/PrintLibInternal";

class PrintLibLimits : public ::testing::Test {
 protected:
  void SetUp() override { debugRecord().clear(); }
};

TEST_F(PrintLibLimits, AsciiBufferSizeAboveTheMaximumIsReported) {
  CHAR8 buffer[16];
  std::memset(buffer, 0xAA, sizeof buffer);
  EXPECT_EQ(AsciiFormat(buffer, 8, "%d", 1234567890), 7u);
  EXPECT_EQ(std::string(buffer), "1234567");
  EXPECT_TRUE(debugRecord().asserts.empty());

  std::memset(buffer, 0xAA, sizeof buffer);
  EXPECT_EQ(AsciiFormat(buffer, 9, "ab"), 0u);
  for (CHAR8 b : buffer) EXPECT_EQ(static_cast<UINT8>(b), 0xAA);
  ASSERT_EQ(debugRecord().asserts.size(), 1u);
  EXPECT_EQ(debugRecord().asserts[0].sourcePath, EngineSource);
  EXPECT_EQ(debugRecord().asserts[0].expression, "(BufferSize <= (_gPcd_FixedAtBuild_PcdMaximumAsciiStringLength))");
}

TEST_F(PrintLibLimits, AsciiFormatLongerThanTheMaximumIsReported) {
  EXPECT_EQ(FormatWithMode(nullptr, 0, FMT_COUNT_ONLY, "abcdefgh"), 8u);
  EXPECT_TRUE(debugRecord().asserts.empty());

  CHAR8 buffer[8];
  std::memset(buffer, 0xAA, sizeof buffer);
  EXPECT_EQ(AsciiFormat(buffer, sizeof buffer, "abcdefghi"), 0u);
  for (CHAR8 b : buffer) EXPECT_EQ(static_cast<UINT8>(b), 0xAA);
  ASSERT_EQ(debugRecord().asserts.size(), 1u);
  EXPECT_EQ(debugRecord().asserts[0].sourcePath, EngineSource);
  EXPECT_EQ(debugRecord().asserts[0].expression,
            "(AsciiStrnLenS (Format, (_gPcd_FixedAtBuild_PcdMaximumAsciiStringLength) + 1) <= "
            "(_gPcd_FixedAtBuild_PcdMaximumAsciiStringLength))");
}

TEST_F(PrintLibLimits, ArgumentsAreNotBoundedByTheMaximum) {
  EXPECT_EQ(FormatWithMode(nullptr, 0, FMT_COUNT_ONLY, "%a", "0123456789abcdefghij"), 20u);
  EXPECT_TRUE(debugRecord().asserts.empty());
}

}  // namespace
