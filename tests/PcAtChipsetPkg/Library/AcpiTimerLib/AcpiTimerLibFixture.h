// A machine with the standard board; the ACPI decode function sits at 0:1F.2.
#pragma once

#include <gtest/gtest.h>

#include "Library/AcpiTimerLib.h"
#include "Platform/Host/Devices/StandardPlatform.h"
#include "Platform/Host/Machine.h"
#include "tests/support/RecordingDebugLib.h"

class AcpiTimerLibTest : public ::testing::Test {
 protected:
  using Config = zarn::host::PciHost::ConfigAccess;
  static constexpr zarn::host::PciLocation kAcpi{0, 0x1F, 2};

  AcpiTimerLibTest() : board(machine.io, machine.mmio) {
    machine.makeCurrent();
    zarn::test::debugRecord().clear();
  }

  zarn::host::Machine machine;
  zarn::host::StandardPlatform board;
};
