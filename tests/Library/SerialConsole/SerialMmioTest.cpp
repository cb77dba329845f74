// MMIO mode: memory windows of the bridges, the UART's memory BAR, memory decode enables, and the
// UART's registers reached with byte accesses 4 bytes apart.
#include <string>
#include <vector>

#include "tests/Library/SerialConsole/SerialRig.h"

namespace {

using zarn::host::MmioAccess;
using zarn::host::PciBarKind;
using zarn::host::PciHost;
using zarn::host::PciLocation;
using zarn::test::SerialRig;
using Config = PciHost::ConfigAccess;

constexpr PciLocation kBridge{0, 0x1C, 0};
constexpr PciLocation kUart{1, 0x00, 0};

zarn::host::StandardPlatformOptions mmioBoard() { return {.mmioUartBase = 0xFE001000u, .mmioUartSpacing = 4}; }

// An I/O BAR first, then the memory BAR the walk must pick.
void buildPath(PciHost &pci, uint32_t windowBase, uint32_t windowLimit, uint32_t memoryBar) {
  pci.addBridge(kBridge, {.primaryBus = 0, .secondaryBus = 1, .subordinateBus = 1});
  pci.setBridgeMemoryWindow(kBridge, windowBase, windowLimit);
  pci.addFunction(kUart, {0x5A52, 0x0B50, 0x070002});
  pci.addBar(kUart, 0, PciBarKind::Io, 8, 0);
  pci.addBar(kUart, 1, PciBarKind::Memory32, 4096, memoryBar);
  pci.addPowerManagement(kUart, 0x44, 3);
}

TEST(SerialMmio, FindsTheMemoryBarEnablesMemoryDecodeAndWritesFifoControlThroughMmio) {
  SerialRig rig(mmioBoard());
  buildPath(rig.board.pci, 0xFE000000u, 0xFEFFFFFFu, 0);
  EXPECT_EQ(SerialFindRegisterBase(), 0xFE001000u);
  std::vector<Config> writes;
  for (const Config &c : rig.board.pci.configAccesses()) {
    if (c.write) writes.push_back(c);
  }
  const std::vector<Config> expected = {
      {kUart, 0x14, 4, 0xFE001000u, true, true}, {kUart, 0x04, 2, 0x0002, true, true},
      {kUart, 0x44, 2, 0x0000, true, true},      {kBridge, 0x04, 2, 0x0002, true, true}};
  EXPECT_EQ(writes, expected);
  // Back in D0: FIFO control at base + 2 x 4.
  ASSERT_TRUE(rig.board.mmioUart.has_value());
  EXPECT_EQ(rig.machine.mmio.trace(), (std::vector<MmioAccess>{{0xFE001008u, 0x01, true}}));
  EXPECT_EQ(rig.board.mmioUart->fifoControl(), 0x01);

  // Each burst tests the FIFOs of the UART the walk found.
  const size_t before = rig.machine.mmio.trace().size();
  EXPECT_EQ(SerialWrite(zarn::test::bytes("hi"), 2), 2u);
  ASSERT_GT(rig.machine.mmio.trace().size(), before);
  EXPECT_EQ(rig.machine.mmio.trace()[before], (MmioAccess{0xFE001008u, 0xC1, false}));
}

TEST(SerialMmio, MemoryWindowsAreCheckedLikeIoWindows) {
  struct Case {
    const char *name;
    uint32_t windowBase, windowLimit, bar;
  };
  const Case cases[] = {
      {"window limit below base", 0xFE000000u, 0xFD0FFFFFu, 0},
      {"BAR below the window", 0xFE000000u, 0xFEFFFFFFu, 0xFD000000u},
      {"BAR above the window", 0xFE000000u, 0xFEFFFFFFu, 0xFF000000u},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    SerialRig rig(mmioBoard());
    buildPath(rig.board.pci, c.windowBase, c.windowLimit, c.bar);
    EXPECT_EQ(SerialFindRegisterBase(), 0u);
    EXPECT_EQ(SerialInitialize(), EFI_DEVICE_ERROR);
  }
}

}  // namespace
