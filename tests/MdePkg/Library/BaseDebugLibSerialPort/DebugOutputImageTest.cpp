// Both real images on one board, Dramatlas then Quilkeep: the serial console is set up once and left
// alone by the second module, and the run-time level is read from CMOS once and then served from MM0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Guid/ZarnGuids.h"
#include "Platform/Host/Devices/StandardPlatform.h"
#include "Platform/Host/Machine.h"
#include "Ppi/QuilAccessor.h"

namespace {

using zarn::host::Fault;
using zarn::host::IoAccess;
using zarn::host::Machine;
using zarn::host::Service;
using zarn::host::StandardPlatform;

struct Boot {
  explicit Boot(const zarn::host::StandardPlatformOptions &options) : board(machine.io, machine.mmio, options) {
    machine.makeCurrent();
  }
  Machine machine;
  StandardPlatform board;
};

// Writes to the UART registers other than the transmit register, from trace position `from` on.
std::vector<IoAccess> uartSetupWrites(const Machine &m, size_t from) {
  std::vector<IoAccess> out;
  const auto &t = m.io.trace();
  for (size_t i = from; i < t.size(); ++i) {
    const bool uart = (t[i].port > 0x3F8 && t[i].port < 0x400) || (t[i].port > 0x2F8 && t[i].port < 0x300);
    if (t[i].write && uart) out.push_back(t[i]);
  }
  return out;
}

size_t occurrences(const std::string &text, const std::string &part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

size_t cmosReads(const Machine &m, size_t from) {
  size_t n = 0;
  for (size_t i = from; i < m.io.trace().size(); ++i) n += m.io.trace()[i].port == 0x71 ? 1 : 0;
  return n;
}

TEST(DebugOutputImages, TheSecondModuleFindsTheUartsProgrammedAndLeavesThem) {
  Boot boot({.cmosBaudSelect = 0x04});
  zarn::host::Image &dramatlas = boot.machine.load(ZARN_IMAGE_DIR "/Dramatlas.so");
  zarn::host::Image &quilkeep = boot.machine.load(ZARN_IMAGE_DIR "/Quilkeep.so");

  dramatlas.dispatch(boot.machine);
  EXPECT_EQ(boot.board.firstUart.divisor(), 6);
  EXPECT_EQ(boot.board.secondUart.divisor(), 6);
  EXPECT_EQ(boot.board.firstUart.lineControl(), 0x03);
  EXPECT_EQ(boot.board.secondUart.fifoControl(), 0x01);

  const size_t second = boot.machine.io.trace().size();
  quilkeep.dispatch(boot.machine);
  // Only the divisor latch was opened and closed again on each UART.
  const std::vector<IoAccess> expected = {
      {0x3FB, 1, 0x83, true, false}, {0x3FB, 1, 0x03, true, false},
      {0x2FB, 1, 0x83, true, false}, {0x2FB, 1, 0x03, true, false}};
  EXPECT_EQ(uartSetupWrites(boot.machine, second), expected);
  ASSERT_EQ(boot.machine.constructors().size(), 5u);
  EXPECT_EQ(boot.machine.constructors()[0].status, EFI_SUCCESS);
  EXPECT_EQ(boot.machine.constructors()[2].status, EFI_SUCCESS);
}

// A failing GetHobList makes Quilkeep's block discovery report the status: a DEBUG message at level
// 0x80000000 and an assertion report, both from Quilkeep's own copy of the debug library.
TEST(DebugOutputImages, TheLevelIsReadFromCmosOnceAndThenServedFromMm0) {
  Boot boot({.cmosDebugLevel = 0x80000000u});
  boot.machine.pei.injectFault({Service::GetHobList, EFI_DEVICE_ERROR});
  boot.machine.dispatchAll({ZARN_IMAGE_DIR "/Dramatlas.so", ZARN_IMAGE_DIR "/Quilkeep.so"});

  const std::string message = "\r\nASSERT_EFI_ERROR (Status = Device Error)\r\n";
  EXPECT_EQ(occurrences(boot.board.firstUart.transmittedText(), message), 1u);
  EXPECT_NE(boot.board.firstUart.transmittedText().find("ASSERT [Quilkeep] MdePkg/Library/PeiHobLib/HobLib("),
            std::string::npos);
  // The baud byte once per module, and the level once: register 0x0E and bytes 0x7A-0x7D.
  EXPECT_EQ(cmosReads(boot.machine, 0), 2u + 5u);

  // A later request through Quilkeep's accessor PPI meets the same failure: its message goes out with
  // the cached level and CMOS is not read again.
  const auto *accessors =
      static_cast<const ZARN_QUIL_ACCESSOR_PPI *>(boot.machine.pei.locatePpi(gZarnQuilAccessorPpiGuid));
  ASSERT_NE(accessors, nullptr);
  UINT8 instance = 0;
  accessors->GetDornInstanceTrov(&instance);
  EXPECT_EQ(occurrences(boot.board.firstUart.transmittedText(), message), 2u);
  EXPECT_EQ(boot.board.secondUart.transmittedText(), boot.board.firstUart.transmittedText());
  EXPECT_EQ(cmosReads(boot.machine, 0), 2u + 5u);
  EXPECT_EQ(boot.machine.cpu.mm0(), 0x8000000080004424ull);
}

TEST(DebugOutputImages, ACacheLeftInMm0IsUsedWithoutTouchingCmos) {
  // CMOS says level 0; the cache an earlier module left says 0x80000000, and it wins.
  Boot boot({.cmosDebugLevel = 0});
  boot.machine.cpu.setMm0(0x8000000080004424ull);
  boot.machine.pei.injectFault({Service::GetHobList, EFI_DEVICE_ERROR});
  boot.machine.dispatchAll({ZARN_IMAGE_DIR "/Dramatlas.so", ZARN_IMAGE_DIR "/Quilkeep.so"});
  EXPECT_NE(boot.board.firstUart.transmittedText().find("ASSERT_EFI_ERROR (Status = Device Error)"), std::string::npos);
  EXPECT_EQ(cmosReads(boot.machine, 0), 2u);  // the baud byte of each module only
  for (const auto &a : boot.machine.cpu.mmxAccesses()) EXPECT_FALSE(a.write);
}

}  // namespace
