#include <gtest/gtest.h>

#include "Platform/Host/Devices/Cmos.h"

namespace zarn::host {
namespace {

class CmosTest : public ::testing::Test {
 protected:
  CmosTest() { attachCmos(bus, cmos); }
  IoBus bus;
  Cmos cmos;
};

TEST_F(CmosTest, IndexBitSevenIsNmiDisableNotRegisterNumber) {
  cmos.set(0x0E, 0x80);
  cmos.set(0x7A, 0x5A);
  struct Case {
    uint8_t indexWritten;
    uint8_t expectedRegister;
    bool expectedNmiDisabled;
    uint8_t expectedData;
  };
  const Case cases[] = {
      {0x8E, 0x0E, true, 0x80},
      {0x0E, 0x0E, false, 0x80},
      {0x7A, 0x7A, false, 0x5A},
      {0xFA, 0x7A, true, 0x5A},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.indexWritten);
    bus.write(0x70, 1, c.indexWritten);
    EXPECT_EQ(cmos.indexPort(), c.indexWritten);
    EXPECT_EQ(cmos.index(), c.expectedRegister);
    EXPECT_EQ(cmos.nmiDisabled(), c.expectedNmiDisabled);
    EXPECT_EQ(bus.read(0x71, 1), c.expectedData);
  }
  EXPECT_EQ(cmos.reads(), (std::vector<Cmos::Access>{
                              {0x0E, 0x80, false}, {0x0E, 0x80, false}, {0x7A, 0x5A, false}, {0x7A, 0x5A, false}}));
}

TEST_F(CmosTest, DataWritesAreRecordedAndStored) {
  bus.write(0x70, 1, 0x6F);
  bus.write(0x71, 1, 0x04);
  EXPECT_EQ(cmos.get(0x6F), 0x04);
  EXPECT_EQ(cmos.accesses(), (std::vector<Cmos::Access>{{0x6F, 0x04, true}}));
  EXPECT_TRUE(cmos.reads().empty());
}

TEST_F(CmosTest, UpperBankThroughSecondPortPair) {
  cmos.set(0x85, 0xA5);
  cmos.set(0x05, 0x11);
  bus.write(0x72, 1, 0x05);
  EXPECT_EQ(bus.read(0x73, 1), 0xA5);
  bus.write(0x70, 1, 0x05);
  EXPECT_EQ(bus.read(0x71, 1), 0x11);
}

TEST_F(CmosTest, ClockStatusRegisters) {
  bus.write(0x70, 1, 0x0D);
  EXPECT_EQ(bus.read(0x71, 1), 0x80);  // valid RAM and time
  EXPECT_THROW(bus.write(0x71, 1, 0x00), DeviceError);
  cmos.set(0x0C, 0x90);
  bus.write(0x70, 1, 0x0C);
  EXPECT_EQ(bus.read(0x71, 1), 0x90);
  EXPECT_EQ(bus.read(0x71, 1), 0x00);  // flags clear when read
}

TEST_F(CmosTest, ResetKeepsBatteryBackedContents) {
  cmos.set(0x7B, 0x12);
  bus.write(0x70, 1, 0x8E);
  cmos.reset();
  EXPECT_EQ(cmos.get(0x7B), 0x12);
  EXPECT_FALSE(cmos.nmiDisabled());
}

TEST_F(CmosTest, AccessesTheDeviceDoesNotHave) {
  EXPECT_THROW(bus.write(0x70, 2, 0x008E), DeviceError);
  EXPECT_THROW(bus.read(0x71, 2), DeviceError);
  EXPECT_THROW(bus.read(0x70, 4), DeviceError);
  EXPECT_THROW(bus.read(0x70, 1), DeviceError);  // the index port is write-only
}

}  // namespace
}  // namespace zarn::host
