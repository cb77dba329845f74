// A board with both UARTs already programmed, so reports reach them without the constructor, and the
// CMOS holding the run-time level.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Platform/Host/Devices/StandardPlatform.h"
#include "Platform/Host/Machine.h"

namespace zarn::test {

struct DebugRig {
  explicit DebugRig(uint32_t cmosLevel = 0, uint8_t cmosStatus = 0x00)
      : board(machine.io, machine.mmio,
              {.firstUart = host::UartOptions::programmed(0x03, 1),
               .secondUart = host::UartOptions::programmed(0x03, 1),
               .cmosDebugLevel = cmosLevel,
               .cmosDiagnosticStatus = cmosStatus}) {
    machine.makeCurrent();
  }
  std::string serial() const { return board.firstUart.transmittedText(); }
  host::Machine machine;
  host::StandardPlatform board;
};

}  // namespace zarn::test
