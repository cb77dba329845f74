// Burst size and FIFO control of the three FIFO builds; each executable checks its own build.
#include <string>
#include <vector>

#include "Library/PcdLib.h"
#include "tests/Library/SerialConsole/SerialRig.h"

namespace {

struct FifoBuild {
  uint8_t settings;
  uint8_t fcr;            // written by SerialInitialize
  unsigned burst;         // bytes per burst
  bool iirTest;           // whether each burst is preceded by the FIFO test (not for single bytes)
};

FifoBuild thisBuild() {
  switch (_gPcd_FixedAtBuild_PcdSerialFifoSettings) {
    case 0x06: return {0x06, 0x00, 1, false};
    case 0x27: return _gPcd_FixedAtBuild_PcdSerialTxFifoDepth == 64 ? FifoBuild{0x27, 0x21, 64, true} : FifoBuild{0x27, 0x21, 1, false};
    default: return {};
  }
}

TEST(SerialFifoBuild, BurstSizeAndFifoControl) {
  const FifoBuild build = thisBuild();
  ASSERT_NE(build.settings, 0) << "no expectations for this build";
  zarn::test::SerialRig rig;
  EXPECT_EQ(SerialInitialize(), EFI_SUCCESS);
  EXPECT_EQ(rig.board.firstUart.fifoControl(), build.fcr);
  rig.machine.io.clearTrace();

  const std::string text(100, '#');
  EXPECT_EQ(SerialWrite(zarn::test::bytes(text), text.size()), 100u);
  EXPECT_EQ(rig.board.secondUart.transmittedText(), text);
  std::vector<std::string> expected;
  for (unsigned sent = 0; sent < 100; sent += build.burst) {
    if (build.iirTest) expected.push_back("I");
    expected.insert(expected.end(), {"L1", "L2"});
    for (unsigned i = sent; i < sent + build.burst && i < 100; ++i) expected.insert(expected.end(), {"a", "b"});
  }
  EXPECT_EQ(zarn::test::transmitSteps(rig.machine.io), expected);
}

}  // namespace
