#include <gtest/gtest.h>

#include "Platform/Host/Devices/PciHost.h"

namespace zarn::host {
namespace {

constexpr PciLocation kAcpi{0, 0x1F, 2};
constexpr PciLocation kBridge{0, 0x01, 0};
constexpr PciLocation kUart{1, 0x00, 0};

class PciHostTest : public ::testing::Test {
 protected:
  PciHostTest() {
    attachPciHost(bus, pci);
    pci.addFunction(kAcpi, {0x1234, 0x5678, 0x0C0500}, true);
  }
  uint32_t configRead(uint32_t cf8, uint16_t port, unsigned width) {
    bus.write(0xCF8, 4, cf8);
    return bus.read(port, width);
  }
  void configWrite(uint32_t cf8, uint16_t port, unsigned width, uint32_t value) {
    bus.write(0xCF8, 4, cf8);
    bus.write(port, width, value);
  }
  IoBus bus;
  PciHost pci;
};

TEST_F(PciHostTest, DataPortsSelectBytesOfTheAddressedRegister) {
  pci.setConfig32(kAcpi, 0x44, 0x44332211);
  const struct {
    uint16_t port;
    unsigned width;
    uint32_t value;
  } cases[] = {{0xCFC, 4, 0x44332211}, {0xCFC, 2, 0x2211}, {0xCFE, 2, 0x4433}, {0xCFC, 1, 0x11},
               {0xCFD, 1, 0x22},       {0xCFE, 1, 0x33},   {0xCFF, 1, 0x44}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.port);
    EXPECT_EQ(configRead(0x8000FA44, c.port, c.width), c.value);
  }
  EXPECT_EQ(configRead(0x8000FA00, 0xCFC, 4), 0x56781234u);  // vendor and device id
  EXPECT_EQ(configRead(0x8000FA08, 0xCFC, 4), 0x0C050000u);  // class code, revision 0
}

TEST_F(PciHostTest, NarrowWritesChangeOnlyTheirBytes) {
  pci.setConfig32(kAcpi, 0x44, 0x44332211);
  configWrite(0x8000FA44, 0xCFD, 1, 0xAA);
  configWrite(0x8000FA44, 0xCFE, 2, 0xBBCC);
  EXPECT_EQ(pci.config32(kAcpi, 0x44), 0xBBCCAA11u);
  EXPECT_EQ(pci.configAccesses().back(), (PciHost::ConfigAccess{kAcpi, 0x46, 2, 0xBBCC, true, true}));
}

TEST_F(PciHostTest, AddressRegisterKeepsOnlyItsDefinedBits) {
  bus.write(0xCF8, 4, 0x8000C444);
  EXPECT_EQ(bus.read(0xCF8, 4), 0x8000C444u);
  bus.write(0xCF8, 4, 0xFFFFFFFF);
  EXPECT_EQ(bus.read(0xCF8, 4), 0x8FFFFFFCu);
}

TEST_F(PciHostTest, AbsentFunctionReadsAllOnesAndDropsWrites) {
  for (unsigned width : {1u, 2u, 4u}) {
    EXPECT_EQ(configRead(0x80010000, 0xCFC, width), width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1);
  }
  configWrite(0x80010010, 0xCFC, 4, 0x3F8);
  EXPECT_FALSE(pci.present({1, 0, 0}));
  EXPECT_FALSE(pci.configAccesses().back().present);
}

TEST_F(PciHostTest, DataPortsWithoutEnableBitAreNotConfigurationCycles) {
  pci.setConfig32(kAcpi, 0x44, 0x44332211);
  EXPECT_EQ(configRead(0x0000FA44, 0xCFC, 4), 0xFFFFFFFFu);
  configWrite(0x0000FA44, 0xCFC, 4, 0);
  EXPECT_EQ(pci.config32(kAcpi, 0x44), 0x44332211u);
  EXPECT_TRUE(pci.configAccesses().empty());
}

TEST_F(PciHostTest, AccessesTheHostDoesNotHave) {
  const struct {
    uint16_t port;
    unsigned width;
  } cases[] = {{0xCF8, 2}, {0xCF8, 1}, {0xCF9, 1}, {0xCFA, 2}, {0xCF9, 4}, {0xCFD, 2}};
  bus.write(0xCF8, 4, 0x8000FA44);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.port);
    EXPECT_THROW(bus.read(c.port, c.width), DeviceError);
    EXPECT_THROW(bus.write(c.port, c.width, 0), DeviceError);
  }
}

