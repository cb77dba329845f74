#include <gtest/gtest.h>

#include "Platform/Host/Devices/Uart16550.h"

namespace zarn::host {
namespace {

// Register numbers as the firmware uses them.
constexpr uint16_t THR = 0, IER = 1, IIR = 2, FCR = 2, LCR = 3, MCR = 4, LSR = 5, MSR = 6, SCR = 7;

// A port-mapped UART at 0x3F8 with register spacing 1, or a wider spacing at 0x400.
class UartTest : public ::testing::TestWithParam<unsigned> {
 protected:
  UartTest() : uart(GetParam()) { attachUart(bus, uart, base); }
  void out(uint16_t reg, uint8_t value) { bus.write(static_cast<uint16_t>(base + reg * GetParam()), 1, value); }
  uint8_t in(uint16_t reg) { return static_cast<uint8_t>(bus.read(static_cast<uint16_t>(base + reg * GetParam()), 1)); }
  const uint16_t base = GetParam() == 1 ? 0x3F8 : 0x400;
  IoBus bus;
  Uart16550 uart;
};

TEST_P(UartTest, DlabSwitchesFirstTwoRegistersToDivisorLatch) {
  out(LCR, 0x83);
  out(THR, 0x06);  // DLL
  out(IER, 0x01);  // DLM
  EXPECT_EQ(in(THR), 0x06);
  EXPECT_EQ(in(IER), 0x01);
  out(LCR, 0x03);
  EXPECT_EQ(uart.divisor(), 0x0106);
  EXPECT_EQ(uart.lineSettings(), "8N1");
  EXPECT_TRUE(uart.transmitted().empty());

  out(IER, 0xFF);
  EXPECT_EQ(in(IER), 0x0F);  // bits 4-7 always 0
  out(THR, 'A');
  EXPECT_EQ(uart.transmittedText(), "A");
  EXPECT_EQ(uart.divisor(), 0x0106);
}

TEST_P(UartTest, BaudRateFromDivisor) {
  const struct {
    uint8_t dll;
    uint32_t baud;
  } cases[] = {{1, 115200}, {2, 57600}, {6, 19200}, {12, 9600}};
  for (const auto &c : cases) {
    out(LCR, 0x80);
    out(IER, 0x00);
    out(THR, c.dll);
    out(LCR, 0x03);
    EXPECT_EQ(uart.baudRate(), c.baud);
  }
}

TEST_P(UartTest, IirFifoBitsFollowFcrBitZero) {
  const struct {
    uint8_t fcr;
    uint8_t iir;
  } cases[] = {{0x00, 0x01}, {0x01, 0xC1}, {0x07, 0xC1}, {0x21, 0xC1}, {0x06, 0x01}, {0xC1, 0xC1}, {0x00, 0x01}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.fcr);
    out(FCR, c.fcr);
    EXPECT_EQ(in(IIR), c.iir);
  }
}

TEST_P(UartTest, IdleTransmitterShowsThreAndTemt) {
  EXPECT_EQ(in(LSR), 0x60);
  out(THR, 'x');
  EXPECT_EQ(in(LSR), 0x60);
}

TEST_P(UartTest, HeldBusyTransmitterNeverShowsEmpty) {
  uart.holdTransmitterBusy();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(in(LSR)&0x60, 0x00);
  uart.releaseTransmitter();
  EXPECT_EQ(in(LSR), 0x60);
}

TEST_P(UartTest, BusyForSomeReadsThenEmpty) {
  uart.busyForLsrReads(3);
  EXPECT_EQ(in(LSR), 0x00);
  EXPECT_EQ(in(LSR), 0x00);
  EXPECT_EQ(in(LSR), 0x00);
  EXPECT_EQ(in(LSR), 0x60);
  EXPECT_EQ(uart.lsrReads(), 4u);
}

TEST_P(UartTest, CapturedBytesAreThrWritesWithDlabClear) {
  for (char c : std::string("Hi\n")) out(THR, static_cast<uint8_t>(c));
  out(LCR, 0x80);
  out(THR, 0x0C);  // divisor, not data
  out(LCR, 0x03);
  out(THR, '!');
  EXPECT_EQ(uart.transmittedText(), "Hi\n!");
}

TEST_P(UartTest, ModemStatusLinesAndDeltas) {
  EXPECT_EQ(in(MSR), 0x00);
  uart.setModemStatus(0x30);
  EXPECT_EQ(in(MSR), 0x33);  // CTS and DSR with their delta bits
  EXPECT_EQ(in(MSR), 0x30);  // deltas clear when read
  uart.setModemStatus(0x20);
  EXPECT_EQ(in(MSR), 0x21);
}

TEST_P(UartTest, LoopbackSendsToReceiverAndDrivesModemInputs) {
  out(MCR, 0x13);  // loopback, RTS, DTR
  EXPECT_EQ(in(MSR)&0xF0, 0x30);
  out(THR, 'L');
  EXPECT_TRUE(uart.transmitted().empty());
  EXPECT_EQ(in(LSR), 0x61);
  EXPECT_EQ(in(THR), 'L');
  EXPECT_EQ(in(LSR), 0x60);
}

TEST_P(UartTest, ResetClearsControlButKeepsDivisorAndScratch) {
  out(LCR, 0x83);
  out(THR, 0x02);
  out(LCR, 0x1B);
  out(FCR, 0x01);
  out(MCR, 0x0B);
  out(SCR, 0x5A);
  uart.reset();
  EXPECT_EQ(in(LCR), 0x00);
  EXPECT_EQ(in(IIR), 0x01);
  EXPECT_EQ(in(MCR), 0x00);
  EXPECT_EQ(in(LSR), 0x60);
  EXPECT_EQ(in(SCR), 0x5A);
  EXPECT_EQ(uart.divisor(), 2);
}

TEST_P(UartTest, AccessesTheUartDoesNotHave) {
  const unsigned spacing = GetParam();
  EXPECT_THROW(uart.read(0, 2), DeviceError);
  EXPECT_THROW(uart.write(0, 4, 0), DeviceError);
  EXPECT_THROW(uart.read(8 * spacing, 1), DeviceError);
  if (spacing > 1) {
    EXPECT_THROW(uart.read(1, 1), DeviceError);
  }
  EXPECT_THROW(out(LSR, 0x60), DeviceError);
  EXPECT_THROW(out(MSR, 0x30), DeviceError);
}

INSTANTIATE_TEST_SUITE_P(Spacing, UartTest, ::testing::Values(1u, 4u));

TEST(UartLineSettings, FromLcrBits) {
  const struct {
    uint8_t lcr;
    const char *text;
  } cases[] = {{0x03, "8N1"}, {0x07, "8N2"}, {0x00, "5N1"}, {0x04, "5N1.5"},
               {0x1A, "7E1"}, {0x0B, "8O1"}, {0x2B, "8M1"}, {0x3B, "8S1"}};
  Uart16550 uart;
  for (const auto &c : cases) {
    uart.setLineControl(c.lcr);
    EXPECT_EQ(uart.lineSettings(), c.text) << int(c.lcr);
  }
}

TEST(UartMmio, SameModelOnTheMemoryBusWithByteAccesses) {
  MmioBus mmio;
  Uart16550 uart(4);
  attachUart(mmio, uart, 0xFEDC9000);
  mmio.write8(0xFEDC900C, 0x83);  // LCR
  mmio.write8(0xFEDC9000, 0x01);  // DLL
  mmio.write8(0xFEDC900C, 0x03);
  mmio.write8(0xFEDC9000, 'M');
  EXPECT_EQ(mmio.read8(0xFEDC9014), 0x60);  // LSR
  EXPECT_EQ(uart.divisor(), 1);
  EXPECT_EQ(uart.transmittedText(), "M");
}

}  // namespace
}  // namespace zarn::host
