// The simulated processor as the firmware sees it through the seam.
#include <gtest/gtest.h>

#include "Platform/Host/Machine.h"
#include "Platform/Seam.h"

namespace zarn::host {
namespace {

struct CurrentMachine : ::testing::Test {
  Machine machine;
  CurrentMachine() { machine.makeCurrent(); }
};

TEST_F(CurrentMachine, CpuidAnswersSetLeavesAndZerosOtherwise) {
  machine.cpu.setCpuid(1, {0x00A20F10, 0x30000800, 0, 0});
  machine.cpu.setCpuid(0x80000001, {0x00A20F10, 0x20000000, 0, 0});
  UINT32 a, b, c, d;
  PlatformCpuid(1, &a, &b, &c, &d);
  EXPECT_EQ(b, 0x30000800u);
  PlatformCpuid(0x80000001, &a, &b, &c, &d);
  EXPECT_EQ(a, 0x00A20F10u);
  PlatformCpuid(7, &a, &b, &c, &d);
  EXPECT_EQ(a | b | c | d, 0u);
  EXPECT_EQ(machine.cpu.cpuidQueries(), (std::vector<uint32_t>{1, 0x80000001, 7}));
}

TEST_F(CurrentMachine, InterruptFlagInEflagsAndInTheIoTrace) {
  EXPECT_EQ(PlatformReadEflags(), 0x2u);
  PlatformEnableInterrupts();
  EXPECT_EQ(PlatformReadEflags(), 0x202u);
  PlatformIoWrite8(0x80, 0x12);
  PlatformDisableInterrupts();
  EXPECT_EQ(PlatformReadEflags(), 0x2u);
  EXPECT_EQ(PlatformIoRead16(0x80), 0xFFFF);  // unclaimed port
  EXPECT_EQ(machine.io.trace(), (std::vector<IoAccess>{{0x80, 1, 0x12, true, true}, {0x80, 2, 0xFFFF, false, false}}));
}

TEST_F(CurrentMachine, Mm0AccessesAreRecorded) {
  machine.cpu.setMm0(0x0000000180004424ull);
  EXPECT_EQ(PlatformReadMm0(), 0x0000000180004424ull);
  PlatformWriteMm0(0x8000000080004424ull);
  EXPECT_EQ(machine.cpu.mm0(), 0x8000000080004424ull);
  EXPECT_EQ(machine.cpu.mmxAccesses(),
            (std::vector<MmxAccess>{{false, 0x0000000180004424ull}, {true, 0x8000000080004424ull}}));
}

TEST_F(CurrentMachine, BreakpointsAreRecordedWithTheirPlaceInTheIoTrace) {
  int hooked = 0;
  machine.cpu.onBreakpoint = [&] { ++hooked; };
  PlatformIoWrite32(0xE8, 0x4C6F6F70);
  PlatformBreakpoint();
  ASSERT_EQ(machine.cpu.breakpoints().size(), 1u);
  EXPECT_EQ(machine.cpu.breakpoints()[0].ioTracePosition, 1u);
  EXPECT_EQ(hooked, 1);
}

// The marker loop as the firmware runs it: spin on a local flag, one PAUSE per turn.
uint64_t spin() {
  volatile UINT32 flag = 0;
  uint64_t turns = 0;
  while (flag == 0) {
    PlatformPause(&flag);
    ++turns;
  }
  return turns;
}

TEST_F(CurrentMachine, DebuggerReleasesDeadLoops) {
  machine.cpu.releaseLoopsAfter(5);
  EXPECT_EQ(spin(), 5u);
  EXPECT_EQ(spin(), 5u);  // every loop gets its own count
  machine.cpu.releaseLoopsAfter(0);
  machine.cpu.setLoopBound(100);
  EXPECT_EQ(spin(), 100u);  // nobody releases it: the bound does, and says so
  ASSERT_EQ(machine.cpu.deadLoops().size(), 3u);
  EXPECT_FALSE(machine.cpu.deadLoops()[1].boundHit);
  EXPECT_TRUE(machine.cpu.deadLoops()[2].boundHit);
  EXPECT_EQ(machine.cpu.deadLoops()[2].turns, 100u);
}

TEST_F(CurrentMachine, ConstructorReportsNameTheRunningModule) {
  machine.pei.setRunningModule("Dramatlas");
  PlatformConstructorDone("SerialInitialize", EFI_DEVICE_ERROR);
  machine.pei.setRunningModule("");
  ASSERT_EQ(machine.constructors().size(), 1u);
  EXPECT_EQ(machine.constructors()[0].module, "Dramatlas");
  EXPECT_EQ(machine.constructors()[0].constructor, "SerialInitialize");
  EXPECT_EQ(machine.constructors()[0].status, EFI_DEVICE_ERROR);
}

TEST(MachineDeathTest, SeamWithoutACurrentMachineAbortsWithAMessage) {
  EXPECT_DEATH(
      {
        { Machine gone; gone.makeCurrent(); }
        PlatformReadEflags();
      },
      "no current machine");
}

}  // namespace
}  // namespace zarn::host
