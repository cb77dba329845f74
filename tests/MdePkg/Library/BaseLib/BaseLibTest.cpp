// Base utilities: unaligned access, 64-bit shift and division, string length, CPUID, IDTR and the
// interrupt flag.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Library/BaseLib.h"
#include "Platform/Host/Machine.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::debugRecord;

class BaseLib : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.makeCurrent();
    debugRecord().clear();
  }
  // The reports made since SetUp, as "path: expression".
  static std::vector<std::string> Reports() {
    std::vector<std::string> out;
    for (const auto &a : debugRecord().asserts) out.push_back(a.sourcePath + ": " + a.expression);
    return out;
  }
  zarn::host::Machine machine;
};

TEST_F(BaseLib, UnalignedAccessAtOddAddresses) {
  UINT8 bytes[20];
  for (int i = 0; i < 20; i++) bytes[i] = static_cast<UINT8>(0x10 + i);
  EXPECT_EQ(UnalignedRead16(bytes + 1), 0x1211u);
  EXPECT_EQ(UnalignedRead32(bytes + 3), 0x16151413u);
  EXPECT_EQ(UnalignedRead64(bytes + 5), 0x1C1B1A1918171615ull);

  EXPECT_EQ(UnalignedWrite64(bytes + 7, 0x0123456789ABCDEFull), 0x0123456789ABCDEFull);
  const UINT8 expected[20] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0xEF, 0xCD, 0xAB,
                              0x89, 0x67, 0x45, 0x23, 0x01, 0x1F, 0x20, 0x21, 0x22, 0x23};
  EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
  EXPECT_TRUE(Reports().empty());
}

TEST_F(BaseLib, UnalignedAccessThroughNullIsReportedAndNotMade) {
  EXPECT_EQ(UnalignedRead16(nullptr), 0u);
  EXPECT_EQ(UnalignedRead32(nullptr), 0u);
  EXPECT_EQ(UnalignedRead64(nullptr), 0u);
  EXPECT_EQ(UnalignedWrite64(nullptr, 0x55), 0x55u);
  const std::string report = "MdePkg/Library/BaseLib/Unaligned: Buffer != ((void *) 0)";
  EXPECT_EQ(Reports(), std::vector<std::string>(4, report));
}

TEST_F(BaseLib, RShiftU64) {
  struct Case {
    UINT64 operand;
    UINTN count;
    UINT64 result;
    bool reported;
  };
  const Case cases[] = {
      {0x8000000000000000ull, 63, 1, false},
      {0x123456789ABCDEF0ull, 32, 0x12345678ull, false},
      {0x123456789ABCDEF0ull, 0, 0x123456789ABCDEF0ull, false},
      {0x123456789ABCDEF0ull, 4, 0x0123456789ABCDEFull, false},
      {0x123456789ABCDEF0ull, 36, 0x01234567ull, false},
      {0xFFFFFFFF00000001ull, 31, 0x1FFFFFFFEull, false},
      // Out of range: reported, then taken modulo 64.
      {0x123456789ABCDEF0ull, 64, 0x123456789ABCDEF0ull, true},
      {0x123456789ABCDEF0ull, 68, 0x0123456789ABCDEFull, true},
  };
  for (const Case &c : cases) {
    debugRecord().clear();
    EXPECT_EQ(RShiftU64(c.operand, c.count), c.result) << c.count;
    EXPECT_EQ(Reports(), c.reported ? std::vector<std::string>{"MdePkg/Library/BaseLib/RShiftU64: Count < 64"}
                                    : std::vector<std::string>{})
        << c.count;
  }
}

TEST_F(BaseLib, DivU64x32Remainder) {
  struct Case {
    UINT64 dividend;
    UINT32 divisor;
    UINT64 quotient;
    UINT32 remainder;
  };
  const Case cases[] = {
      {0x100000005ull, 2, 0x80000002ull, 1},
      {0, 7, 0, 0},
      {0xFFFFFFFFFFFFFFFFull, 1, 0xFFFFFFFFFFFFFFFFull, 0},
      {0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFu, 0x100000001ull, 0},
      {0xFFFFFFFFFFFFFFFFull, 10, 0x1999999999999999ull, 5},
      {12345678901234567890ull, 1000000000u, 12345678901ull, 234567890u},
      {0x0000000700000000ull, 0x80000000u, 14, 0},
  };
  for (const Case &c : cases) {
    UINT32 remainder = 0xDEADBEEF;
    EXPECT_EQ(DivU64x32Remainder(c.dividend, c.divisor, &remainder), c.quotient) << c.dividend;
    EXPECT_EQ(remainder, c.remainder) << c.dividend;
    EXPECT_EQ(DivU64x32Remainder(c.dividend, c.divisor, nullptr), c.quotient) << c.dividend;
  }
  EXPECT_TRUE(Reports().empty());
}

