// The bridge walk in I/O mode: bus numbers and I/O windows checked bridge by bridge, the UART's I/O
// BAR assigned when empty, decoding and power state D0 switched on along the path.
#include <functional>
#include <string>
#include <vector>

#include "tests/Library/SerialConsole/SerialRig.h"

namespace {

using zarn::host::PciBarKind;
using zarn::host::PciHost;
using zarn::host::PciLocation;
using zarn::test::bytes;
using zarn::test::SerialRig;
using Config = PciHost::ConfigAccess;

constexpr PciLocation kBridgeA{0, 0x1C, 0};
constexpr PciLocation kBridgeB{1, 0x00, 0};
constexpr PciLocation kUart{2, 0x00, 0};

// The path of the build's bridge list, in D3 where it has power management, nothing decoding yet.
void buildPath(PciHost &pci) {
  pci.addBridge(kBridgeA, {.primaryBus = 0, .secondaryBus = 1, .subordinateBus = 2});
  pci.setBridgeIoWindow(kBridgeA, 0x0000, 0x0FFF);
  pci.addBridge(kBridgeB, {.primaryBus = 1, .secondaryBus = 2, .subordinateBus = 2});
  pci.setBridgeIoWindow(kBridgeB, 0x0000, 0x0FFF);
  pci.addPowerManagement(kBridgeB, 0x48, 3);
  pci.addSerialController(kUart, PciBarKind::Io);
  pci.addPowerManagement(kUart, 0x44, 3);
}

std::vector<Config> configWrites(const PciHost &pci) {
  std::vector<Config> out;
  for (const Config &c : pci.configAccesses()) {
    if (c.write) out.push_back(c);
  }
  return out;
}

TEST(SerialFindRegisterBase, AssignsTheBarAndOpensThePathUartFirst) {
  SerialRig rig;
  buildPath(rig.board.pci);
  EXPECT_EQ(SerialFindRegisterBase(), 0x3F8u);
  const std::vector<Config> expected = {
      {kUart, 0x10, 4, 0x3F8, true, true},      // BAR 0 was empty
      {kUart, 0x04, 2, 0x0001, true, true},     // I/O decode
      {kUart, 0x44, 2, 0x0000, true, true},     // D3 -> D0
      {kBridgeA, 0x04, 2, 0x0001, true, true},  // then the bridges from bus 0 on
      {kBridgeB, 0x04, 2, 0x0001, true, true},
      {kBridgeB, 0x48, 2, 0x0000, true, true},
  };
  EXPECT_EQ(configWrites(rig.board.pci), expected);
  EXPECT_EQ(rig.board.pci.config32(kUart, 0x10), 0x3F9u);
  EXPECT_EQ(rig.board.pci.powerState(kUart), 0);
  EXPECT_EQ(rig.board.pci.powerState(kBridgeB), 0);
  // Back in D0 the UART's FIFO control is written again at the new base.
  EXPECT_EQ(zarn::test::writesIn(rig.machine.io, 0x3F8, 8), std::vector<zarn::test::PortAccess>{zarn::test::Wr(0x3FA, 0x01)});

  // A second walk finds everything set up: only the decode enables are written again.
  rig.board.pci.clearConfigAccesses();
  rig.machine.io.clearTrace();
  EXPECT_EQ(SerialFindRegisterBase(), 0x3F8u);
  const std::vector<Config> again = {
      {kUart, 0x04, 2, 0x0001, true, true}, {kBridgeA, 0x04, 2, 0x0001, true, true}, {kBridgeB, 0x04, 2, 0x0001, true, true}};
  EXPECT_EQ(configWrites(rig.board.pci), again);
  EXPECT_TRUE(zarn::test::writesIn(rig.machine.io, 0x3F8, 8).empty());
}

TEST(SerialFindRegisterBase, UsesTheFirstIoBarAndKeepsAnAddressAlreadyAssigned) {
  SerialRig rig;
  PciHost &pci = rig.board.pci;
  pci.addBridge(kBridgeA, {.primaryBus = 0, .secondaryBus = 1, .subordinateBus = 2});
  pci.setBridgeIoWindow(kBridgeA, 0x0000, 0x0FFF);
  pci.addBridge(kBridgeB, {.primaryBus = 1, .secondaryBus = 2, .subordinateBus = 2});
  pci.setBridgeIoWindow(kBridgeB, 0x0000, 0x0FFF);
  pci.addFunction(kUart, {0x5A52, 0x0B50, 0x070002});
  pci.addBar(kUart, 0, PciBarKind::Memory32, 4096, 0xFE000000u);
  pci.addBar(kUart, 1, PciBarKind::Io, 8, 0x2F8);
  EXPECT_EQ(SerialFindRegisterBase(), 0x2F8u);
  for (const Config &c : configWrites(pci)) EXPECT_EQ(c.reg, 0x04) << "only decode enables are written";
}

TEST(SerialFindRegisterBase, AnUnusablePathGivesNoBaseAndTheConsoleStaysSilent) {
  struct Case {
    const char *name;
    std::function<void(PciHost &)> spoil;
  };
  const Case cases[] = {
      {"secondary bus 0", [](PciHost &p) { p.setBridgeBuses(kBridgeA, 0, 0, 2); }},
      {"secondary above subordinate", [](PciHost &p) { p.setBridgeBuses(kBridgeB, 1, 3, 2); }},
      {"window limit below base", [](PciHost &p) { p.setBridgeIoWindow(kBridgeB, 0x1000, 0x0FFF); }},
      {"window outside the parent's", [](PciHost &p) { p.setBridgeIoWindow(kBridgeB, 0x1000, 0x1FFF); }},
      {"window above 64 KiB", [](PciHost &p) { p.setBridgeIoWindow(kBridgeA, 0x10000, 0x10FFF); }},
      {"BAR outside the window", [](PciHost &p) { p.setConfig32(kUart, 0x10, 0x5001); }},
      {"no I/O BAR", [](PciHost &p) { p.setConfig32(kUart, 0x10, 0xFE000000u); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    SerialRig rig({.firstUart = zarn::host::UartOptions::programmed(0x03, 1)});
    buildPath(rig.board.pci);
    c.spoil(rig.board.pci);
    EXPECT_EQ(SerialFindRegisterBase(), 0u);
    EXPECT_EQ(SerialInitialize(), EFI_DEVICE_ERROR);
    EXPECT_EQ(SerialWrite(bytes("lost"), 4), 0u);
    EXPECT_TRUE(rig.board.firstUart.transmitted().empty());
    EXPECT_EQ(rig.board.pci.powerState(kUart), 3);
  }
}

TEST(SerialConsole, WritesThroughTheBridgePathWalkingItForEveryBurst) {
  SerialRig rig;
  buildPath(rig.board.pci);
  EXPECT_EQ(SerialInitialize(), EFI_SUCCESS);
  rig.board.pci.clearConfigAccesses();
  const std::string text(20, '=');
  EXPECT_EQ(SerialWrite(bytes(text), 20), 20u);
  EXPECT_EQ(rig.board.firstUart.transmittedText(), text);
  // The call's own check and two bursts: three walks, each enabling three functions.
  EXPECT_EQ(configWrites(rig.board.pci).size(), 9u);
}

}  // namespace
