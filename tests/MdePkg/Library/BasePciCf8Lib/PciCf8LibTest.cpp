// PCI configuration access through 0xCF8/0xCFC: the address words, the data ports, the exact access
// sequences of the standard and extended forms with the interrupt flag at each access, and the checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "Library/PciLib.h"
#include "Platform/Host/Devices/PciHost.h"
#include "Platform/Host/Machine.h"
#include "tests/support/RecordingDebugLib.h"

namespace zarn::host {
// Readable failure output: port, width, value, direction and the interrupt flag of each access.
void PrintTo(const IoAccess &a, std::ostream *os) {
  *os << (a.write ? "W " : "R ") << std::hex << a.port << '/' << a.width << '=' << a.value << (a.interruptsEnabled ? " IF" : "");
}
}  // namespace zarn::host

namespace {

using zarn::host::IoAccess;
using zarn::host::Machine;
using zarn::host::PciHost;
using zarn::host::PciLocation;
using zarn::test::debugRecord;

constexpr const char *kSource = "MdePkg/Library/BasePciCf8Lib/PciCf8Lib";
constexpr const char *kFormA = "((Address) & (~0xffff0ff | (0))) == 0";
constexpr const char *kFormB = "((Address) & (~0xffff0ff | (1))) == 0";

IoAccess R(uint16_t port, unsigned width, uint32_t value, bool interrupts) { return {port, width, value, false, interrupts}; }
IoAccess W(uint16_t port, unsigned width, uint32_t value, bool interrupts) { return {port, width, value, true, interrupts}; }

class PciCf8Lib : public ::testing::Test {
 protected:
  static constexpr PciLocation kAcpi{0, 0x1F, 2};
  static constexpr PciLocation kEndpoint{1, 0, 0};

  void SetUp() override {
    machine.makeCurrent();
    attachPciHost(machine.io, pci);
    pci.addFunction(kAcpi, {0x5A52, 0x0B12, 0x068000});
    pci.addFunction(kEndpoint, {0x5A52, 0x1234, 0x070002});
    pci.addExtendedConfigEnable(0);
    debugRecord().clear();
  }

  // The address port as the code finds it, then a clean trace.
  void start(uint32_t addressPort, bool interrupts) {
    machine.io.write(0xCF8, 4, addressPort);
    machine.cpu.setInterruptFlag(interrupts);
    machine.io.clearTrace();
  }

