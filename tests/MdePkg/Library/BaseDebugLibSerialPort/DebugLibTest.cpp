// DEBUG messages and assertion reports as the deliverables are built (property bits 0x1F): the
// run-time level from CMOS and its cache in MM0, the report format, the 256-byte buffer.
#include <string>
#include <vector>

#include "Library/DebugLib.h"
#include "Library/DebugLibInternal.h"
#include "Library/PcdLib.h"
#include "tests/MdePkg/Library/BaseDebugLibSerialPort/DebugLibRig.h"

namespace {

using zarn::host::IoAccess;
using zarn::test::DebugRig;

struct CmosStep {
  bool write;
  uint8_t value;  // written to 0x70, or read from 0x71
  bool operator==(const CmosStep &) const = default;
};

std::vector<CmosStep> cmosSteps(const zarn::host::IoBus &io) {
  std::vector<CmosStep> out;
  for (const IoAccess &a : io.trace()) {
    if (a.port == 0x70 || a.port == 0x71) out.push_back({a.write, static_cast<uint8_t>(a.value)});
  }
  return out;
}

std::vector<CmosStep> fullCmosRead(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return {{true, 0x8E}, {false, 0x00}, {true, 0x7A}, {false, b0}, {true, 0x7B}, {false, b1},
          {true, 0x7C}, {false, b2},   {true, 0x7D}, {false, b3}};
}

TEST(ReadDebugLevel, TrustsMm0OnlyWithSignatureAndValidBitElseReadsCmosAndCaches) {
  struct Case {
    const char *name;
    uint64_t mm0Before;
    uint32_t cmosLevel;
    uint8_t cmosStatus;
    uint32_t level;
    uint64_t mm0After;
    std::vector<CmosStep> cmos;
  };
  const std::vector<Case> cases = {
      {"valid cache", 0x1234567880004424ull, 0xFFFFFFFFu, 0, 0x12345678u, 0x1234567880004424ull, {}},
      {"valid cache, other bits set", 0x00000001FFFF4424ull, 0, 0, 0x00000001u, 0x00000001FFFF4424ull, {}},
      {"valid bit clear", 0x0000000012344424ull, 0x80000000u, 0, 0x80000000u, 0x8000000092344424ull,
       fullCmosRead(0x00, 0x00, 0x00, 0x80)},
      {"other signature", 0xFFFFFFFFFFFF4425ull, 0x00000001u, 0, 0x00000001u, 0x00000001FFFF4424ull,
       fullCmosRead(0x01, 0x00, 0x00, 0x00)},
      {"empty register", 0, 0x12345678u, 0x7F, 0x12345678u, 0x1234567880004424ull, [] {
         auto steps = fullCmosRead(0x78, 0x56, 0x34, 0x12);
         steps[1].value = 0x7F;
         return steps;
       }()},
      {"CMOS lost power", 0, 0x12345678u, 0x80, 0, 0x0000000080004424ull, {{true, 0x8E}, {false, 0x80}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    DebugRig rig(c.cmosLevel, c.cmosStatus);
    rig.machine.cpu.setMm0(c.mm0Before);
    EXPECT_EQ(ReadDebugLevel(), c.level);
    EXPECT_EQ(rig.machine.cpu.mm0(), c.mm0After);
    EXPECT_EQ(cmosSteps(rig.machine.io), c.cmos);
    EXPECT_EQ(rig.machine.io.trace().size(), c.cmos.size());
  }
}

TEST(ReadDebugLevel, TheOverrideWinsWithoutTouchingMm0OrCmos) {
  DebugRig rig(0x80000000u);
  _gPcd_FixedAtBuild_PcdDebugLevelOverride = 0x00000040u;
  const UINT32 level = ReadDebugLevel();
  _gPcd_FixedAtBuild_PcdDebugLevelOverride = 0;
  EXPECT_EQ(level, 0x00000040u);
  EXPECT_TRUE(rig.machine.cpu.mmxAccesses().empty());
  EXPECT_TRUE(rig.machine.io.trace().empty());
}

TEST(DebugLibPrint, WritesOnlyWhenTheLevelPassesAndReadsCmosOncePerBoot) {
  DebugRig rig(0x80000000u);
  DebugLibPrint(0x80000000u, "Status %d\n", 7);
  DebugLibPrint(0x00000001u, "filtered\n");
  DebugLibPrint(0xC0000000u, "again %a\n", "ok");
  EXPECT_EQ(rig.serial(), "Status 7\r\nagain ok\r\n");
  EXPECT_EQ(rig.board.secondUart.transmittedText(), rig.serial());
  // The first message filled the cache; the others did not go back to CMOS.
  EXPECT_EQ(rig.board.cmos.reads().size(), 5u);
}

TEST(DebugLibPrint, FailedStatusMessageDependsOnTheCmosLevel) {
  struct Case {
    uint32_t level;
    bool message;
  };
  for (const Case c : {Case{0x80000000u, true}, Case{0x00000001u, false}}) {
    DebugRig rig(c.level);
    ASSERT_EFI_ERROR(EFI_DEVICE_ERROR);
    const std::string report = "ASSERT [ZarnTest] tests/DebugLibTests(" + std::to_string(__LINE__ - 1) +
                               "): !EFI_ERROR (Status)\r\n";
    EXPECT_EQ(rig.serial(), (c.message ? "\r\nASSERT_EFI_ERROR (Status = Device Error)\r\n" : "") + report);
  }
}

TEST(DebugLibAssert, ReportIsWrittenWhateverTheLevelThenTheBreakpoint) {
  DebugRig rig(0xFFFFFFFFu, 0x80);  // run-time level 0
  DebugLibAssert("MdePkg/Library/PeiHobLib/HobLib", 31, "HobList != ((void *) 0)");
  EXPECT_EQ(rig.serial(), "ASSERT [ZarnTest] MdePkg/Library/PeiHobLib/HobLib(31): HobList != ((void *) 0)\r\n");
  EXPECT_EQ(rig.board.secondUart.transmittedText(), rig.serial());
  // The level is not consulted at all.
  EXPECT_TRUE(rig.machine.cpu.mmxAccesses().empty());
  ASSERT_EQ(rig.machine.cpu.breakpoints().size(), 1u);
  EXPECT_EQ(rig.machine.cpu.breakpoints()[0].ioTracePosition, rig.machine.io.trace().size());
}

TEST(DebugLibPrint, NullFormatIsReportedAndNeverPrinted) {
  DebugRig rig(0xFFFFFFFFu);
  DebugLibPrint(0xFFFFFFFFu, nullptr);
  const std::string out = rig.serial();
  EXPECT_TRUE(out.starts_with("ASSERT [ZarnTest] MdePkg/Library/BaseDebugLibSerialPort/DebugLib(")) << out;
  EXPECT_TRUE(out.ends_with("): Format != ((void *) 0)\r\n")) << out;
  EXPECT_EQ(rig.machine.cpu.breakpoints().size(), 1u);
}

TEST(DebugLibPrint, AMessageOf300CharactersIsCutTo255) {
  DebugRig rig(0xFFFFFFFFu);
  const std::string text(300, 'x');
  DebugLibPrint(0x1, "%a", text.c_str());
  EXPECT_EQ(rig.serial(), std::string(255, 'x'));
  rig.board.firstUart.clearTransmitted();
  DebugLibAssert("P", 1, text.c_str());
  EXPECT_EQ(rig.serial(), "ASSERT [ZarnTest] P(1): " + std::string(255 - 24, 'x'));
}

}  // namespace
