// The serial console as the deliverables are built: port-mapped UARTs at 0x3F8 and 0x2F8, no bridges,
// no flow control, FIFO settings 0x07 (bursts of 16).
#include <string>
#include <vector>

#include "tests/Library/SerialConsole/SerialRig.h"

namespace {

using zarn::host::StandardPlatformOptions;
using zarn::host::UartOptions;
using zarn::test::accessesIn;
using zarn::test::bytes;
using zarn::test::Rd;
using zarn::test::SerialRig;
using zarn::test::transmitSteps;
using zarn::test::Wr;
using zarn::test::writesIn;

TEST(SerialInitialize, BaudRateComesFromBits1And2OfCmosByte0x6F) {
  struct Case {
    uint8_t cmos;
    uint16_t divisor;
  };
  for (const Case c : {Case{0x00, 1}, Case{0xF9, 1}, Case{0x02, 2}, Case{0xFA, 2}, Case{0x04, 6}, Case{0x06, 12}}) {
    SCOPED_TRACE(c.cmos);
    SerialRig rig({.cmosBaudSelect = c.cmos});
    EXPECT_EQ(SerialInitialize(), EFI_SUCCESS);
    for (const zarn::host::Uart16550 *uart : {&rig.board.firstUart, &rig.board.secondUart}) {
      EXPECT_EQ(uart->divisor(), c.divisor);
      EXPECT_EQ(uart->lineControl(), 0x03);
      EXPECT_EQ(uart->fifoControl(), 0x01);
      EXPECT_EQ(uart->interruptEnable(), 0x00);
      EXPECT_EQ(uart->modemControl(), 0x00);
    }
    // CMOS byte 0x6F is read once and nothing in CMOS is written.
    const std::vector<zarn::host::Cmos::Access> cmos = {{0x6F, c.cmos, false}};
    EXPECT_EQ(rig.board.cmos.accesses(), cmos);
  }
}

TEST(SerialInitialize, ProgramsAFreshUartInOrder) {
  SerialRig rig({.cmosBaudSelect = 0x04});
  SerialInitialize();
  const std::vector<zarn::test::PortAccess> expected = {
      Rd(0x3FB, 0x00), Rd(0x3FB, 0x00), Wr(0x3FB, 0x80), Rd(0x3F9, 0x00),  // DLAB on, divisor read
      Rd(0x3F8, 0x00), Rd(0x3FB, 0x80), Wr(0x3FB, 0x00),                   // DLAB off
      Rd(0x3FD, 0x60),                                                     // transmitter idle
      Wr(0x3FB, 0x80), Wr(0x3F9, 0x00), Wr(0x3F8, 0x06), Wr(0x3FB, 0x03),  // divisor 6, 8N1
      Wr(0x3FA, 0x00), Wr(0x3FA, 0x01), Wr(0x3F9, 0x00), Wr(0x3FC, 0x00),  // FIFOs, no interrupts
  };
  EXPECT_EQ(accessesIn(rig.machine.io, 0x3F8, 8), expected);
  // The second UART comes after the first one is done.
  const auto &t = rig.machine.io.trace();
  size_t lastFirst = 0, firstSecond = t.size();
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].port >= 0x3F8 && t[i].port < 0x400) lastFirst = i;
    if (t[i].port >= 0x2F8 && t[i].port < 0x300 && firstSecond == t.size()) firstSecond = i;
  }
  EXPECT_LT(lastFirst, firstSecond);
}

