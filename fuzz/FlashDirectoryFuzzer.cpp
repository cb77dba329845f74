// Flash directory lookup on a fuzzed flash image. The input's bytes are written into the erased flash
// window at one of the six probe addresses; for every processor line the BIOS directory lookup runs for
// the three entry types the modules use and for a fuzzed type and instance, the non-volatile copy of the
// output block is walked where the directory says it is, and output block discovery runs, finding a
// valid block in DRAM at 0x00100000 when the directory points there.
//
// Input: control (bits 0-2 probe, bits 3-5 line of the walk, bits 6-7 CPUID stepping noise), lookup type,
// lookup instance, walk group (4 bytes), walk type (4 bytes), walk capacity, then the flash bytes.
#include <array>
#include <vector>

#include "Guid/ZarnGuids.h"
#include "Kov/FlashDirectory.h"
#include "Library/ZarnKovBaseLibV2.h"
#include "Library/ZarnKovProcessorLines.h"
#include "Library/ZarnKovQuilLib.h"
#include "Platform/Host/PhysicalMemory.h"
#include "fuzz/support/FuzzSupport.h"
#include "tools/builders/QuilBlock.h"

namespace {

using zarn::fuzz::Reader;
using zarn::host::Machine;
using zarn::host::PhysicalMemory;

constexpr std::array<uint32_t, 6> kProbes = {0xFFFA0000u, 0xFFF20000u, 0xFFE20000u,
                                             0xFFC20000u, 0xFF820000u, 0xFF020000u};
// The five lines the lookup knows and one it does not.
constexpr std::array<uint32_t, 6> kLines = {ProcessorLineA, ProcessorLineB, ProcessorLineC,
                                            ProcessorLineD, ProcessorLineE, 0x00600F00u};
// Faulting in the flash window's pages is the costly part of a machine: one machine serves this many
// inputs, with the flash written back to erased, the HOB list started afresh and the records cleared
// after each.
constexpr unsigned kInputsPerMachine = 1024;

constexpr uint64_t kBlockAddress = 0x00100000;

struct Platform {
  Platform() : machine(zarn::fuzz::kHobCapacity) {
    machine.makeCurrent();
    producer.install(machine);
    zarn::builders::QuilBlockDesc block;
    block.entries.push_back({1, 16, 0, 0x1B8, {}, {}});
    machine.memory.addDram(kBlockAddress, 0x10000);
    machine.memory.write(kBlockAddress, zarn::builders::buildQuilBlock(block));
  }
  Machine machine;
  zarn::host::DebugPrintProducer producer;
};

// Never destroyed at exit: the debug-print producer's registry may be gone by then.
Platform &platform() {
  static Platform *current = nullptr;
  static unsigned served = 0;
  if (current == nullptr || ++served == kInputsPerMachine) {
    delete current;
    current = new Platform();
    served = 0;
  }
  current->machine.makeCurrent();
  return *current;
}

constexpr uint32_t kUntouched32 = 0xA5A5A5A5u;
constexpr uint64_t kUntouched64 = 0xA5A5A5A5A5A5A5A5ull;

void lookup(uint8_t type, uint8_t instance, bool supportedLine) {
  uint32_t attributes = kUntouched32, size = kUntouched32;
  uint64_t location = kUntouched64, destination = kUntouched64;
  const BOOLEAN found = ZarnKovGetBiosDirEntry(type, instance, &attributes, &location, &size, &destination);
  if (!found) {
    FUZZ_CHECK(attributes == kUntouched32 && size == kUntouched32 && location == kUntouched64 &&
               destination == kUntouched64);
    return;
  }
  FUZZ_CHECK(supportedLine);
  FUZZ_CHECK((attributes & 0xFFu) == type);
  FUZZ_CHECK(instance == 0xFF || ((attributes >> 20) & 0x0Fu) == instance);
  FUZZ_CHECK((location & 0xFF000000u) == 0xFF000000u);
}

void walkNonVolatileCopy(Machine &machine, uint32_t group, uint32_t type, uint32_t capacity) {
  std::vector<QuilEntryHeader *> entries(capacity + 1, reinterpret_cast<QuilEntryHeader *>(1));
  UINT32 count = kUntouched32;
  const EFI_STATUS status = ZarnKovGetQuilEntry(group, type, TRUE, &count, entries.data(), capacity);
  FUZZ_CHECK(count != kUntouched32);
  FUZZ_CHECK(entries[capacity] == reinterpret_cast<QuilEntryHeader *>(1));  // nothing stored past the capacity
  if (status != EFI_SUCCESS && status != EFI_BUFFER_TOO_SMALL) return;
  const void *window = machine.memory.pointer(PhysicalMemory::kFlashWindowBase, PhysicalMemory::kFlashWindowSize);
  for (uint32_t i = 0; i < count && i < capacity; i++) {
    const QuilEntryHeader *entry = entries[i];
    FUZZ_CHECK(zarn::fuzz::inside(entry, sizeof(QuilEntryHeader), window, PhysicalMemory::kFlashWindowSize));
    QuilEntryHeader header;
    std::memcpy(&header, entry, sizeof header);
    FUZZ_CHECK(header.Group == group && header.Type == type && header.EntrySize >= sizeof header);
    FUZZ_CHECK(zarn::fuzz::inside(entry, header.EntrySize, window, PhysicalMemory::kFlashWindowSize));
  }
}

// Discovery publishes the block the type 0x61 entry names, and only a block that carries the signature.
void discover(Machine &machine) {
  machine.pei.resetHobList(zarn::fuzz::kHobCapacity);
  FUZZ_CHECK(ZarnKovQuilLibConstructor() == EFI_SUCCESS);
  const auto infos = machine.pei.guidHobData(gZarnQuilInfoHobGuid);
  uint32_t attributes, size;
  uint64_t location, destination = 0;
  if (!ZarnKovGetBiosDirEntry(QuilBiosDirType, 0xFF, &attributes, &location, &size, &destination)) {
    FUZZ_CHECK(infos.empty());
    return;
  }
  if (infos.empty()) return;
  QuilInfo info;
  std::memcpy(&info, infos[0].data(), sizeof info);
  FUZZ_CHECK(infos.size() == 1 && info.Supported == 1 && info.QuilAddr == destination);
  const auto *header = static_cast<const uint8_t *>(machine.memory.pointer(static_cast<uint32_t>(destination), 16));
  FUZZ_CHECK(header != nullptr && std::memcmp(header, "QUIL", 4) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Reader in(data, size);
  const uint8_t control = in.u8();
  const uint8_t type = in.u8();
  const uint8_t instance = in.u8();
  const uint32_t walkGroup = in.u32();
  const uint32_t walkType = in.u32();
  const uint32_t walkCapacity = in.u8() % 9;
  const std::span<const uint8_t> flash = in.rest();

  Platform &p = platform();
  Machine &machine = p.machine;
  // What the previous input left in the records (assertion reports on the UARTs, messages) goes.
  p.producer.clear();
  machine.io.clearTrace();
  const uint32_t probe = kProbes[(control & 7u) % kProbes.size()];
  const size_t length = flash.size() < PhysicalMemory::kFourGiB - probe ? flash.size() : 0;
  if (length != 0) machine.memory.writeFlash(probe, flash.first(length));

  const uint32_t noise = (control >> 6) * 0x11u;  // stepping and base model: ignored by the signature test
  for (size_t line = 0; line < kLines.size(); line++) {
    machine.cpu.setCpuid(0x80000001u, {kLines[line] | noise, 0, 0, 0});
    const bool supported = line < 5;
    lookup(type, instance, supported);
    lookup(QuilBiosDirType, 0xFF, supported);
    lookup(QuilNvBiosDirType, 0xFF, supported);
    lookup(BiosDirLevel2Type, 0xFF, supported);
  }
  machine.cpu.setCpuid(0x80000001u, {kLines[((control >> 3) & 7u) % 5], 0, 0, 0});
  walkNonVolatileCopy(machine, walkGroup, walkType, walkCapacity);
  discover(machine);

  if (length != 0) machine.memory.writeFlash(probe, std::vector<uint8_t>(length, 0xFF));
  return 0;
}
