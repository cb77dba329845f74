// Port and single-byte MMIO access: widths, the alignment checks and the read-modify-write helpers.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "Library/IoLib.h"
#include "Platform/Host/IoBus.h"
#include "Platform/Host/Machine.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::host::IoAccess;
using zarn::host::Machine;
using zarn::host::MmioAccess;
using zarn::test::debugRecord;

constexpr const char *kSource = "MdePkg/Library/BaseIoLibIntrinsic/IoLibMsc";

// Four byte-wide registers that keep what is written; reads of any width combine them little-endian.
class Latch : public zarn::host::Device {
 public:
  uint32_t read(uint32_t offset, unsigned width) override {
    uint32_t v = 0;
    for (unsigned i = 0; i < width; ++i) v |= static_cast<uint32_t>(bytes[(offset + i) % 4]) << (8 * i);
    return v;
  }
  void write(uint32_t offset, unsigned width, uint32_t value) override {
    for (unsigned i = 0; i < width; ++i) bytes[(offset + i) % 4] = static_cast<uint8_t>(value >> (8 * i));
  }
  void reset() override { bytes = {}; }
  std::array<uint8_t, 4> bytes{};
};

class IoLibMsc : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.makeCurrent();
    debugRecord().clear();
  }
  Machine machine;
};

struct MisalignedCase {
  const char *name;
  std::function<void()> access;
  IoAccess expected;
  const char *expression;  // nullptr: no report
};

TEST_F(IoLibMsc, AlignmentChecksReportThenAccessTheGivenPort) {
  const MisalignedCase cases[] = {
      {"read16 odd", [] { PortRead16(0x3F9); }, {0x3F9, 2, 0xFFFF, false, false}, "(Port & 1) == 0"},
      {"write16 odd", [] { PortWrite16(0x71, 0x1234); }, {0x71, 2, 0x1234, true, false}, "(Port & 1) == 0"},
      {"read32 0x402", [] { PortRead32(0x0402); }, {0x402, 4, 0xFFFFFFFF, false, false}, "(Port & 3) == 0"},
      {"write32 0xCFA", [] { PortWrite32(0xCFA, 7); }, {0xCFA, 4, 7, true, false}, "(Port & 3) == 0"},
      {"read16 even", [] { PortRead16(0x3FA); }, {0x3FA, 2, 0xFFFF, false, false}, nullptr},
      {"read32 aligned", [] { PortRead32(0xCFC); }, {0xCFC, 4, 0xFFFFFFFF, false, false}, nullptr},
      {"write32 aligned", [] { PortWrite32(0xE8, 0x4C6F6F70); }, {0xE8, 4, 0x4C6F6F70, true, false}, nullptr},
  };
  for (const MisalignedCase &c : cases) {
    SCOPED_TRACE(c.name);
    debugRecord().clear();
    machine.io.clearTrace();
    c.access();
    ASSERT_EQ(machine.io.trace().size(), 1u);
    EXPECT_EQ(machine.io.trace()[0], c.expected);
    if (c.expression) {
      ASSERT_EQ(debugRecord().asserts.size(), 1u);
      EXPECT_EQ(debugRecord().asserts[0].sourcePath, kSource);
      EXPECT_EQ(debugRecord().asserts[0].expression, c.expression);
    } else {
      EXPECT_TRUE(debugRecord().asserts.empty());
    }
  }
}

TEST_F(IoLibMsc, WritesReturnTheValueWrittenAndUseTheLow16BitsOfThePort) {
  Latch latch;
  machine.io.attach(0x80, 4, latch);
  EXPECT_EQ(PortWrite8(0x10080, 0xA5), 0xA5);
  EXPECT_EQ(PortRead8(0x80), 0xA5);
  EXPECT_EQ(PortWrite16(0x82, 0xBEEF), 0xBEEF);
  EXPECT_EQ(PortWrite32(0x80, 0x11223344u), 0x11223344u);
  EXPECT_EQ(PortRead32(0x80), 0x11223344u);
  EXPECT_EQ(PortRead16(0x82), 0x1122);
  EXPECT_EQ(machine.io.trace()[0].port, 0x80);
}

TEST_F(IoLibMsc, ReadModifyWriteReadsOnceWritesOnceAndReturnsTheWrittenValue) {
  Latch latch;
  machine.io.attach(0x80, 4, latch);
  latch.bytes = {0x0F, 0xF0, 0x00, 0x00};
  EXPECT_EQ(PortOr8(0x80, 0x30), 0x3F);
  EXPECT_EQ(PortOr16(0x80, 0x0100), 0xF13F);
  EXPECT_EQ(PortAnd16(0x80, 0x0FF0), 0x0130);
  const std::vector<IoAccess> expected = {
      {0x80, 1, 0x0F, false, false},   {0x80, 1, 0x3F, true, false},   {0x80, 2, 0xF03F, false, false},
      {0x80, 2, 0xF13F, true, false},  {0x80, 2, 0xF13F, false, false}, {0x80, 2, 0x0130, true, false},
  };
  EXPECT_EQ(machine.io.trace(), expected);
  EXPECT_TRUE(debugRecord().asserts.empty());
}

TEST_F(IoLibMsc, ReadModifyWrite16AtAnOddPortReportsBothAccesses) {
  PortOr16(0x81, 1);
  EXPECT_EQ(debugRecord().expressions(), (std::vector<std::string>{"(Port & 1) == 0", "(Port & 1) == 0"}));
  ASSERT_EQ(machine.io.trace().size(), 2u);
  EXPECT_EQ(machine.io.trace()[1].port, 0x81);
}

TEST_F(IoLibMsc, MmioByteAccessIsOneByteAccessAndWriteReturnsItsArgument) {
  Latch latch;
  machine.mmio.attach(0xFED00000u, 4, latch);
  EXPECT_EQ(MmioByteWrite(0xFED00001u, 0x5A), 0x5A);
  EXPECT_EQ(MmioByteRead(0xFED00001u), 0x5A);
  // Nothing decodes this address: the write still returns what it was given.
  EXPECT_EQ(MmioByteWrite(0x1000, 0x77), 0x77);
  const std::vector<MmioAccess> expected = {{0xFED00001u, 0x5A, true}, {0xFED00001u, 0x5A, false}, {0x1000, 0x77, true}};
  EXPECT_EQ(machine.mmio.trace(), expected);
  EXPECT_TRUE(machine.io.trace().empty());
}

}  // namespace