TEST_F(PciHostTest, BridgeBusNumbersAndWindows) {
  pci.addBridge(kBridge, {.primaryBus = 0, .secondaryBus = 1, .subordinateBus = 2});
  pci.setBridgeIoWindow(kBridge, 0x12000, 0x12FFF);
  pci.setBridgeMemoryWindow(kBridge, 0xFE000000, 0xFE1FFFFF);
  const struct {
    uint32_t cf8;
    uint16_t port;
    unsigned width;
    uint32_t value;
  } cases[] = {
      {0x8000080C, 0xCFE, 1, 0x01},    // header type 1
      {0x80000818, 0xCFC, 1, 0x00},    // primary bus
      {0x80000818, 0xCFD, 1, 0x01},    // secondary bus
      {0x80000818, 0xCFE, 1, 0x02},    // subordinate bus
      {0x8000081C, 0xCFC, 1, 0x21},    // I/O base bits 12-15, 32-bit I/O
      {0x8000081C, 0xCFD, 1, 0x21},    // I/O limit
      {0x80000830, 0xCFC, 2, 0x0001},  // I/O base bits 16-31
      {0x80000830, 0xCFE, 2, 0x0001},  // I/O limit bits 16-31
      {0x80000820, 0xCFC, 2, 0xFE00},  // memory base
      {0x80000820, 0xCFE, 2, 0xFE10},  // memory limit
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.cf8);
    EXPECT_EQ(configRead(c.cf8, c.port, c.width), c.value);
  }
}

TEST_F(PciHostTest, BridgeRegisterWriteMasks) {
  pci.addBridge(kBridge, {.io32 = false});
  const struct {
    uint32_t cf8;
    uint16_t port;
    unsigned width;
    uint32_t written;
    uint32_t readBack;
  } cases[] = {
      {0x80000818, 0xCFD, 1, 0x05, 0x05},      // secondary bus writable
      {0x8000081C, 0xCFC, 1, 0xFF, 0xF0},      // I/O base low nibble: 16-bit capability
      {0x80000830, 0xCFC, 4, 0xFFFFFFFF, 0},   // no upper I/O halves on a 16-bit bridge
      {0x80000820, 0xCFC, 2, 0xFFFF, 0xFFF0},  // memory base bits 0-3 read 0
      {0x80000804, 0xCFC, 2, 0xFFFF, 0x07FF},  // command bits 0-10
      {0x80000800, 0xCFC, 4, 0, 0x0B015A52},   // identity read-only
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.cf8);
    configWrite(c.cf8, c.port, c.width, c.written);
    EXPECT_EQ(configRead(c.cf8, c.port, c.width), c.readBack);
  }
}

TEST_F(PciHostTest, PowerStateBitsOfTheControlStatusRegister) {
  pci.addBridge(kBridge);
  pci.addPowerManagement(kBridge, 0x84, 3);
  EXPECT_EQ(configRead(0x80000884, 0xCFC, 2), 0x0003u);
  EXPECT_EQ(configRead(0x80000834, 0xCFC, 1), 0x80u);  // capability pointer
  EXPECT_EQ(configRead(0x80000880, 0xCFC, 1), 0x01u);  // power-management capability id
  configWrite(0x80000884, 0xCFC, 2, 0xFFFC);
  EXPECT_EQ(pci.powerState(kBridge), 0);
  EXPECT_EQ(configRead(0x80000884, 0xCFC, 2), 0x0000u);
  configWrite(0x80000884, 0xCFC, 2, 0xFFFF);
  EXPECT_EQ(configRead(0x80000884, 0xCFC, 2), 0x0003u);
}

TEST_F(PciHostTest, BarWithoutAddressReadsZeroAddressBitsAndTakesAWrite) {
  pci.addSerialController(kUart, PciBarKind::Io);
  pci.addSerialController({1, 0, 1}, PciBarKind::Memory32);
  const struct {
    uint32_t cf8;
    uint32_t before;
    uint32_t written;
    uint32_t after;
  } cases[] = {
      {0x80010010, 0x00000001, 0x000003F8, 0x000003F9},
      {0x80010010, 0x000003F9, 0xFFFFFFFF, 0xFFFFFFF9},  // 8 bytes of I/O
      {0x80010110, 0x00000000, 0xFEDC9000, 0xFEDC9000},
      {0x80010110, 0xFEDC9000, 0xFFFFFFFF, 0xFFFFF000},  // 4 KiB of memory
      {0x80010014, 0x00000000, 0xFFFFFFFF, 0x00000000},  // BAR 1 not implemented
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.cf8);
    EXPECT_EQ(configRead(c.cf8, 0xCFC, 4), c.before);
    configWrite(c.cf8, 0xCFC, 4, c.written);
    EXPECT_EQ(configRead(c.cf8, 0xCFC, 4), c.after);
  }
}

