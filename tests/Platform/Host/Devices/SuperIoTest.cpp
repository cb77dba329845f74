#include <gtest/gtest.h>

#include "Platform/Host/Devices/SuperIo.h"

namespace zarn::host {
namespace {

class SuperIoTest : public ::testing::Test {
 protected:
  SuperIoTest() { attachSuperIo(bus, chip); }
  void writeRegister(uint8_t reg, uint8_t value) {
    bus.write(0x4E, 1, reg);
    bus.write(0x4F, 1, value);
  }
  uint8_t readRegister(uint8_t reg) {
    bus.write(0x4E, 1, reg);
    return static_cast<uint8_t>(bus.read(0x4F, 1));
  }
  IoBus bus;
  SuperIo chip;
};

TEST_F(SuperIoTest, PowerOnBothUartsInactive) {
  for (uint8_t ld : {2, 3}) {
    writeRegister(0x07, ld);
    EXPECT_EQ(readRegister(0x30), 0x00);
    EXPECT_EQ(readRegister(0x60), 0x00);
    EXPECT_EQ(readRegister(0x61), 0x00);
  }
  EXPECT_FALSE(chip.decodes(0x3F8));
}

TEST_F(SuperIoTest, LogicalDeviceSelectRoutesPerDeviceRegisters) {
  const uint8_t setup[][2] = {{0x07, 0x03}, {0x60, 0x03}, {0x61, 0xF8}, {0x70, 0x04}, {0x30, 0x01},
                              {0x07, 0x02}, {0x60, 0x02}, {0x61, 0xF8}, {0x70, 0x03}, {0x30, 0x01}};
  for (const auto &pair : setup) writeRegister(pair[0], pair[1]);

  EXPECT_EQ(chip.ioBase(3), 0x3F8);
  EXPECT_EQ(chip.get(3, 0x70), 0x04);
  EXPECT_EQ(chip.ioBase(2), 0x2F8);
  EXPECT_EQ(chip.get(2, 0x70), 0x03);
  EXPECT_TRUE(chip.decodes(0x3F8));
  EXPECT_TRUE(chip.decodes(0x2F8));

  writeRegister(0x07, 0x03);
  writeRegister(0x30, 0x00);
  EXPECT_FALSE(chip.decodes(0x3F8));
  EXPECT_TRUE(chip.decodes(0x2F8));
}

TEST_F(SuperIoTest, PresetActivateValueReadsBackUnchanged) {
  chip.set(3, 0x30, 0x81);
  writeRegister(0x07, 0x03);
  EXPECT_EQ(readRegister(0x30), 0x81);
}

TEST_F(SuperIoTest, AccessesTheChipDoesNotHave) {
  writeRegister(0x07, 0x05);  // the number latches; the device does not exist
  EXPECT_THROW(readRegister(0x30), DeviceError);
  writeRegister(0x07, 0x03);
  EXPECT_THROW(readRegister(0xF5), DeviceError);
  EXPECT_THROW(bus.write(0x4E, 2, 0x0307), DeviceError);
  EXPECT_THROW(chip.get(4, 0x30), DeviceError);
}

}  // namespace
}  // namespace zarn::host
