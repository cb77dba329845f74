// Dramatlas on a fuzzed hole map and top of memory, served by the platform's memory-initialization
// module. The result is compared with the memory map the hole map describes: a map whose holes are in
// ascending order, do not overlap, end inside the address space, have types 0 to 5 and need at most
// twenty descriptors is published exactly (gap, hole, gap, ..., closing range up to the top of memory);
// any other map is refused with an error and leaves no HOB and no completion PPI.
//
// Some inputs also make one PEI service fail with an error from its n-th call on (LocatePpi, CreateHob or
// InstallPpi): the run then ends in an error, without the completion PPI, and a memory map HOB that was
// built before the failure is still the described one.
//
// Input: flags (bits 0-2 below, bits 3-4 the failing service, bits 5-7 the calls before it fails), top
// of memory (8 bytes), the five summary values (12 bytes), then 24-byte hole-map entries (base, size,
// type, 4 bytes not read).
#include <vector>

#include "Guid/MemInfoHob.h"
#include "Guid/ZarnGuids.h"
#include "Mem/Dramatlas/Dramatlas.h"
#include "Platform/Host/Modules/MemoryInitModule.h"
#include "fuzz/support/FuzzSupport.h"

namespace {

using zarn::fuzz::Reader;
using zarn::host::HoleSpec;

enum : uint8_t {
  kGetHoleMapFails = 0x01,  // GetHoleMap answers EFI_DEVICE_ERROR
  kNullHoleMap = 0x02,      // GetHoleMap succeeds with a null map pointer
  kNoDebugPrint = 0x04,
};

constexpr size_t kMaxHoles = 64;

struct Descriptor {
  uint64_t base, size;
  uint32_t attribute;
  bool operator==(const Descriptor &) const = default;
};

uint32_t attributeOf(uint32_t type) { return type == 0 ? 2 : type == 1 ? 3 : 4; }

// The memory map the hole map describes, or false when it must be refused.
bool describedMap(const std::vector<HoleSpec> &holes, uint64_t top, std::vector<Descriptor> &map) {
  unsigned __int128 current = 0;  // the address space ends at 2^64
  for (const HoleSpec &hole : holes) {
    if (hole.type > 5 || hole.base < current || static_cast<unsigned __int128>(hole.base) + hole.size > (unsigned __int128)1 << 64) {
      return false;
    }
    if (hole.base > current) map.push_back({static_cast<uint64_t>(current), hole.base - static_cast<uint64_t>(current), 1});
    map.push_back({hole.base, hole.size, attributeOf(hole.type)});
    current = static_cast<unsigned __int128>(hole.base) + hole.size;
  }
  if (current < top) map.push_back({static_cast<uint64_t>(current), top - static_cast<uint64_t>(current), 1});
  return map.size() <= 20;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Reader in(data, size);
  const uint8_t flags = in.u8();
  zarn::host::MemoryInitConfig config;
  config.topOfMemory = in.u64();
  config.value32 = in.u32();
  config.value16 = in.u16();
  config.value8Valid = in.u8();
  config.value8 = in.u8();
  config.value32B = in.u32();
  config.holeMapStatus = (flags & kGetHoleMapFails) ? EFI_DEVICE_ERROR : EFI_SUCCESS;
  config.nullHoleMap = (flags & kNullHoleMap) != 0;
  while (in.left() >= 24 && config.holes.size() < kMaxHoles) {
    HoleSpec hole;
    hole.base = in.u64();
    hole.size = in.u64();
    hole.type = in.u32();
    in.u32();
    config.holes.push_back(hole);
  }

  zarn::fuzz::Boot boot(!(flags & kNoDebugPrint));
  zarn::host::Machine &machine = boot.machine;
  zarn::host::MemoryInitModule memoryInit(config);
  memoryInit.install(machine);

  constexpr zarn::host::Service kFailing[] = {zarn::host::Service::LocatePpi, zarn::host::Service::CreateHob,
                                              zarn::host::Service::InstallPpi};
  const unsigned failing = (flags >> 3) & 3;
  if (failing != 0) machine.pei.injectFault({kFailing[failing - 1], EFI_OUT_OF_RESOURCES, uint32_t(flags >> 5)});

  const EFI_STATUS status = DramatlasEntry(nullptr, machine.pei.servicesPointer());
  const auto mapHobs = machine.pei.guidHobData(gZarnMemoryInfoHobGuid);
  const bool ready = machine.pei.locatePpi(gMemoryHobsReadyPpiGuid) != nullptr;

  std::vector<Descriptor> expected;
  const bool valid = describedMap(config.holes, config.topOfMemory, expected);
  FUZZ_CHECK(ready == (status == EFI_SUCCESS));
  if (flags & kGetHoleMapFails) {
    FUZZ_CHECK(status == EFI_DEVICE_ERROR || (failing != 0 && status == EFI_OUT_OF_RESOURCES));
  } else if (flags & kNullHoleMap) {
    FUZZ_CHECK(status == EFI_NOT_FOUND || (failing != 0 && status == EFI_OUT_OF_RESOURCES));
  } else if (!valid) {
    FUZZ_CHECK(EFI_ERROR(status));
  } else if (failing == 0) {
    FUZZ_CHECK(status == EFI_SUCCESS);
  } else {
    // A failed LocatePpi or InstallPpi is passed on; a HOB that cannot be created is EFI_NOT_FOUND.
    FUZZ_CHECK(status == EFI_SUCCESS || status == EFI_OUT_OF_RESOURCES || status == EFI_NOT_FOUND);
  }
  if (!valid || (flags & (kGetHoleMapFails | kNullHoleMap))) {
    FUZZ_CHECK(mapHobs.empty());
    return 0;
  }
  if (mapHobs.empty()) {
    FUZZ_CHECK(status != EFI_SUCCESS);
    return 0;
  }

  FUZZ_CHECK(mapHobs.size() == 1);
  const std::span<const uint8_t> record = mapHobs[0];
  FUZZ_CHECK(record.size() == 22 + 24 * expected.size());
  MemInfoHob header;
  std::memcpy(&header, record.data(), 22);
  FUZZ_CHECK(header.Version == 0x110 && header.Value16Valid == 1 && header.Value32Valid == 1);
  FUZZ_CHECK(header.Value16 == config.value16 && header.Value8Valid == config.value8Valid &&
             header.Value8 == config.value8 && header.Value32 == config.value32 && header.Value32B == config.value32B);
  FUZZ_CHECK(header.NumberOfDescriptor == expected.size());
  for (size_t i = 0; i < expected.size(); i++) {
    MemRangeDescriptor d;
    std::memcpy(&d, record.data() + 22 + 24 * i, sizeof d);
    FUZZ_CHECK((Descriptor{d.Base, d.Size, d.Attribute} == expected[i]));
    FUZZ_CHECK(d.Reserved == 0);
  }
  return 0;
}
