// Base register 0x40, enable mask 0x81: the base is written only when an enable bit is missing, and
// before the enable bits are set.
#include <vector>

#include "tests/PcAtChipsetPkg/Library/AcpiTimerLib/AcpiTimerLibFixture.h"

TEST_F(AcpiTimerLibTest, AllEnableBitsSetReadsOnceAndWritesNothing) {
  board.pci.setConfig8(kAcpi, 0x44, 0xC1);
  EXPECT_EQ(AcpiTimerLibConstructor(), EFI_SUCCESS);
  const std::vector<Config> expected = {{kAcpi, 0x44, 1, 0xC1, false, true}};
  EXPECT_EQ(board.pci.configAccesses(), expected);
  EXPECT_EQ(board.pci.config16(kAcpi, 0x40), 0x0000);
}

TEST_F(AcpiTimerLibTest, AMissingEnableBitWritesTheBaseThenOrsTheWholeMask) {
  struct Case {
    uint8_t enable;
    uint8_t after;
  };
  for (const Case c : {Case{0x80, 0x81}, Case{0x01, 0x81}, Case{0x42, 0xC3}}) {
    SCOPED_TRACE(c.enable);
    board.pci.clearConfigAccesses();
    board.pci.setConfig16(kAcpi, 0x40, 0x0000);
    board.pci.setConfig8(kAcpi, 0x44, c.enable);
    EXPECT_EQ(AcpiTimerLibConstructor(), EFI_SUCCESS);
    const std::vector<Config> expected = {
        {kAcpi, 0x44, 1, c.enable, false, true},
        {kAcpi, 0x40, 2, 0x0400, true, true},
        {kAcpi, 0x44, 1, c.enable, false, true},
        {kAcpi, 0x44, 1, c.after, true, true},
    };
    EXPECT_EQ(board.pci.configAccesses(), expected);
    EXPECT_EQ(board.pci.config16(kAcpi, 0x40), 0x0400);
    EXPECT_EQ(board.pci.config8(kAcpi, 0x44), c.after);
  }
  EXPECT_TRUE(zarn::test::debugRecord().asserts.empty());
}
