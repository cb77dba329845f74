// Hardware flow control with the cable check: both DSR and CTS must be present.
#include "tests/Library/SerialConsole/SerialRig.h"

TEST(SerialWritable, FlowControlWithCableCheckNeedsDsrAndCts) {
  zarn::test::SerialRig rig;
  struct Case {
    uint8_t lines;
    bool writable;
  };
  for (const Case c : {Case{0x00, false}, Case{0x10, false}, Case{0x20, false}, Case{0x30, true}, Case{0xF0, true}}) {
    rig.board.secondUart.setModemStatus(c.lines);
    EXPECT_EQ(SerialWritable(0x2F8), c.writable) << std::hex << int(c.lines);
  }
}
