#include <gtest/gtest.h>

#include "Platform/Host/Devices/StandardPlatform.h"

namespace zarn::host {
namespace {

uint8_t cmosByte(IoBus &bus, uint8_t index) {
  bus.write(0x70, 1, index);
  return static_cast<uint8_t>(bus.read(0x71, 1));
}

TEST(StandardPlatformTest, OptionsShapeTheBoardAsTheBootFindsIt) {
  IoBus io;
  MmioBus mmio;
  StandardPlatform board(io, mmio,
                         {.firstUart = UartOptions::programmed(0x03, 6),
                          .secondUart = UartOptions::absent(),
                          .cmosDebugLevel = 0x80000000,
                          .cmosBaudSelect = 0x04,
                          .cmosDiagnosticStatus = 0x80,
                          .superIoUartAActivate = 0x01,
                          .extendedEnableNode = 3});

  EXPECT_EQ(cmosByte(io, 0x8E), 0x80);
  EXPECT_EQ(cmosByte(io, 0x6F), 0x04);
  const uint8_t level[] = {cmosByte(io, 0x7A), cmosByte(io, 0x7B), cmosByte(io, 0x7C), cmosByte(io, 0x7D)};
  EXPECT_EQ(level[0], 0x00);
  EXPECT_EQ(level[3], 0x80);

  io.write(0x4E, 1, 0x07);
  io.write(0x4F, 1, 0x03);
  io.write(0x4E, 1, 0x30);
  EXPECT_EQ(io.read(0x4F, 1), 0x01u);

  EXPECT_EQ(io.read(0x3FB, 1), 0x03u);  // LCR
  EXPECT_EQ(io.read(0x3FA, 1), 0xC1u);  // IIR: FIFOs on
  EXPECT_EQ(board.firstUart.baudRate(), 19200u);
  for (uint16_t port = 0x2F8; port < 0x300; ++port) EXPECT_EQ(io.read(port, 1), 0xFFu) << port;

  // Extended-configuration enable functions of devices 0x18 and 0x1B; the ACPI decode function.
  for (uint32_t cf8 : {0x8000C400u, 0x8000DC00u, 0x8000FA00u}) {
    io.write(0xCF8, 4, cf8);
    EXPECT_NE(io.read(0xCFC, 4), 0xFFFFFFFFu) << std::hex << cf8;
  }
  io.write(0xCF8, 4, 0x8000D400);  // device 0x1A
  EXPECT_EQ(io.read(0xCFC, 4), 0xFFFFFFFFu);
}

TEST(StandardPlatformTest, HeldBusyAndMemoryMappedUart) {
  IoBus io;
  MmioBus mmio;
  StandardPlatform board(io, mmio,
                         {.secondUart = {.heldBusy = true}, .mmioUartBase = 0xFEDC9000, .mmioUartSpacing = 4});
  EXPECT_EQ(io.read(0x3FD, 1), 0x60u);
  EXPECT_EQ(io.read(0x2FD, 1), 0x00u);
  ASSERT_TRUE(board.mmioUart.has_value());
  mmio.write8(0xFEDC9000, 'm');
  EXPECT_EQ(mmio.read8(0xFEDC9014), 0x60);
  EXPECT_EQ(board.mmioUart->transmittedText(), "m");
}

TEST(StandardPlatformTest, ResetReturnsToPowerOnWithTheOptions) {
  IoBus io;
  MmioBus mmio;
  StandardPlatform board(io, mmio, {.firstUart = UartOptions::programmed(0x03, 1), .superIoUartBActivate = 0x81});
  io.write(0x3FB, 1, 0x1F);
  io.write(0x4E, 1, 0x07);
  io.write(0x4F, 1, 0x02);
  io.write(0x4E, 1, 0x30);
  io.write(0x4F, 1, 0x00);
  board.reset();
  EXPECT_EQ(io.read(0x3FB, 1), 0x03u);
  EXPECT_EQ(board.superIo.get(2, 0x30), 0x81);
}

TEST(StandardPlatformTest, UnbindsItsPortsWhenDestroyed) {
  IoBus io;
  MmioBus mmio;
  { StandardPlatform board(io, mmio); }
  EXPECT_EQ(io.read(0x3FD, 1), 0xFFu);
  Cmos other;
  EXPECT_NO_THROW(attachCmos(io, other));
}

}  // namespace
}  // namespace zarn::host
