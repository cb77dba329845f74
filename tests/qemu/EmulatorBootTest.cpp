// The host side of the emulator boot without running the emulator: the processor each line asks for, the
// flash composition's refusals and placement, and the reading of the debug console.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tools/builders/FlashImage.h"
#include "tools/qemu/EmulatorBoot.h"

namespace zarn::qemu {
namespace {

std::string cpuOption(uint32_t signature) {
  Platform p;
  p.cpuSignature = signature;
  const std::vector<std::string> c = emulatorCommand(p, {}, Layout{}, "f", "c1", "c2", "d");
  const auto it = std::find(c.begin(), c.end(), "-cpu");
  return it == c.end() ? "" : *(it + 1);
}

TEST(EmulatorCommand, EachProcessorLineBecomesAFamilyAndModel) {
  struct Case {
    uint32_t signature;
    const char *cpu;
  };
  const Case cases[] = {
      {0x00810F00, "qemu32,family=23,model=16,stepping=0"},   // line A
      {0x00A10F00, "qemu32,family=25,model=16,stepping=0"},   // line B
      {0x00A40F00, "qemu32,family=25,model=64,stepping=0"},   // line C
      {0x00B20F00, "qemu32,family=26,model=32,stepping=0"},   // line D
      {0x00B60F00, "qemu32,family=26,model=96,stepping=0"},   // line E
      {0x00700F00, "qemu32,family=22,model=0,stepping=0"},    // the excluded line
      {0x00000600, "qemu32,family=6,model=0,stepping=0"},     // no extended family below base family 0xF
  };
  for (const Case &c : cases) EXPECT_EQ(cpuOption(c.signature), c.cpu) << std::hex << c.signature;
  EXPECT_THROW(cpuOption(0x00100600), Unsupported);  // an extended family needs base family 0xF
  EXPECT_THROW(cpuOption(0x00810F01), Unsupported);  // stepping bits are outside the signature
}

TEST(EmulatorCommand, AbsentUartsGetNoDevice) {
  Platform p;
  p.cpuSignature = 0x00810F00;
  const auto serials = [&] {
    std::vector<std::string> out;
    const std::vector<std::string> c = emulatorCommand(p, {}, Layout{}, "f", "c1", "c2", "d");
    for (size_t i = 0; i + 1 < c.size(); ++i)
      if (c[i] == "-serial") out.push_back(c[i + 1]);
    return out;
  };
  EXPECT_EQ(serials(), (std::vector<std::string>{"file:c1", "file:c2"}));
  p.uarts[0].present = false;
  EXPECT_EQ(serials(), (std::vector<std::string>{"none", "file:c2"}));  // COM2 keeps 0x2F8
  p.uarts[1].present = false;
  EXPECT_TRUE(serials().empty());
}

Platform withFlash() {
  Platform p;
  p.cpuSignature = 0x00810F00;
  p.outputBlockPresent = false;
  p.flash = builders::buildFlashImage(builders::standardFlash({}));  // 1 MiB at 0xFFF00000
  return p;
}

TEST(ComposeFlash, PlacesTheBlobAndNamesItInTheCell) {
  const Flash f = composeFlash(withFlash(), defaultImageDir());
  ASSERT_EQ(f.image.size(), 16u << 20);
  const uint32_t cell = builders::get32(f.image, 0xFFFFFFE0u - 0xFF000000u);
  EXPECT_EQ(cell, f.layout.blobAddress);
  EXPECT_EQ(builders::get32(f.image, cell - 0xFF000000u), 0x424C425Au);  // "ZBLB"
  // The scenario's table at 0xFFF20000 is untouched; the reset vector is a near jump.
  EXPECT_EQ(builders::get32(f.image, 0xFFF20000u - 0xFF000000u), 0x55AA55AAu);
  EXPECT_EQ(f.image[0xFFFFFFF0u - 0xFF000000u], 0xE9);
}

TEST(ComposeFlash, RefusesAScenarioFlashThatUsesTheBootsBytes) {
  Platform p = withFlash();
  p.flash.assign(16u << 20, 0xFF);
  p.flash[0xFFE80010u - 0xFF000000u] = 0x00;  // inside the foundation's code
  try {
    composeFlash(p, defaultImageDir());
    FAIL() << "no refusal";
  } catch (const Unsupported &e) {
    EXPECT_NE(std::string(e.what()).find("0xFFE80010"), std::string::npos) << e.what();
  }
}

TEST(ComposeFlash, RefusesAnOutputBlockInTheBootsRamOrAboveTheEmulatorsRam) {
  for (const uint64_t address : {0x0ull, 0x7F000ull, 0xDFFFF000ull}) {
    Platform p = withFlash();
    p.outputBlockPresent = true;
    p.outputBlockAddress = address;
    p.outputBlock.assign(0x2000, 0);
    EXPECT_THROW(composeFlash(p, defaultImageDir()), Unsupported) << std::hex << address;
  }
}

const char *const kCompleteBoot =
    "Z 1\n"
    "D Dramatlas\n"
    "C SerialInitialize 80000007\n"
    "M Dramatlas 4000000000000 410d0a 410a\n"
    "R Dramatlas 0 4a0\n"
    "D Quilkeep\n"
    "C SerialInitialize 00000000\n"
    "R Quilkeep 0 258\n"
    "Q 1\n"
    "a 11\n"
    "M Quilkeep 80000000 420d0a 420a\n"
    "A 11 0 40 08a5a5a5a5a5a5a5 a5a5a5a5a5a5a5a5\n"
    "H platform 0100080000000000\n"
    "P Quilkeep 00112233445566778899aabbccddeeff\n"
    "S Quilkeep 2 3 1\n"
    "B 2\n"
    "U 1 3 1 c1\n"
    "I 800 810f00\n"
    "E\n";

TEST(ParseConsole, ReadsEveryRecord) {
  Platform p;
  p.accessorCalls = {{11, {7}}};
  const Result r = parseConsole(kCompleteBoot, p);
  ASSERT_EQ(r.modules.size(), 2u);
  EXPECT_EQ(r.modules[0].name, "Dramatlas");
  ASSERT_EQ(r.modules[0].constructors.size(), 1u);
  EXPECT_EQ(r.modules[0].constructors[0].status, 0x80000007u);
  EXPECT_EQ(r.modules[0].stackPeak, 0x4A0u);
  ASSERT_EQ(r.messages.size(), 2u);
  EXPECT_EQ(r.messages[0].text, "A\r\n");
  EXPECT_EQ(r.messages[0].format, "A\n");
  EXPECT_EQ(r.messages[0].messageClass, 0x0004000000000000ull);
  ASSERT_EQ(r.accessors.size(), 1u);
  EXPECT_EQ(r.accessors[0].args, std::vector<uint32_t>{7});
  EXPECT_EQ(r.accessors[0].outputs[0][0], 0x08);
  EXPECT_EQ(r.accessors[0].outputs[0][1], 0xA5);
  EXPECT_EQ(r.accessors[0].firstMessage, 1u);  // the call's own message
  EXPECT_EQ(r.accessors[0].endMessage, 2u);
  ASSERT_EQ(r.hobs.size(), 1u);
  EXPECT_EQ(r.hobs[0].bytes.size(), 8u);
  ASSERT_EQ(r.ppis.size(), 1u);
  EXPECT_EQ(r.ppis[0].guid.Data1, 0x33221100u);
  ASSERT_EQ(r.services.size(), 1u);
  EXPECT_EQ(r.services[0].failed, 1u);
  EXPECT_EQ(r.breakpoints, 2u);
  EXPECT_EQ(r.uarts[0].interruptId, 0xC1);
  EXPECT_EQ(r.cpuidExtendedEax, 0x00810F00u);
}

TEST(ParseConsole, ABootThatStopsEarlySaysWhy) {
  const Platform p;
  const struct {
    std::string console;
    std::string says;
  } cases[] = {
      {"", "wrote nothing"},
      {"Z 1\nD Dramatlas\n", "stopped before its end"},
      {"Z 1\nD Quilkeep\nX d 0 ffe01234 Quilkeep\n", "general protection (vector 13, error code 0) at EIP 0xFFE01234 while Quilkeep ran"},
      {"F 6e6f20626c6f62\n", "stopped: no blob"},
      {"Z 2\n", "another record version"},
  };
  for (const auto &c : cases) {
    try {
      parseConsole(c.console, p);
      ADD_FAILURE() << "accepted: " << c.console;
    } catch (const std::runtime_error &e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
}

// The foundation's own failure paths, run on the emulator: a flash without a blob stops the boot with a
// record that says so, and an exception while an image runs is reported with its vector, address and
// module (here Dramatlas's entry is pointed at erased flash, whose bytes 0xFF 0xFF are an invalid opcode).
TEST(EmulatorRun, TheBootsFailuresReachTheHost) {
  const Platform p = withFlash();
  const Flash good = composeFlash(p, defaultImageDir());
  const size_t cell = 0xFFFFFFE0u - 0xFF000000u;

  Flash noBlob = good;
  std::fill_n(noBlob.image.begin() + cell, 4, 0xFF);
  try {
    runFlash(noBlob, p, {});
    ADD_FAILURE() << "a boot without a blob ran to its end";
  } catch (const std::runtime_error &e) {
    EXPECT_NE(std::string(e.what()).find("the emulator boot stopped: no platform blob in flash"), std::string::npos)
        << e.what();
  }

  Flash badEntry = good;
  const size_t dramatlasEntry = good.layout.blobAddress - 0xFF000000u + 16;
  const builders::Bytes erased = builders::le32(0xFFC00000u);
  std::copy(erased.begin(), erased.end(), badEntry.image.begin() + dramatlasEntry);
  try {
    runFlash(badEntry, p, {});
    ADD_FAILURE() << "a boot into erased flash ran to its end";
  } catch (const std::runtime_error &e) {
    EXPECT_NE(std::string(e.what()).find("invalid opcode (vector 6, error code 0) at EIP 0xFFC00000 while Dramatlas ran"),
              std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace zarn::qemu
