// Both deliverable images on one machine, dispatched in order: each runs its whole constructor list, then
// its module entry, whose status is what the foundation gets back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Guid/ZarnGuids.h"
#include "Platform/Host/Devices/StandardPlatform.h"
#include "Platform/Host/Machine.h"
#include "Platform/Host/Modules/MemoryInitModule.h"

namespace {

using zarn::host::Fault;
using zarn::host::Machine;
using zarn::host::Service;

std::vector<std::string> ConstructorNames(const Machine &machine, const std::string &module) {
  std::vector<std::string> out;
  for (const auto &c : machine.constructors()) {
    if (c.module == module) out.push_back(c.constructor);
  }
  return out;
}

TEST(ImageDispatch, BothImagesRunInOrderAndEachEntryStatusReachesTheFoundation) {
  struct Scenario {
    const char *name;
    bool memoryInit;  // the memory-information PPI Dramatlas needs is installed
    std::vector<Fault> faults;
    EFI_STATUS dramatlas;
    EFI_STATUS quilkeep;
    std::vector<std::string> ppiInstallers;  // of the two modules' PPIs, in installation order
  };
  const Scenario scenarios[] = {
      {"no memory-information PPI", false, {}, EFI_NOT_FOUND, EFI_SUCCESS, {"Quilkeep"}},
      {"LocatePpi fails", true, {{Service::LocatePpi, EFI_DEVICE_ERROR}}, EFI_DEVICE_ERROR, EFI_SUCCESS, {"Quilkeep"}},
      {"both run through", true, {}, EFI_SUCCESS, EFI_SUCCESS, {"Dramatlas", "Quilkeep"}},
      // Dramatlas passes the failed service's status back; Quilkeep reports it and still answers success.
      {"InstallPpi fails", true, {{Service::InstallPpi, EFI_OUT_OF_RESOURCES}}, EFI_OUT_OF_RESOURCES, EFI_SUCCESS, {}},
  };
  for (const Scenario &s : scenarios) {
    SCOPED_TRACE(s.name);
    Machine machine;
    zarn::host::StandardPlatform board(machine.io, machine.mmio);
    zarn::host::MemoryInitModule memoryInit;
    memoryInit.config().holes = {{0xA0000, 0x60000, 1}, {0xC0000000, 0x40000000, 0}};
    memoryInit.config().topOfMemory = 0x240000000;
    memoryInit.config().counts = {1, 1, 1, 0};
    if (s.memoryInit) memoryInit.install(machine);
    for (const Fault &f : s.faults) machine.pei.injectFault(f);
    zarn::host::Image &dramatlas = machine.load(ZARN_IMAGE_DIR "/Dramatlas.so");
    zarn::host::Image &quilkeep = machine.load(ZARN_IMAGE_DIR "/Quilkeep.so");

    // Dramatlas first: its constructors before its entry, nothing of Quilkeep yet.
    EXPECT_EQ(dramatlas.dispatch(machine), s.dramatlas);
    EXPECT_EQ(ConstructorNames(machine, "Dramatlas"),
              (std::vector<std::string>{"SerialInitialize", "AcpiTimerLibConstructor"}));
    EXPECT_EQ(machine.constructors().size(), 2u);

    EXPECT_EQ(quilkeep.dispatch(machine), s.quilkeep);
    EXPECT_EQ(ConstructorNames(machine, "Quilkeep"),
              (std::vector<std::string>{"SerialInitialize", "AcpiTimerLibConstructor", "ZarnKovQuilLibConstructor"}));

    ASSERT_EQ(machine.dispatches().size(), 2u);
    EXPECT_EQ(machine.dispatches()[0].module, "Dramatlas");
    EXPECT_EQ(machine.dispatches()[0].status, s.dramatlas);
    EXPECT_EQ(machine.dispatches()[1].module, "Quilkeep");
    EXPECT_EQ(machine.dispatches()[1].status, s.quilkeep);

    std::vector<std::string> installers;
    for (const auto &p : machine.pei.ppis()) {
      if (zarn::host::sameGuid(p.guid, gMemoryHobsReadyPpiGuid) ||
          zarn::host::sameGuid(p.guid, gZarnQuilAccessorPpiGuid))
        installers.push_back(p.installer);
    }
    EXPECT_EQ(installers, s.ppiInstallers);
  }
}

}  // namespace