class ExtendedConfigTest : public PciHostTest {
 protected:
  ExtendedConfigTest() {
    pci.addExtendedConfigEnable(0);
    pci.addExtendedConfigEnable(3);
    pci.addFunction(kUart, {0x1234, 0x0001, 0x070002});
    pci.setConfig16(kUart, 0x146, 0xBEEF);
    pci.setConfig16(kUart, 0x046, 0x1234);
  }
  uint16_t readRegister146() { return static_cast<uint16_t>(configRead(0x81010044, 0xCFE, 2)); }
};

TEST_F(ExtendedConfigTest, ReachableOnlyWhileAnEnableRegisterHoldsOne) {
  const struct {
    uint32_t enableCf8;
    uint32_t enableValue;
    uint16_t expected;
  } cases[] = {
      {0x8000C444, 0x00000000, 0x1234},                                    // disabled: bits 24-27 ignored
      {0x8000C444, 0x00000001, 0xBEEF},                                    // device 0x18
      {0x8000C444, 0x00000000, 0x1234}, {0x8000DC44, 0x00000001, 0xBEEF},  // device 0x1B, processor node 3
      {0x8000DC44, 0xFFFFFFFE, 0x1234},                                    // only bit 0 enables
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.enableCf8);
    configWrite(c.enableCf8, 0xCFC, 4, c.enableValue);
    EXPECT_EQ(readRegister146(), c.expected);
  }
}

TEST_F(ExtendedConfigTest, FirmwareSequenceReachesTheExtendedRegister) {
  bus.write(0xCF8, 4, 0x8000C444);
  const uint32_t saved = bus.read(0xCFC, 4);
  bus.write(0xCFC, 4, 0x00000001);
  EXPECT_EQ(bus.read(0xCF8, 4), 0x8000C444u);
  bus.write(0xCF8, 4, 0x81010044);
  bus.write(0xCFE, 2, 0xCAFE);
  EXPECT_EQ(bus.read(0xCFE, 2), 0xCAFEu);
  bus.write(0xCF8, 4, 0x8000C444);
  bus.write(0xCFC, 4, saved);

  EXPECT_FALSE(pci.extendedConfigEnabled());
  EXPECT_EQ(pci.config16(kUart, 0x146), 0xCAFE);
  EXPECT_EQ(pci.config16(kUart, 0x046), 0x1234);
  EXPECT_EQ(pci.configAccesses()[2], (PciHost::ConfigAccess{kUart, 0x146, 2, 0xCAFE, true, true}));
}

TEST_F(ExtendedConfigTest, ResetReturnsToPresetsAndClearsTheAddressRegister) {
  configWrite(0x8000C444, 0xCFC, 4, 1);
  configWrite(0x81010044, 0xCFE, 2, 0x0000);
  pci.reset();
  EXPECT_EQ(bus.read(0xCF8, 4), 0u);
  EXPECT_FALSE(pci.extendedConfigEnabled());
  EXPECT_EQ(pci.config16(kUart, 0x146), 0xBEEF);
}

TEST(PciHostTopology, ErrorsInTheSetup) {
  PciHost pci;
  pci.addFunction({0, 2, 0}, {1, 1, 0});
  EXPECT_THROW(pci.addFunction({0, 2, 0}, {1, 1, 0}), DeviceError);
  EXPECT_THROW(pci.addFunction({0, 32, 0}, {1, 1, 0}), DeviceError);
  EXPECT_THROW(pci.addBar({0, 2, 0}, 6, PciBarKind::Io, 8), DeviceError);
  EXPECT_THROW(pci.addBar({0, 2, 0}, 0, PciBarKind::Io, 12), DeviceError);
  EXPECT_THROW(pci.addBar({0, 2, 0}, 0, PciBarKind::Io, 8, 0x3FC), DeviceError);
  EXPECT_THROW(pci.setBridgeBuses({0, 2, 0}, 0, 1, 1), DeviceError);
  EXPECT_THROW(pci.addExtendedConfigEnable(8), DeviceError);
  EXPECT_THROW(pci.powerState({0, 2, 0}), DeviceError);
  EXPECT_THROW(pci.config32({0, 3, 0}, 0), DeviceError);
}

}  // namespace
}  // namespace zarn::host
