// What follows an assertion report, for each build of the property bits: the breakpoint (0x1F and
// 0x31) or the dead loop with its markers on port 0xE8 (0x21).
#include <vector>

#include "Library/DebugLib.h"
#include "Library/DebugLibInternal.h"
#include "Library/PcdLib.h"
#include "tests/MdePkg/Library/BaseDebugLibSerialPort/DebugLibRig.h"

namespace {

TEST(AfterReport, ThePropertyBitsChooseBreakpointOrDeadLoop) {
  struct Build {
    uint8_t bits;
    bool breakpoint;
    bool deadLoop;
  };
  const Build builds[] = {{0x1F, true, false}, {0x21, false, true}, {0x31, true, false}};
  const Build *build = nullptr;
  for (const Build &b : builds) {
    if (b.bits == _gPcd_FixedAtBuild_PcdDebugPropertyBits) build = &b;
  }
  ASSERT_NE(build, nullptr) << "no expectations for this build";

  zarn::test::DebugRig rig;
  rig.machine.cpu.releaseLoopsAfter(5);
  DebugLibAssert("Lib/X", 7, "0");
  EXPECT_EQ(rig.serial(), "ASSERT [ZarnTest] Lib/X(7): 0\r\n");
  EXPECT_EQ(rig.machine.cpu.breakpoints().size(), build->breakpoint ? 1u : 0u);
  if (build->deadLoop) {
    // Entered with "pooL", held until the debugger released it after five turns, left with "dnEL".
    ASSERT_EQ(rig.machine.cpu.deadLoops().size(), 1u);
    EXPECT_EQ(rig.machine.cpu.deadLoops()[0].turns, 5u);
    EXPECT_FALSE(rig.machine.cpu.deadLoops()[0].boundHit);
    EXPECT_EQ(rig.board.marker.values32(), (std::vector<uint32_t>{0x4C6F6F70u, 0x4C456E64u}));
    EXPECT_EQ(rig.board.marker.bytes(), (std::vector<uint8_t>{'p', 'o', 'o', 'L', 'd', 'n', 'E', 'L'}));
  } else {
    EXPECT_TRUE(rig.machine.cpu.deadLoops().empty());
    EXPECT_TRUE(rig.board.marker.writes().empty());
  }
}

}  // namespace
