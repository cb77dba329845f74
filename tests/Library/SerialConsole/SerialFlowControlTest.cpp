// Hardware flow control without the cable check: only a peer that shows DSR without CTS holds the
// transmitter back.
#include <string>
#include <vector>

#include "tests/Library/SerialConsole/SerialRig.h"

namespace {

using zarn::host::UartOptions;
using zarn::test::bytes;
using zarn::test::SerialRig;
using zarn::test::transmitSteps;

TEST(SerialWritable, FlowControlWithoutCableCheck) {
  SerialRig rig;
  struct Case {
    uint8_t lines;
    bool writable;
  };
  for (const Case c : {Case{0x00, true}, Case{0x10, true}, Case{0x20, false}, Case{0x30, true}, Case{0xE0, false},
                       Case{0xF0, true}}) {
    rig.board.firstUart.setModemStatus(c.lines);
    EXPECT_EQ(SerialWritable(0x3F8), c.writable) << std::hex << int(c.lines);
  }
}

TEST(SerialWrite, EitherUartBeingWritableLetsTheByteGo) {
  SerialRig rig({.firstUart = UartOptions::programmed(0x03, 1), .secondUart = UartOptions::programmed(0x03, 1)});
  rig.board.firstUart.setModemStatus(0x20);
  rig.board.secondUart.setModemStatus(0x30);
  EXPECT_EQ(SerialWrite(bytes("ok"), 2), 2u);
  const std::vector<std::string> expected = {"I", "L1", "L2", "M1", "M2", "a", "b", "M1", "M2", "a", "b"};
  EXPECT_EQ(transmitSteps(rig.machine.io), expected);
}

TEST(SerialWrite, APeerThatNeverGetsReadyCostsABoundedWaitAndTheBytesStillGo) {
  SerialRig rig({.firstUart = UartOptions::programmed(0x03, 1), .secondUart = UartOptions::programmed(0x03, 1)});
  rig.board.firstUart.setModemStatus(0x20);
  rig.board.secondUart.setModemStatus(0x20);
  EXPECT_EQ(SerialWrite(bytes("ok"), 2), 2u);
  EXPECT_EQ(rig.board.firstUart.transmittedText(), "ok");
  EXPECT_EQ(rig.board.secondUart.transmittedText(), "ok");
  EXPECT_LE(rig.machine.io.trace().size(), 2u * 2u * 100000u + 16u);
}

TEST(SerialWrite, DrainWaitsForEachUartToBeWritableInTurn) {
  SerialRig rig({.firstUart = UartOptions::programmed(0x03, 1), .secondUart = UartOptions::programmed(0x03, 1)});
  rig.board.firstUart.setModemStatus(0x30);
  rig.board.secondUart.setModemStatus(0x10);
  EXPECT_EQ(SerialWrite(bytes(""), 0), 0u);
  const std::vector<std::string> expected = {"L1", "L2", "M1", "M2"};
  EXPECT_EQ(transmitSteps(rig.machine.io), expected);
}

}  // namespace
