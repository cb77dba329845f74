// Forwarding of module messages to the debug-print PPI: located per message, dropped without it.
#include <gtest/gtest.h>

#include "Guid/ZarnGuids.h"
#include "Library/ModuleMessage.h"
#include "Platform/Host/Machine.h"
#include "Platform/Host/Modules/DebugPrintProducer.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::host::DebugPrintProducer;
using zarn::host::Fault;
using zarn::host::Machine;
using zarn::host::ModuleMessageRecord;
using zarn::host::Service;

class ModuleMessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.makeCurrent();
    zarn::test::debugRecord().clear();
  }
  Machine machine;
  DebugPrintProducer producer;
};

TEST_F(ModuleMessageTest, EachMessageArrivesWithItsClassFormatAndArguments) {
  producer.install(machine);
  ZarnModuleMessage(0x0004000000000000ull, "    Base Lo: 0x%08x\n", 0xA0000ull);
  ZarnModuleMessage(0x0000000080000000ull, "QuilkeepDriverEntry >>\n");
  ZarnModuleMessage(0x0004000000000000ull, "Unsupported hole type %d at entry %d\n", 7, 2);
  EXPECT_EQ(producer.messages(),
            (std::vector<ModuleMessageRecord>{
                {"", 0x0004000000000000ull, "    Base Lo: 0x%08x\n", "    Base Lo: 0x000A0000\r\n"},
                {"", 0x0000000080000000ull, "QuilkeepDriverEntry >>\n", "QuilkeepDriverEntry >>\r\n"},
                {"", 0x0004000000000000ull, "Unsupported hole type %d at entry %d\n",
                 "Unsupported hole type 7 at entry 2\r\n"},
            }));
  // Looked up anew for every message, and nothing of the forwarder reaches the debug library.
  EXPECT_EQ(machine.pei.callCount(Service::LocatePpi), 3u);
  EXPECT_TRUE(zarn::test::debugRecord().events.empty());
}

TEST_F(ModuleMessageTest, WithoutThePpiMessagesAreDropped) {
  ZarnModuleMessage(0x0004000000000000ull, "lost %d\n", 1);
  EXPECT_EQ(machine.pei.callCount(Service::LocatePpi), 1u);
  EXPECT_EQ(machine.pei.calls()[0].status, EFI_NOT_FOUND);
  EXPECT_TRUE(producer.messages().empty());
  EXPECT_TRUE(zarn::test::debugRecord().events.empty());
}

TEST_F(ModuleMessageTest, PpiInstalledBetweenTwoMessagesGetsOnlyTheSecond) {
  ZarnModuleMessage(0x0004000000000000ull, "first\n");
  producer.install(machine);
  ZarnModuleMessage(0x0004000000000000ull, "second\n");
  EXPECT_EQ(producer.texts(), std::vector<std::string>{"second\r\n"});
}

TEST_F(ModuleMessageTest, WarningCountsAsFoundAndErrorAsMissing) {
  producer.install(machine);
  machine.pei.injectFault({Service::LocatePpi, EFI_WARN_STALE_DATA, 0, 1});
  ZarnModuleMessage(0x0004000000000000ull, "after a warning\n");
  machine.pei.injectFault({Service::LocatePpi, EFI_DEVICE_ERROR, 0, 1});
  ZarnModuleMessage(0x0004000000000000ull, "after an error\n");
  EXPECT_EQ(producer.texts(), std::vector<std::string>{"after a warning\r\n"});
}

// A receiver of its own sees the raw argument list exactly as the caller placed it.
std::vector<uint64_t> gSeen;
VOID EFIAPI RecordRaw(UINT64 MessageClass, const CHAR8 *, va_list Arguments) {
  gSeen.push_back(MessageClass);
  gSeen.push_back(va_arg(Arguments, UINT64));
  gSeen.push_back(va_arg(Arguments, UINT32));
}

TEST_F(ModuleMessageTest, ArgumentsReachTheReceiverUnchanged) {
  static const ZARN_DEBUG_PRINT_PPI raw = {RecordRaw};
  machine.pei.installPpi(gZarnDebugPrintPpiGuid, &raw);
  gSeen.clear();
  ZarnModuleMessage(0x0000000080000000ull, "%lx %d", 0x123456789ull, 42u);
  EXPECT_EQ(gSeen, (std::vector<uint64_t>{0x0000000080000000ull, 0x123456789ull, 42}));
}

}  // namespace