  Machine machine;
  PciHost pci;
};

TEST_F(PciCf8Lib, StandardReadMasksInterruptsAroundTheAddressPairAndRestoresTheAddressPort) {
  pci.setConfig32(kAcpi, 0x44, 0xDDCCBBAAu);
  struct Case {
    UINTN address;
    uint16_t dataPort;
    uint8_t value;
  };
  for (const Case &c : {Case{0x000FA044, 0xCFC, 0xAA}, Case{0x000FA045, 0xCFD, 0xBB}, Case{0x000FA047, 0xCFF, 0xDD}}) {
    SCOPED_TRACE(c.address);
    start(0x80000808u, true);
    EXPECT_EQ(PciConfigRead8(c.address), c.value);
    const std::vector<IoAccess> expected = {R(0xCF8, 4, 0x80000808u, false), W(0xCF8, 4, 0x8000FA44u, false),
                                            R(c.dataPort, 1, c.value, false), W(0xCF8, 4, 0x80000808u, false)};
    EXPECT_EQ(machine.io.trace(), expected);
    EXPECT_TRUE(machine.cpu.interruptFlag());
    EXPECT_EQ(pci.addressRegister(), 0x80000808u);
  }
  EXPECT_TRUE(debugRecord().asserts.empty());
}

TEST_F(PciCf8Lib, AccessWithInterruptsAlreadyMaskedLeavesThemMasked) {
  start(0, false);
  PciConfigRead32(0x000FA040);
  for (const IoAccess &a : machine.io.trace()) EXPECT_FALSE(a.interruptsEnabled);
  EXPECT_FALSE(machine.cpu.interruptFlag());
}

TEST_F(PciCf8Lib, ExtendedRead16SetsAndRestoresTheEnableRegisterOutsideTheMaskedWindow) {
  pci.setConfig32({0, 0x18, 4}, 0x44, 0x00000100u);  // the value the enable register is found with
  pci.setConfig16(kEndpoint, 0x146, 0xBEEF);
  start(0x80000000u, true);
  EXPECT_EQ(PciConfigRead16(0x00100146), 0xBEEF);
  const std::vector<IoAccess> expected = {
      W(0xCF8, 4, 0x8000C444u, true),  R(0xCFC, 4, 0x00000100u, true), W(0xCFC, 4, 0x00000001u, true),
      R(0xCF8, 4, 0x8000C444u, false), W(0xCF8, 4, 0x81010044u, false), R(0xCFE, 2, 0xBEEF, false),
      W(0xCF8, 4, 0x8000C444u, false), W(0xCF8, 4, 0x8000C444u, true),  W(0xCFC, 4, 0x00000100u, true),
  };
  EXPECT_EQ(machine.io.trace(), expected);
  // Left holding the enable register's address, not the value found on entry.
  EXPECT_EQ(pci.addressRegister(), 0x8000C444u);
  EXPECT_TRUE(machine.cpu.cpuidQueries().empty());
  EXPECT_TRUE(machine.cpu.interruptFlag());
}

TEST_F(PciCf8Lib, ExtendedWritesReachTheExtendedRegisterAndPutTheEnableValueBack) {
  pci.addExtendedConfigEnable(3);
  machine.cpu.setCpuid(1, {0, 0x30000000u, 0, 0});
  start(0, false);
  EXPECT_EQ(PciConfigWrite32(0x00100FFC, 0x12345678u), 0x12345678u);
  EXPECT_EQ(PciConfigWrite16(0x00100202, 0xCAFE), 0xCAFE);
  EXPECT_EQ(pci.config32(kEndpoint, 0xFFC), 0x12345678u);
  EXPECT_EQ(pci.config16(kEndpoint, 0x202), 0xCAFE);
  EXPECT_EQ(pci.config32(kEndpoint, 0x0FC), 0u);  // the standard register with the same low bits is untouched
  EXPECT_FALSE(pci.extendedConfigEnabled());
  // The 32-bit write went through node 3's enable register, the 16-bit one through device 0x18's.
  const auto &t = machine.io.trace();
  ASSERT_GE(t.size(), 18u);
  EXPECT_EQ(t[0], W(0xCF8, 4, 0x8000DC44u, false));
  EXPECT_EQ(t[4], W(0xCF8, 4, 0x8F0100FCu, false));
  EXPECT_EQ(t[5], W(0xCFC, 4, 0x12345678u, false));
  EXPECT_EQ(t[9], W(0xCF8, 4, 0x8000C444u, false));
  EXPECT_EQ(t[13], W(0xCF8, 4, 0x82010000u, false));
  EXPECT_EQ(t[14], W(0xCFE, 2, 0xCAFE, false));
  EXPECT_EQ(machine.cpu.cpuidQueries(), std::vector<uint32_t>{1});
}

TEST_F(PciCf8Lib, Read32BelowRegister0x100MakesNoCpuidQueryAndNoEnableAccess) {
  pci.setConfig32(kEndpoint, 0xFC, 0x0BADF00Du);
  start(0, true);
  EXPECT_EQ(PciConfigRead32(0x001000FC), 0x0BADF00Du);
  EXPECT_TRUE(machine.cpu.cpuidQueries().empty());
  const std::vector<IoAccess> expected = {R(0xCF8, 4, 0, false), W(0xCF8, 4, 0x800100FCu, false),
                                          R(0xCFC, 4, 0x0BADF00Du, false), W(0xCF8, 4, 0, false)};
  EXPECT_EQ(machine.io.trace(), expected);
}

TEST_F(PciCf8Lib, EnableRegisterDeviceFollowsCpuidLeaf1EbxBits28To30) {
  // Bit 31 and the bits below 28 do not take part.
  const std::vector<std::pair<uint32_t, uint32_t>> cases = {
      {0x00000000u, 0x8000C444u}, {0x1FFFFFFFu, 0x8000CC44u}, {0x20000000u, 0x8000D444u},
      {0xB0000000u, 0x8000DC44u}, {0x40000000u, 0x8000E444u}, {0x50000000u, 0x8000EC44u},
      {0x60000000u, 0x8000F444u}, {0xF0000000u, 0x8000FC44u},
  };
  for (const auto &[ebx, cf8] : cases) {
    machine.cpu.setCpuid(1, {0xFFFFFFFFu, ebx, 0xFFFFFFFFu, 0xFFFFFFFFu});
    EXPECT_EQ(GetExtCfgEnableAddress(), cf8) << std::hex << ebx;
  }
  start(0, true);
  machine.cpu.setCpuid(1, {0, 0xB0000000u, 0, 0});
  PciConfigRead32(0x00000100);
  ASSERT_FALSE(machine.io.trace().empty());
  EXPECT_EQ(machine.io.trace()[0], W(0xCF8, 4, 0x8000DC44u, true));
}

struct CheckCase {
  const char *name;
  std::function<void()> call;
  const char *expression;  // nullptr: no report
  uint32_t cf8;            // the address word written
  IoAccess data;           // the first data-port access
};

TEST_F(PciCf8Lib, ChecksReportAndTheAccessGoesOnWithTheOffendingBitsIgnored) {
  pci.setConfig32(kAcpi, 0x44, 0x00F000F0u);
  const CheckCase cases[] = {
      {"Read8 register 0x144", [] { PciConfigRead8(0x000FA144); }, kFormA, 0x8000FA44u, R(0xCFC, 1, 0xF0, false)},
      {"Or8 bit 28", [] { PciConfigOr8(0x100FA046, 0x01); }, kFormA, 0x8000FA44u, R(0xCFE, 1, 0xF0, false)},
      {"Or16 odd register", [] { PciConfigOr16(0x000FA045, 0x0001); }, kFormB, 0x8000FA44u, R(0xCFC, 2, 0x00F0, false)},
      {"Or16 odd register 0x47", [] { PciConfigOr16(0x000FA047, 0x0001); }, kFormB, 0x8000FA44u, R(0xCFE, 2, 0x00F0, false)},
      {"And16 register 0x246", [] { PciConfigAnd16(0x000FA246, 0x00FF); }, kFormB, 0x8000FA44u, R(0xCFE, 2, 0x00F0, false)},
      {"Read16 odd register", [] { PciConfigRead16(0x000FA047); }, nullptr, 0x8000FA44u, R(0xCFE, 2, 0x00F0, false)},
      {"Read32 register 0x47", [] { PciConfigRead32(0x000FA047); }, nullptr, 0x8000FA44u, R(0xCFC, 4, 0x00F000F0u, false)},
      {"Write16 bits 28-31", [] { PciConfigWrite16(0xF00FA046, 0x1234); }, nullptr, 0x8000FA44u, W(0xCFE, 2, 0x1234, false)},
  };
  for (const CheckCase &c : cases) {
    SCOPED_TRACE(c.name);
    debugRecord().clear();
    start(0, true);
    c.call();
    if (c.expression) {
      ASSERT_EQ(debugRecord().asserts.size(), 1u);
      EXPECT_EQ(debugRecord().asserts[0].sourcePath, kSource);
      EXPECT_EQ(debugRecord().asserts[0].expression, c.expression);
    } else {
      EXPECT_TRUE(debugRecord().asserts.empty());
    }
    const auto &t = machine.io.trace();
    ASSERT_GE(t.size(), 4u);
    EXPECT_EQ(t[1], W(0xCF8, 4, c.cf8, false));
    EXPECT_EQ(t[2], c.data);
    pci.setConfig32(kAcpi, 0x44, 0x00F000F0u);
  }
}

TEST_F(PciCf8Lib, ReadModifyWriteReturnsTheValueWrittenAndKeepsOtherBits) {
  pci.setConfig16(kAcpi, 0x40, 0x0400);
  pci.setConfig8(kAcpi, 0x44, 0x05);
  start(0, true);
  EXPECT_EQ(PciConfigOr8(0x000FA044, 0x80), 0x85);
  EXPECT_EQ(PciConfigOr16(0x000FA040, 0x0001), 0x0401);
  EXPECT_EQ(PciConfigAnd16(0x000FA040, 0xFF00), 0x0400);
  EXPECT_EQ(pci.config8(kAcpi, 0x44), 0x85);
  EXPECT_EQ(pci.config16(kAcpi, 0x40), 0x0400);
  // Each one: address save and set, data read and write, address restore.
  const auto &t = machine.io.trace();
  ASSERT_EQ(t.size(), 15u);
  EXPECT_EQ(t[2], R(0xCFC, 1, 0x05, false));
  EXPECT_EQ(t[3], W(0xCFC, 1, 0x85, false));
  EXPECT_EQ(t[13], W(0xCFC, 2, 0x0400, false));
  EXPECT_TRUE(debugRecord().asserts.empty());
}

}  // namespace
