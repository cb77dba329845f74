// The services pointer comes from the pointer-sized cell just below the IDT base, whatever the limit.
#include <gtest/gtest.h>

#include <cstdint>

#include "Library/PeiServicesLib.h"
#include "Platform/Host/Machine.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::debugRecord;

TEST(PeiServicesTablePointer, ReadsTheCellBelowTheIdtBase) {
  zarn::host::Machine machine;
  machine.makeCurrent();
  // A fake IDT: the cell holds V, the table starts right after it.
  uintptr_t fakeIdt[4] = {0xA5A5A5A5u, 0x0BADF00Du, 0, 0};
  const uintptr_t base = reinterpret_cast<uintptr_t>(&fakeIdt[2]);
  fakeIdt[1] = 0x12345678u;
  for (const uint16_t limit : {0x0000, 0x0007, 0x07FF, 0xFFFF}) {
    debugRecord().clear();
    machine.cpu.setIdtr(limit, base);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ReadPeiServicesTablePointer()), 0x12345678u) << limit;
    EXPECT_TRUE(debugRecord().asserts.empty());
  }

  // The value is read afresh on every call.
  fakeIdt[1] = 0x0CAFE000u;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(ReadPeiServicesTablePointer()), 0x0CAFE000u);

  // The machine's own IDT holds the foundation's services pointer.
  machine.cpu.setIdtr(zarn::host::Machine::kIdtLimit, machine.idtBase());
  EXPECT_EQ(ReadPeiServicesTablePointer(), machine.pei.servicesPointer());
}

TEST(PeiServicesTablePointer, NullCellIsReportedAndReturned) {
  zarn::host::Machine machine;
  machine.makeCurrent();
  machine.setServicesCell(0);
  debugRecord().clear();
  EXPECT_EQ(ReadPeiServicesTablePointer(), nullptr);
  ASSERT_EQ(debugRecord().asserts.size(), 1u);
  EXPECT_EQ(debugRecord().asserts[0].sourcePath,
            "MdePkg/Library/PeiServicesTablePointerLibIdt/PeiServicesTablePointer");
  EXPECT_EQ(debugRecord().asserts[0].expression, "PeiServices != ((void *) 0)");
}

}  // namespace