TEST_F(BaseLib, DivisionByZeroIsReportedAndAnswersZero) {
  UINT32 remainder = 0xDEADBEEF;
  EXPECT_EQ(DivU64x32Remainder(0x100000005ull, 0, &remainder), 0u);
  EXPECT_EQ(remainder, 0u);
  EXPECT_EQ(DivU64x32Remainder(9, 0, nullptr), 0u);
  EXPECT_EQ(Reports(), std::vector<std::string>(2, "MdePkg/Library/BaseLib/DivU64x32Remainder: Divisor != 0"));
}

TEST_F(BaseLib, AsciiStrLength) {
  EXPECT_EQ(AsciiStrLength(""), 0u);
  EXPECT_EQ(AsciiStrLength("Dramatlas"), 9u);
  // With the built maximum of 0 a long string passes every check.
  const std::string long_string(5000, 'x');
  EXPECT_EQ(AsciiStrLength(long_string.c_str()), 5000u);
  EXPECT_TRUE(Reports().empty());

  EXPECT_EQ(AsciiStrLength(nullptr), 0u);
  EXPECT_EQ(Reports(), std::vector<std::string>{"MdePkg/Library/BaseLib/String: String != ((void *) 0)"});
}

TEST_F(BaseLib, ReadCpuidStoresOnlyThroughGivenPointers) {
  machine.cpu.setCpuid(1, {0x00A00F11u, 0x30000800u, 0x7ED8320Bu, 0x178BFBFFu});
  EXPECT_EQ(ReadCpuid(1, nullptr, nullptr, nullptr, nullptr), 1u);
  EXPECT_EQ(machine.cpu.cpuidQueries(), std::vector<uint32_t>{1});

  UINT32 eax = 0;
  UINT32 edx = 0;
  EXPECT_EQ(ReadCpuid(1, &eax, nullptr, nullptr, &edx), 1u);
  EXPECT_EQ(eax, 0x00A00F11u);
  EXPECT_EQ(edx, 0x178BFBFFu);

  UINT32 r[4] = {};
  EXPECT_EQ(ReadCpuid(1, &r[0], &r[1], &r[2], &r[3]), 1u);
  EXPECT_EQ(r[0], 0x00A00F11u);
  EXPECT_EQ(r[1], 0x30000800u);
  EXPECT_EQ(r[2], 0x7ED8320Bu);
  EXPECT_EQ(r[3], 0x178BFBFFu);
}

TEST_F(BaseLib, ReadIdtr) {
  machine.cpu.setIdtr(0x07FF, 0x12345678);
  IdtrRecord idtr = {};
  ReadIdtr(&idtr);
  const UINT16 limit = idtr.Limit;
  const UINTN base = idtr.Base;
  EXPECT_EQ(limit, 0x07FFu);
  EXPECT_EQ(base, 0x12345678u);

  ReadIdtr(nullptr);
  EXPECT_EQ(Reports(), std::vector<std::string>{"MdePkg/Library/BaseLib/X86ReadIdtr: Idtr != ((void *) 0)"});
}

TEST_F(BaseLib, InterruptStateSaveAndRestore) {
  for (const bool enabled : {false, true}) {
    machine.cpu.setInterruptFlag(enabled);
    EXPECT_EQ(InterruptsEnabled(), enabled ? TRUE : FALSE);
    EXPECT_EQ(ReadEflags() & 0x200u, enabled ? 0x200u : 0u);

    // A nested bracket restores exactly what it saved.
    const BOOLEAN outer = SaveAndMaskInterrupts();
    EXPECT_EQ(outer, enabled ? TRUE : FALSE);
    EXPECT_FALSE(machine.cpu.interruptFlag());
    const BOOLEAN inner = SaveAndMaskInterrupts();
    EXPECT_EQ(inner, FALSE);
    EXPECT_EQ(RestoreInterruptState(inner), FALSE);
    EXPECT_FALSE(machine.cpu.interruptFlag());
    EXPECT_EQ(RestoreInterruptState(outer), outer);
    EXPECT_EQ(machine.cpu.interruptFlag(), enabled);
  }

  // Restoring FALSE masks even when interrupts are enabled; any non-zero state unmasks.
  machine.cpu.setInterruptFlag(true);
  RestoreInterruptState(FALSE);
  EXPECT_FALSE(machine.cpu.interruptFlag());
  EXPECT_EQ(RestoreInterruptState(0x80), 0x80);
  EXPECT_TRUE(machine.cpu.interruptFlag());

  MaskInterrupts();
  EXPECT_FALSE(machine.cpu.interruptFlag());
  UnmaskInterrupts();
  EXPECT_TRUE(machine.cpu.interruptFlag());
}

}  // namespace
