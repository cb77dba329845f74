// The built Dramatlas image dispatched on a simulated board: the same HOBs, PPIs and statuses with and
// without the platform's debug-print PPI; with it, every message arrives from Dramatlas in its class.
#include <gtest/gtest.h>

#include <functional>

#include "Guid/ZarnGuids.h"
#include "Platform/Host/Devices/StandardPlatform.h"
#include "Platform/Host/Machine.h"
#include "Platform/Host/Modules/DebugPrintProducer.h"
#include "Platform/Host/Modules/MemoryInitModule.h"

namespace zarn::host {
namespace {

struct Outcome {
  EFI_STATUS status;
  std::vector<std::vector<uint8_t>> hobs;  // every HOB the image created, whole
  std::vector<std::string> ppis;           // "installer" of each PPI under gMemoryHobsReadyPpiGuid
  std::vector<ModuleMessageRecord> messages;
};

Outcome boot(const std::function<void(MemoryInitConfig &)> &configure, bool withDebugPrint) {
  Machine machine;
  StandardPlatform board(machine.io, machine.mmio);
  MemoryInitModule memoryInit;
  configure(memoryInit.config());
  memoryInit.install(machine);
  DebugPrintProducer printer;
  if (withDebugPrint) printer.install(machine);

  Outcome out;
  out.status = machine.load(ZARN_IMAGE_DIR "/Dramatlas.so").dispatch(machine);
  for (const HobRecord &h : machine.pei.hobs()) {
    if (h.creator == "Dramatlas") out.hobs.emplace_back(h.bytes.begin(), h.bytes.end());
  }
  for (const PpiRecord &p : machine.pei.ppis()) {
    if (sameGuid(p.guid, gMemoryHobsReadyPpiGuid)) out.ppis.push_back(p.installer);
  }
  out.messages = printer.messages();
  return out;
}

TEST(DramatlasImage, RunsAloneAndWithTheDebugPrintPpiAlike) {
  struct Case {
    const char *name;
    std::function<void(MemoryInitConfig &)> configure;
    EFI_STATUS status;
    size_t hobs;
    size_t ppis;
  };
  const Case cases[] = {
      {"two holes",
       [](MemoryInitConfig &c) {
         c.holes = {{0xA0000, 0x60000, 1}, {0xC0000000, 0x40000000, 0}};
         c.topOfMemory = 0x240000000;
         c.counts = {1, 1, 1, 0};
       },
       EFI_SUCCESS, 2, 1},
      {"GetHoleMap fails", [](MemoryInitConfig &c) { c.holeMapStatus = EFI_DEVICE_ERROR; }, EFI_DEVICE_ERROR, 0, 0},
      {"unsupported hole type", [](MemoryInitConfig &c) { c.holes = {{0x1000, 0x1000, 9}}; }, EFI_UNSUPPORTED, 0, 0},
      {"configuration without a source",
       [](MemoryInitConfig &c) {
         c.counts = {1, 1, 1, 0};
         c.nullSource[0] = true;
       },
       EFI_INVALID_PARAMETER, 1, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome quiet = boot(c.configure, false);
    const Outcome told = boot(c.configure, true);
    EXPECT_EQ(quiet.status, c.status);
    EXPECT_EQ(told.status, c.status);
    EXPECT_EQ(quiet.hobs.size(), c.hobs);
    EXPECT_EQ(told.hobs, quiet.hobs);
    EXPECT_EQ(quiet.ppis, std::vector<std::string>(c.ppis, "Dramatlas"));
    EXPECT_EQ(told.ppis, quiet.ppis);
    EXPECT_TRUE(quiet.messages.empty());
    EXPECT_EQ(told.messages.empty(), c.status == EFI_DEVICE_ERROR);  // a failing GetHoleMap is silent
    for (const ModuleMessageRecord &m : told.messages) {
      EXPECT_EQ(m.module, "Dramatlas");
      EXPECT_EQ(m.messageClass, 0x0004000000000000ull);
    }
  }
}

TEST(DramatlasImage, PublishesTheTwoHoleMap) {
  const Outcome out = boot(
      [](MemoryInitConfig &c) {
        c.holes = {{0xA0000, 0x60000, 1}, {0xC0000000, 0x40000000, 0}};
        c.topOfMemory = 0x240000000;
        c.value16 = 0x1234;
        c.value8Valid = 1;
        c.value8 = 0x56;
        c.value32 = 0x789ABCDE;
        c.value32B = 0x0F0E0D0C;
      },
      true);
  ASSERT_EQ(out.status, EFI_SUCCESS);
  ASSERT_EQ(out.hobs.size(), 2u);
  const std::vector<uint8_t> &hob = out.hobs[0];
  ASSERT_EQ(hob.size(), 24u + 142u);
  EXPECT_EQ((std::vector<uint8_t>(hob.begin(), hob.begin() + 4)), (std::vector<uint8_t>{0x04, 0x00, 0xA6, 0x00}));
  EXPECT_EQ(std::vector<uint8_t>(hob.begin() + 24, hob.begin() + 46),
            (std::vector<uint8_t>{0x10, 0x01, 0x00, 0x00, 0x01, 0x34, 0x12, 0x01, 0x56, 0x01, 0xDE,
                                  0xBC, 0x9A, 0x78, 0x0C, 0x0D, 0x0E, 0x0F, 0x05, 0x00, 0x00, 0x00}));
  // The last descriptor: {0x100000000, 0x140000000, 1}.
  EXPECT_EQ(std::vector<uint8_t>(hob.begin() + 142, hob.end()),
            (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40,
                                  0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
  ASSERT_FALSE(out.messages.empty());
  EXPECT_EQ(out.messages.front().text, "    NumOfHoles: 2\r\n");
  EXPECT_EQ(out.messages.back().text, "NumOfAllocInfoHob = 16\r\n");
}

}  // namespace
}  // namespace zarn::host
