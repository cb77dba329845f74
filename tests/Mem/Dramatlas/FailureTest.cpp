// What a Dramatlas run leaves behind when a service, the memory-information PPI or its data fails:
// the status, the messages, and exactly which HOBs and PPIs exist afterwards.
#include <functional>

#include "Mem/Dramatlas/Dramatlas.h"
#include "tests/Mem/Dramatlas/DramatlasFixture.h"

namespace zarn::test {
namespace {

using host::Fault;
using host::Service;

struct FailureCase {
  const char *name;
  std::function<void(host::Machine &, host::MemoryInitModule &)> setup;  // before installing the PPI
  EFI_STATUS status;
  bool silent;                     // no message at all
  std::vector<std::string> tail;   // otherwise: the last messages
  size_t memInfoHobs;
  size_t configHobs;
  size_t readyPpis;
  std::vector<std::string> assertions = {};
  bool memoryPpi = true;  // the memory-initialization module installs its PPI
};

const std::vector<std::string> kConfigDone = {"BuildHobInfo: BuildHobMemoryConfigInfoData!\r\n",
                                              "NumOfAllocInfoHob = 16\r\n"};
const std::vector<std::string> kConfigFailed = {"BuildHobInfo: BuildHobMemoryConfigInfoData!\r\n",
                                                "NumOfAllocInfoHob = 16\r\n",
                                                "BuildHobInfo: BuildHobMemoryConfigInfoData FAILED!\r\n"};

class FailureTest : public DramatlasFixture {};

TEST_F(FailureTest, EveryFailureLeavesExactlyWhatItShould) {
  const auto fault = [](Service s, EFI_STATUS st, uint32_t after = 0) {
    return [=](host::Machine &m, host::MemoryInitModule &) { m.pei.injectFault({s, st, after, 1}); };
  };
  const auto config = [](const std::function<void(host::MemoryInitConfig &)> &f) {
    return [=](host::Machine &, host::MemoryInitModule &mem) { f(mem.config()); };
  };
  std::vector<host::HoleSpec> twentyOne;  // ten holes after gaps and a closing range
  for (uint64_t k = 0; k < 10; ++k) twentyOne.push_back({0x2000 * k + 0x1000, 0x1000, 2});

  const FailureCase cases[] = {
      {"success", nullptr, EFI_SUCCESS, false, kConfigDone, 1, 1, 1},
      {"memory-information PPI missing", nullptr, EFI_NOT_FOUND, true, {}, 0, 0, 0, {}, false},
      {"first LocatePpi answers a warning", fault(Service::LocatePpi, EFI_WARN_STALE_DATA), EFI_WARN_STALE_DATA,
       true, {}, 0, 0, 0},
      {"second LocatePpi fails", fault(Service::LocatePpi, EFI_DEVICE_ERROR, 1), EFI_DEVICE_ERROR, true, {}, 0, 0, 0},
      {"second LocatePpi answers a warning", fault(Service::LocatePpi, EFI_WARN_BUFFER_TOO_SMALL, 1),
       EFI_WARN_BUFFER_TOO_SMALL, true, {}, 0, 0, 0},
      {"GetHoleMap fails", config([](auto &c) { c.holeMapStatus = EFI_DEVICE_ERROR; }), EFI_DEVICE_ERROR, true,
       {}, 0, 0, 0},
      {"GetHoleMap answers a warning", config([](auto &c) { c.holeMapStatus = EFI_WARN_STALE_DATA; }),
       EFI_WARN_STALE_DATA, true, {}, 0, 0, 0},
      {"null hole map", config([](auto &c) { c.nullHoleMap = true; }), EFI_NOT_FOUND, true, {}, 0, 0, 0},
      {"memory map HOB cannot be created", fault(Service::CreateHob, EFI_OUT_OF_RESOURCES), EFI_NOT_FOUND, false,
       {"    SizeOfMemInfoHob: 0x2E\r\n", "BuildHobInfo: Failed to build gZarnMemoryInfoHobGuid Hob!\r\n"}, 0, 0, 0,
       {"Hob != ((void *) 0)"}},
      {"configuration HOB cannot be created", fault(Service::CreateHob, EFI_OUT_OF_RESOURCES, 1), EFI_NOT_FOUND,
       false, kConfigFailed, 1, 0, 0, {"Hob != ((void *) 0)"}},
      {"InstallPpi fails", fault(Service::InstallPpi, EFI_OUT_OF_RESOURCES), EFI_OUT_OF_RESOURCES, false,
       kConfigDone, 1, 1, 0},
      // Bad input from the memory-information PPI, refused before anything is published.
      {"hole type above 5",
       config([](auto &c) { c.holes = {{0x1000, 0x1000, 5}, {0x4000, 0x1000, 6}}; }), EFI_UNSUPPORTED, false,
       {"BuildHobInfo: Unsupported hole type 6 at entry 1\r\n"}, 0, 0, 0},
      {"holes out of order",
       config([](auto &c) { c.holes = {{0x4000, 0x1000, 0}, {0x1000, 0x1000, 0}}; }), EFI_INVALID_PARAMETER,
       false, {"BuildHobInfo: Hole map entry 1 overlaps or is out of order\r\n"}, 0, 0, 0},
      {"overlapping holes",
       config([](auto &c) { c.holes = {{0x1000, 0x2000, 0}, {0x2FFF, 0x1000, 1}}; }), EFI_INVALID_PARAMETER,
       false, {"BuildHobInfo: Hole map entry 1 overlaps or is out of order\r\n"}, 0, 0, 0},
      {"hole runs past 2^64",
       config([](auto &c) { c.holes = {{0xFFFFFFFFFFFFF000, 0x1001, 0}}; }), EFI_INVALID_PARAMETER, false,
       {"BuildHobInfo: Hole map entry 0 ends beyond the address space\r\n"}, 0, 0, 0},
      {"hole after one that ends at 2^64",
       config([](auto &c) { c.holes = {{0xFFFFFFFFFFFFF000, 0x1000, 0}, {0x10000, 0x1000, 0}}; }),
       EFI_INVALID_PARAMETER, false, {"BuildHobInfo: Hole map entry 1 overlaps or is out of order\r\n"}, 0, 0, 0},
      {"twenty-one descriptors",
       config([&](auto &c) {
         c.holes = twentyOne;
         c.topOfMemory = 0x15000;
       }),
       EFI_BUFFER_TOO_SMALL, false, {"BuildHobInfo: Memory map needs more than 20 descriptors\r\n"}, 0, 0, 0},
      {"twenty-one descriptors without a closing range",
       config([&](auto &c) {
         c.holes = twentyOne;
         c.holes.push_back({0x15000, 0x1000, 0});
         c.topOfMemory = 0x16000;
       }),
       EFI_BUFFER_TOO_SMALL, false, {"BuildHobInfo: Memory map needs more than 20 descriptors\r\n"}, 0, 0, 0},
      {"configuration longer than a HOB holds",
       config([](auto &c) { c.counts = {255, 1, 17, 0}; }), EFI_NOT_FOUND, false, kConfigFailed, 1, 0, 0,
       {"DataLength <= (0xFFF8 - sizeof (EFI_HOB_GUID_TYPE))"}},
      {"configuration just within a HOB", config([](auto &c) { c.counts = {255, 1, 16, 0}; }), EFI_SUCCESS, false,
       kConfigDone, 1, 1, 1},
      {"array without a source",
       config([](auto &c) {
         c.counts = {1, 1, 1, 0};
         c.nullSource[7] = true;
       }),
       EFI_INVALID_PARAMETER, false,
       {"NumOfAllocInfoHob = 16\r\n", "BuildHobMemoryConfigInfoData: Array 7 has no source\r\n",
        "BuildHobInfo: BuildHobMemoryConfigInfoData FAILED!\r\n"},
       1, 0, 0},
      {"empty array without a source",
       config([](auto &c) {
         c.counts = {1, 1, 0, 0};
         c.nullSource[7] = true;
       }),
       EFI_SUCCESS, false, kConfigDone, 1, 1, 1},
  };

  for (const FailureCase &c : cases) {
    SCOPED_TRACE(c.name);
    host::Machine m;
    m.makeCurrent();
    debugRecord().clear();
    host::MemoryInitModule mem;
    mem.config() = memoryInit.config();
    mem.config().topOfMemory = 0x1000;
    if (c.setup) c.setup(m, mem);
    if (c.memoryPpi) mem.install(m);
    host::DebugPrintProducer print;
    print.install(m);

    EXPECT_EQ(DramatlasEntry(nullptr, m.pei.servicesPointer()), c.status);

    const std::vector<std::string> got = print.texts();
    if (c.silent) {
      EXPECT_TRUE(got.empty());
    } else {
      ASSERT_GE(got.size(), c.tail.size());
      EXPECT_EQ(std::vector<std::string>(got.end() - c.tail.size(), got.end()), c.tail);
    }
    EXPECT_EQ(m.pei.guidHobData(gZarnMemoryInfoHobGuid).size(), c.memInfoHobs);
    EXPECT_EQ(m.pei.guidHobData(gMemoryConfigInfoDataHobGuid).size(), c.configHobs);
    EXPECT_EQ(m.pei.hobs().size() - 2, c.memInfoHobs + c.configHobs);  // no other HOB
    size_t ready = 0;
    for (const host::PpiRecord &p : m.pei.ppis()) ready += host::sameGuid(p.guid, gMemoryHobsReadyPpiGuid);
    EXPECT_EQ(ready, c.readyPpis);
    EXPECT_EQ(debugRecord().expressions(), c.assertions);
  }
}

TEST_F(FailureTest, CompletionPpiIsOneWordBehindAStaticDescriptor) {
  memoryInit.install(machine);
  ASSERT_EQ(DramatlasEntry(nullptr, machine.pei.servicesPointer()), EFI_SUCCESS);
  const EFI_PEI_PPI_DESCRIPTOR *descriptor = nullptr;
  const void *ppi = machine.pei.locatePpi(gMemoryHobsReadyPpiGuid, 0, &descriptor);
  ASSERT_NE(ppi, nullptr);
  EXPECT_EQ(descriptor->Flags, 0x80000010u);
  EXPECT_EQ(*static_cast<const uint32_t *>(ppi), 0x00000400u);
  // The same descriptor again on a second run: nothing of it lives on the stack.
  host::Machine second;
  second.makeCurrent();
  memoryInit.install(second);
  ASSERT_EQ(DramatlasEntry(nullptr, second.pei.servicesPointer()), EFI_SUCCESS);
  const EFI_PEI_PPI_DESCRIPTOR *again = nullptr;
  second.pei.locatePpi(gMemoryHobsReadyPpiGuid, 0, &again);
  EXPECT_EQ(again, descriptor);
}

}  // namespace
}  // namespace zarn::test