TEST(SerialInitialize, AUartAlreadyProgrammedAlikeIsOnlyReadThroughTheDivisorLatch) {
  struct Case {
    const char *name;
    uint8_t lcr;
    uint16_t divisor;
    bool reprogrammed;
  };
  const Case cases[] = {
      {"8N1 at 115200", 0x03, 1, false},
      {"break bit is not a line setting", 0x43, 1, false},
      {"two stop bits", 0x07, 1, true},
      {"other divisor", 0x03, 2, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    SerialRig rig({.firstUart = UartOptions::programmed(c.lcr, c.divisor)});
    EXPECT_EQ(SerialInitialize(), EFI_SUCCESS);
    const auto writes = writesIn(rig.machine.io, 0x3F8, 8);
    if (c.reprogrammed) {
      EXPECT_EQ(writes.size(), 10u);
      EXPECT_EQ(rig.board.firstUart.lineControl(), 0x03);
      EXPECT_EQ(rig.board.firstUart.divisor(), 1);
    } else {
      const std::vector<zarn::test::PortAccess> expected = {Wr(0x3FB, c.lcr | 0x80), Wr(0x3FB, c.lcr)};
      EXPECT_EQ(writes, expected);
      // No wait for the transmitter either.
      for (const auto &a : accessesIn(rig.machine.io, 0x3F8, 8)) EXPECT_NE(a.port, 0x3FD);
    }
  }
}

TEST(SuperIoInitialize, WritesTheTableOnlyWhenNeitherUartIsActive) {
  const std::vector<zarn::test::PortAccess> probe = {
      Wr(0x4E, 0x07), Wr(0x4F, 0x03), Wr(0x4E, 0x30), Rd(0x4F, 0),
      Wr(0x4E, 0x07), Wr(0x4F, 0x02), Wr(0x4E, 0x30), Rd(0x4F, 0),
  };
  const std::vector<zarn::test::PortAccess> table = {
      Wr(0x4E, 0x07), Wr(0x4F, 0x03), Wr(0x4E, 0x60), Wr(0x4F, 0x03), Wr(0x4E, 0x61), Wr(0x4F, 0xF8),
      Wr(0x4E, 0x70), Wr(0x4F, 0x04), Wr(0x4E, 0x30), Wr(0x4F, 0x01), Wr(0x4E, 0x07), Wr(0x4F, 0x02),
      Wr(0x4E, 0x60), Wr(0x4F, 0x02), Wr(0x4E, 0x61), Wr(0x4F, 0xF8), Wr(0x4E, 0x70), Wr(0x4F, 0x03),
      Wr(0x4E, 0x30), Wr(0x4F, 0x01),
  };
  struct Case {
    uint8_t device3;
    uint8_t device2;
    bool written;
  };
  for (const Case c : {Case{0, 0, true}, Case{1, 0, false}, Case{0, 1, false}, Case{0x81, 0, true}, Case{0x81, 0x81, true}}) {
    SCOPED_TRACE(testing::Message() << int(c.device3) << "/" << int(c.device2));
    SerialRig rig({.superIoUartAActivate = c.device3, .superIoUartBActivate = c.device2});
    SuperIoInitialize();
    auto expected = probe;
    expected[3].value = c.device3;
    expected[7].value = c.device2;
    if (c.written) expected.insert(expected.end(), table.begin(), table.end());
    EXPECT_EQ(accessesIn(rig.machine.io, 0x4E, 2), expected);
  }
  SerialRig rig;
  EXPECT_EQ(SerialPlatformInitialize(), EFI_SUCCESS);
  EXPECT_EQ(rig.board.superIo.ioBase(3), 0x3F8);
  EXPECT_EQ(rig.board.superIo.ioBase(2), 0x2F8);
  EXPECT_EQ(rig.board.superIo.get(3, 0x70), 4);
  EXPECT_EQ(rig.board.superIo.get(2, 0x70), 3);
}

TEST(SerialWrite, SendsBurstsOf16EachAfterTheFifoTestAndBothTransmittersEmpty) {
  SerialRig rig;
  SerialInitialize();
  rig.machine.io.clearTrace();
  const std::string text = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
  ASSERT_EQ(text.size(), 40u);
  EXPECT_EQ(SerialWrite(bytes(text), 40), 40u);
  std::vector<std::string> expected;
  for (unsigned burst : {16, 16, 8}) {
    expected.insert(expected.end(), {"I", "L1", "L2"});
    for (unsigned i = 0; i < burst; ++i) expected.insert(expected.end(), {"a", "b"});
  }
  EXPECT_EQ(transmitSteps(rig.machine.io), expected);
  EXPECT_EQ(rig.board.firstUart.transmittedText(), text);
  EXPECT_EQ(rig.board.secondUart.transmittedText(), text);
}

TEST(SerialWrite, ZeroBytesDrainsBothUartsAndReturnsZero) {
  SerialRig rig({.firstUart = UartOptions::programmed(0x03, 1), .secondUart = UartOptions::programmed(0x03, 1)});
  rig.board.firstUart.busyForLsrReads(3);
  rig.board.secondUart.busyForLsrReads(1);
  EXPECT_EQ(SerialWrite(bytes("x"), 0), 0u);
  const std::vector<std::string> expected = {"L1", "L1", "L1", "L1", "L2", "L2"};
  EXPECT_EQ(transmitSteps(rig.machine.io), expected);
}

TEST(SerialWrite, NullBufferSendsNothingAndTouchesNoPort) {
  SerialRig rig;
  EXPECT_EQ(SerialWrite(nullptr, 5), 0u);
  EXPECT_EQ(SerialWrite(nullptr, 0), 0u);
  EXPECT_TRUE(rig.machine.io.trace().empty());
}

TEST(SerialWrite, FifosOffAtTheFirstUartStopsBeforeTheBurst) {
  SerialRig rig({.secondUart = UartOptions::programmed(0x03, 1)});  // first UART at power-on: IIR 0x01
  EXPECT_EQ(SerialWrite(bytes("hello"), 5), 0u);
  EXPECT_EQ(transmitSteps(rig.machine.io), std::vector<std::string>{"I"});
  EXPECT_TRUE(rig.board.firstUart.transmitted().empty());
  EXPECT_TRUE(rig.board.secondUart.transmitted().empty());
  // Only the first UART's FIFOs are tested.
  SerialRig other({.firstUart = UartOptions::programmed(0x03, 1)});
  EXPECT_EQ(SerialWrite(bytes("hello"), 5), 5u);
  EXPECT_EQ(other.board.secondUart.transmittedText(), "hello");
}

TEST(SerialConsole, AnAbsentUartDoesNotKeepTheOtherFromWorking) {
  for (const bool firstAbsent : {true, false}) {
    SCOPED_TRACE(firstAbsent ? "0x3F8 absent" : "0x2F8 absent");
    StandardPlatformOptions options;
    (firstAbsent ? options.firstUart : options.secondUart) = UartOptions::absent();
    SerialRig rig(options);
    EXPECT_EQ(SerialInitialize(), EFI_SUCCESS);
    EXPECT_EQ(SerialWrite(bytes("boot\n"), 5), 5u);
    const zarn::host::Uart16550 &present = firstAbsent ? rig.board.secondUart : rig.board.firstUart;
    EXPECT_EQ(present.transmittedText(), "boot\n");
    EXPECT_EQ(present.divisor(), 1);
    EXPECT_EQ(present.lineControl(), 0x03);
  }
}

// A transmitter that never reports empty costs a bounded number of polls per wait; the boot goes on
// and the other UART receives everything.
TEST(SerialConsole, AUartHeldBusyDoesNotHangTheBoot) {
  SerialRig rig({.firstUart = {.heldBusy = true}});
  EXPECT_EQ(SerialInitialize(), EFI_SUCCESS);
  EXPECT_EQ(rig.board.secondUart.divisor(), 1);
  EXPECT_EQ(rig.board.firstUart.divisor(), 1);  // programmed after the wait gave up
  EXPECT_EQ(SerialWrite(bytes("hello"), 5), 5u);
  EXPECT_EQ(SerialWrite(bytes("x"), 0), 0u);
  EXPECT_EQ(rig.board.secondUart.transmittedText(), "hello");
  EXPECT_EQ(rig.board.firstUart.transmittedText(), "hello");
  // Three waits (initialization, one burst, the drain), each given up after at most 100000 polls.
  EXPECT_GT(rig.board.firstUart.lsrReads(), 3u);
  EXPECT_LE(rig.board.firstUart.lsrReads(), 300000u);
}

TEST(SerialConsole, WithoutBridgesOrFlowControlNoPciOrModemStatusAccess) {
  SerialRig rig;
  EXPECT_EQ(SerialFindRegisterBase(), 0x3F8u);
  EXPECT_TRUE(SerialWritable(0x3F8));
  EXPECT_TRUE(SerialWritable(0x2F8));
  EXPECT_TRUE(rig.machine.io.trace().empty());
}

}  // namespace
