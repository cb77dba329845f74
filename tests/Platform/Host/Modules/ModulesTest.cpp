// The platform's own modules: installed outside the counted services, each answering on its machine.
#include <gtest/gtest.h>

#include "Guid/ZarnGuids.h"
#include "Library/ModuleMessage.h"
#include "Platform/Host/Machine.h"
#include "Platform/Host/Modules/DebugPrintProducer.h"
#include "Platform/Host/Modules/MemoryInitModule.h"

namespace zarn::host {
namespace {

TEST(HostModules, InstallNeitherCountsNorFaults) {
  Machine machine;
  machine.pei.injectFault({Service::InstallPpi, EFI_OUT_OF_RESOURCES});
  MemoryInitModule memoryInit;
  DebugPrintProducer printer;
  memoryInit.install(machine);
  printer.install(machine);
  EXPECT_TRUE(machine.pei.calls().empty());
  EXPECT_EQ(machine.pei.locatePpi(gMemoryInformationPpiGuid), &memoryInit.ppi());
  EXPECT_EQ(machine.pei.locatePpi(gZarnDebugPrintPpiGuid), &printer.ppi());
}

TEST(HostModules, GetHoleMapAnswersForItsOwnMachine) {
  Machine first;
  Machine second;
  MemoryInitModule a;
  a.config().holes = {{0x1000, 0x2000, 3}};
  a.config().topOfMemory = 0x10000;
  MemoryInitModule b;  // no holes
  b.config().topOfMemory = 0x20000;
  a.install(first);
  b.install(second);

  UINT32 count = 99;
  UINT64 top = 0;
  HoleMapEntry *map = nullptr;
  ASSERT_EQ(a.ppi().GetHoleMap(first.pei.servicesPointer(), &count, &top, &map), EFI_SUCCESS);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(top, 0x10000u);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map[0].Base, 0x1000u);
  EXPECT_EQ(map[0].Size, 0x2000u);
  EXPECT_EQ(map[0].Type, 3u);

  // An empty map still has an address, so a caller can tell it from a missing one.
  ASSERT_EQ(b.ppi().GetHoleMap(second.pei.servicesPointer(), &count, &top, &map), EFI_SUCCESS);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(top, 0x20000u);
  EXPECT_NE(map, nullptr);

  b.config().nullHoleMap = true;
  b.update();
  ASSERT_EQ(b.ppi().GetHoleMap(second.pei.servicesPointer(), &count, &top, &map), EFI_SUCCESS);
  EXPECT_EQ(map, nullptr);

  b.config().holeMapStatus = EFI_DEVICE_ERROR;
  count = 7;
  EXPECT_EQ(b.ppi().GetHoleMap(second.pei.servicesPointer(), &count, &top, &map), EFI_DEVICE_ERROR);
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(a.holeMapCalls(), 1u);
  EXPECT_EQ(b.holeMapCalls(), 3u);
}

TEST(HostModules, ArraysArePaddedToTheCountsUnlessMarkedAbsent) {
  Machine machine;
  MemoryInitModule memoryInit;
  memoryInit.config().counts = {2, 3, 4, 0};
  memoryInit.config().arrays.array0 = {1, 2};
  memoryInit.config().nullSource[9] = true;
  memoryInit.install(machine);
  EXPECT_EQ(memoryInit.config().arrays.array0.size(), 6u);
  EXPECT_EQ(memoryInit.config().arrays.array1.size(), 24u);
  EXPECT_EQ(memoryInit.config().arrays.bytes[10].size(), 24u);
  EXPECT_EQ(memoryInit.ppi().ArraySource[0], memoryInit.config().arrays.array0.data());
  EXPECT_EQ(memoryInit.ppi().ArraySource[9], nullptr);
  EXPECT_EQ(memoryInit.ppi().Dim1Count, 3);
}

TEST(HostModules, DebugPrintRecordsTheRunningModuleAndTheFormattedText) {
  Machine machine;
  machine.makeCurrent();
  DebugPrintProducer printer;
  printer.install(machine);
  machine.pei.setRunningModule("Quilkeep");
  ZarnModuleMessage(0x0000000080000000ull, "Entry %d of %a\n", 3, "block");
  machine.pei.setRunningModule("");
  const std::string longText(2000, 'x');
  ZarnModuleMessage(0x0004000000000000ull, "%a", longText.c_str());
  ASSERT_EQ(printer.messages().size(), 2u);
  EXPECT_EQ(printer.messages()[0],
            (ModuleMessageRecord{"Quilkeep", 0x0000000080000000ull, "Entry %d of %a\n", "Entry 3 of block\r\n"}));
  // Cut to the producer's buffer, never past it.
  EXPECT_EQ(printer.messages()[1].module, "");
  EXPECT_EQ(printer.messages()[1].text, std::string(DebugPrintProducer::kBufferSize - 1, 'x'));
}

}  // namespace
}  // namespace zarn::host
