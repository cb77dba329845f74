// As the deliverables are built (base register offset 0): two checks, no PCI access.
#include "tests/PcAtChipsetPkg/Library/AcpiTimerLib/AcpiTimerLibFixture.h"

TEST_F(AcpiTimerLibTest, BaseRegisterOffsetZeroLeavesTheDecodeAlone) {
  board.pci.setConfig8(kAcpi, 0x44, 0x00);
  EXPECT_EQ(AcpiTimerLibConstructor(), EFI_SUCCESS);
  EXPECT_TRUE(machine.io.trace().empty());
  EXPECT_TRUE(zarn::test::debugRecord().asserts.empty());
}
