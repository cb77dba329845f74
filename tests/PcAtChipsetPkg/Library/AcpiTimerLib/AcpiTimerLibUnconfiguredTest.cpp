// Constants left unconfigured: each check reports under its own text, and the constructor goes on
// with the values cut to their field widths (device 0x1F, function 7, register 0xFFF).
#include <string>
#include <vector>

#include "tests/PcAtChipsetPkg/Library/AcpiTimerLib/AcpiTimerLibFixture.h"

TEST_F(AcpiTimerLibTest, EveryUnconfiguredConstantIsReportedAndTheConstructorStillSucceeds) {
  EXPECT_EQ(AcpiTimerLibConstructor(), EFI_SUCCESS);
  const auto &asserts = zarn::test::debugRecord().asserts;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"PcAtChipsetPkg/Library/AcpiTimerLib/AcpiTimerLib", "_gPcd_FixedAtBuild_PcdAcpiIoPciBarRegisterOffset != 0xFFFF"},
      {"PcAtChipsetPkg/Library/AcpiTimerLib/AcpiTimerLib", "_gPcd_FixedAtBuild_PcdAcpiIoPortBaseAddress != 0xFFFF"},
      {"PcAtChipsetPkg/Library/AcpiTimerLib/AcpiTimerLib", "_gPcd_FixedAtBuild_PcdAcpiIoPciDeviceNumber != 0xFF"},
      {"PcAtChipsetPkg/Library/AcpiTimerLib/AcpiTimerLib", "_gPcd_FixedAtBuild_PcdAcpiIoPciFunctionNumber != 0xFF"},
      {"PcAtChipsetPkg/Library/AcpiTimerLib/AcpiTimerLib", "_gPcd_FixedAtBuild_PcdAcpiIoPciEnableRegisterOffset != 0xFFFF"},
      // Register 0xFFF has bits 8-11 set, which the byte read rejects.
      {"MdePkg/Library/BasePciCf8Lib/PciCf8Lib", "((Address) & (~0xffff0ff | (0))) == 0"},
  };
  ASSERT_EQ(asserts.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(asserts[i].sourcePath, expected[i].first);
    EXPECT_EQ(asserts[i].expression, expected[i].second);
  }
  // The cut address: bus 0, device 0x1F, function 7, register 0xFF (bits 8-11 never reach the address
  // word). Nothing answers there, so all ones come back and every enable bit counts as set.
  ASSERT_FALSE(machine.io.trace().empty());
  EXPECT_EQ(machine.io.trace()[1].value, 0x8000FFFCu);
  EXPECT_EQ(machine.io.trace()[2].port, 0xCFF);
  EXPECT_EQ(machine.io.trace().size(), 4u);
}
