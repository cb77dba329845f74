// Output block discovery, lookups and the twenty accessor slots on a fuzzed block. The block's bytes fill
// a DRAM region of exactly their size, so a read past them is caught. The info HOB is either found by
// the discovery constructor through a flash image whose BIOS directory points at the block, or published
// here as discovery would (or damaged, misaligned, or left out); the lookups run with a fuzzed group,
// type, instance and capacity, and every slot of the installed accessor PPI is called with fuzzed
// arguments.
//
// Input: flags, group, type, instance (4 bytes each), capacity, seven slot arguments (4 bytes each),
// then the block.
#include <map>
#include <vector>

#include "Guid/ZarnGuids.h"
#include "Kov/QuilDrv/Quilkeep/Quilkeep.h"
#include "Library/ZarnKovProcessorLines.h"
#include "Library/ZarnKovQuilLib.h"
#include "Ppi/QuilAccessor.h"
#include "fuzz/support/FuzzSupport.h"
#include "tools/builders/FlashImage.h"

namespace {

using zarn::fuzz::inside;
using zarn::fuzz::Reader;
namespace builders = zarn::builders;

enum : uint8_t {
  kNotSupported = 0x01,   // Supported = 0 in the info record
  kShortInfo = 0x02,      // the info HOB holds fewer than the record's 16 bytes
  kNoInfo = 0x04,         // no info HOB at all
  kHighBlock = 0x08,      // the block ends just below the flash window, near 4 GiB
  kDebugPrint = 0x10,     // install the debug-print PPI: the lookups' messages are formatted and kept
  kOddHob = 0x20,         // a HOB of odd length before the info HOB, which then sits at an odd address
  kDiscover = 0x40,       // the discovery constructor finds the block and publishes the info HOB
};

constexpr uint64_t kLowBlockAddress = 0x00100000;
constexpr uint64_t kFlashWindowBase = 0xFF000000;
constexpr uint32_t kUntouched32 = 0xA5A5A5A5u;

struct Block {
  uint64_t address;
  const uint8_t *bytes;  // host view of the DRAM region, null when the block is empty
  size_t size;
  bool holds(const void *p, uint64_t length) const { return bytes && inside(p, length, bytes, size); }
};

void publishInfo(zarn::host::Machine &machine, uint8_t flags, const Block &block) {
  if (flags & kNoInfo) return;
  if (flags & kOddHob) machine.pei.createHob(0x0003, 13);
  const uint16_t dataLength = (flags & kShortInfo) ? (flags >> 5) : 16;  // 0..7 bytes when short
  auto *hob = static_cast<uint8_t *>(machine.pei.createHob(EFI_HOB_TYPE_GUID_EXTENSION, uint16_t(24 + dataLength)));
  std::memcpy(hob + 8, &gZarnQuilInfoHobGuid, sizeof(EFI_GUID));
  QuilInfo info = {};
  info.Supported = (flags & kNotSupported) ? 0 : 1;
  info.QuilSize = static_cast<uint32_t>(block.size);
  info.QuilAddr = block.address;
  std::memcpy(hob + 24, &info, dataLength < sizeof info ? dataLength : sizeof info);
}

// The non-erased runs of the standard flash image whose level-1 BIOS directory has the block's type 0x61
// entry: writing only these keeps the flash window cheap to set up for every input.
const std::vector<builders::Blob> &flashPointingTo(uint64_t destination) {
  static std::map<uint64_t, std::vector<builders::Blob>> images;
  auto [at, added] = images.try_emplace(destination);
  if (added) {
    builders::BiosEntryDesc entry;
    entry.type = 0x61;
    entry.destination = destination;
    const builders::Bytes image = builders::buildFlashImage(builders::standardFlash({entry}));
    for (size_t i = 0; i < image.size();) {
      if (image[i] == 0xFF) {
        i++;
        continue;
      }
      size_t end = i;
      while (end < image.size() && image[end] != 0xFF) end++;
      at->second.push_back({static_cast<uint32_t>(i), builders::Bytes(image.begin() + i, image.begin() + end)});
      i = end;
    }
  }
  return at->second;
}

// Discovery through the flash, checked against what the block's header asks for.
void discover(zarn::host::Machine &machine, const Block &block) {
  for (const builders::Blob &run : flashPointingTo(block.address)) {
    machine.memory.writeFlash(builders::flashBase(1024 * 1024) + run.offset, run.bytes);
  }
  machine.cpu.setCpuid(0x80000001u, {ProcessorLineA, 0, 0, 0});
  FUZZ_CHECK(ZarnKovQuilLibConstructor() == EFI_SUCCESS);

  QuilHeader header = {};
  if (block.size >= sizeof header) std::memcpy(&header, block.bytes, sizeof header);
  const bool accepted = block.size >= sizeof header && header.Signature == QUIL_SIGNATURE && header.Size != 0 &&
                        header.Size != 0xFFFFFFFFu;
  const auto infos = machine.pei.guidHobData(gZarnQuilInfoHobGuid);
  if (!accepted) {
    FUZZ_CHECK(infos.empty());
    return;
  }
  FUZZ_CHECK(infos.size() == 1 && infos[0].size() == sizeof(QuilInfo));
  QuilInfo info;
  std::memcpy(&info, infos[0].data(), sizeof info);
  FUZZ_CHECK(info.Supported == 1 && info.QuilSize == header.Size && info.QuilAddr == block.address);
  size_t reservations = 0;
  for (const zarn::host::HobRecord &hob : machine.pei.hobs()) {
    if (hob.type != EFI_HOB_TYPE_MEMORY_ALLOCATION) continue;
    EFI_HOB_MEMORY_ALLOCATION allocation;
    std::memcpy(&allocation, hob.bytes.data(), sizeof allocation);
    FUZZ_CHECK(allocation.AllocDescriptor.MemoryBaseAddress == block.address &&
               allocation.AllocDescriptor.MemoryLength == 0x1000000 &&
               allocation.AllocDescriptor.MemoryType == EfiACPIMemoryNVS);
    reservations++;
  }
  FUZZ_CHECK(reservations == 1);
}

// The entry the accessors of one group, type and instance read, or null.
const uint8_t *entryOf(uint32_t group, uint32_t type, uint32_t instance) {
  QuilEntryHeader *entry = nullptr;
  return ZarnKovGetQuilEntryInstance(group, type, instance, FALSE, &entry) == EFI_SUCCESS
             ? reinterpret_cast<const uint8_t *>(entry)
             : nullptr;
}

uint32_t entrySize(const uint8_t *entry) {
  uint32_t size;
  std::memcpy(&size, entry + offsetof(QuilEntryHeader, EntrySize), sizeof size);
  return size;
}

// A pointer a slot handed out: inside the entry it came from, `length` bytes of it included.
void checkHandedOut(const void *pointer, uint64_t length, uint32_t group, uint32_t type, uint32_t instance) {
  const uint8_t *entry = entryOf(group, type, instance);
  FUZZ_CHECK(entry != nullptr);
  FUZZ_CHECK(inside(pointer, length, entry, entrySize(entry)));
}

void checkLookups(const Block &block, uint32_t group, uint32_t type, uint32_t instance, uint32_t capacity) {
  std::vector<QuilEntryHeader *> entries(capacity + 1, reinterpret_cast<QuilEntryHeader *>(1));
  UINT32 count = kUntouched32;
  const EFI_STATUS status = ZarnKovGetQuilEntry(group, type, FALSE, &count, entries.data(), capacity);
  FUZZ_CHECK(count != kUntouched32);
  FUZZ_CHECK(entries[capacity] == reinterpret_cast<QuilEntryHeader *>(1));
  FUZZ_CHECK((status == EFI_SUCCESS) == (count > 0 && count <= capacity));
  for (uint32_t i = 0; i < count && i < capacity; i++) {
    FUZZ_CHECK(block.holds(entries[i], sizeof(QuilEntryHeader)));
    QuilEntryHeader header;
    std::memcpy(&header, entries[i], sizeof header);
    FUZZ_CHECK(header.Group == group && header.Type == type && header.EntrySize >= sizeof header);
    FUZZ_CHECK(block.holds(entries[i], header.EntrySize));
  }

  QuilEntryHeader *entry = reinterpret_cast<QuilEntryHeader *>(1);
  const EFI_STATUS one = ZarnKovGetQuilEntryInstance(group, type, instance, FALSE, &entry);
  if (one != EFI_SUCCESS) {
    FUZZ_CHECK(entry == nullptr);
    return;
  }
  QuilEntryHeader header;
  std::memcpy(&header, entry, sizeof header);
  FUZZ_CHECK(header.Group == group && header.Type == type && header.Instance == instance);
  FUZZ_CHECK(block.holds(entry, header.EntrySize));
}

void callSlots(const ZARN_QUIL_ACCESSOR_PPI &ppi, const uint32_t (&a)[7]) {
  // Slots 0 to 2: 0 and EFI_NOT_FOUND on every failure.
  for (QUIL_GET_BYTE slot : {ppi.GetDornInstanceTrov, ppi.GetDornRecoveryFlagTrov, ppi.GetDimmCfgUpdatedFlagTrov}) {
    UINT8 value = 0xA5;
    const EFI_STATUS status = slot(&value);
    FUZZ_CHECK(status == EFI_SUCCESS || (status == EFI_NOT_FOUND && value == 0));
  }

  // Byte and word slots: the out-parameter is written only on success.
  auto byteSlot = [](EFI_STATUS status, UINT8 value) { FUZZ_CHECK(status == EFI_SUCCESS || value == 0xA5); };
  UINT8 b = 0xA5;
  byteSlot(ppi.GetG3T3Level1ByteTrov(a[0], a[1], &b), b), b = 0xA5;
  byteSlot(ppi.GetG3T3Level2ByteTrov(a[0], a[1], a[2], &b), b), b = 0xA5;
  byteSlot(ppi.GetG3T3Level3ByteTrov(a[0], a[1], a[2], a[3], &b), b), b = 0xA5;
  byteSlot(ppi.GetG3T3Level3DataByteTrov(a[0], a[1], a[2], a[3], a[4], &b), b), b = 0xA5;
  byteSlot(ppi.GetG1T2ArrayByteTrov(a[0], a[5], &b), b), b = 0xA5;
  byteSlot(ppi.GetG1T15ByteTrov(a[0], &b), b), b = 0xA5;
  byteSlot(ppi.GetG1T17FirstByteTrov(a[0], &b), b), b = 0xA5;
  byteSlot(ppi.GetG1T17SecondByteTrov(a[0], &b), b), b = 0xA5;
  FUZZ_CHECK(ppi.GetFixedByteTrov(a[1], &b) == EFI_SUCCESS && b == 8);

  auto wordSlot = [](EFI_STATUS status, UINT16 value) { FUZZ_CHECK(status == EFI_SUCCESS || value == 0xA5A5); };
  UINT16 w = 0xA5A5;
  wordSlot(ppi.GetG1T2FirstWordTrov(a[0], &w), w), w = 0xA5A5;
  wordSlot(ppi.GetG1T2SecondWordTrov(a[0], &w), w), w = 0xA5A5;
  wordSlot(ppi.GetG7T3WordTrov(a[1], &w), w), w = 0xA5A5;

  UINT32 d = kUntouched32;
  FUZZ_CHECK(ppi.GetG3T2DwordTrov(a[1], &d) == EFI_SUCCESS || d == kUntouched32);

  UINT16 width = 0xA5A5;
  UINT64 value = 0xA5A5A5A5A5A5A5A5ull;
  if (ppi.GetG1T2SelectedValueTrov(a[0], a[6], &width, &value) == EFI_SUCCESS) {
    FUZZ_CHECK(a[6] <= 13 && (width == 1 || width == 4));
  } else {
    FUZZ_CHECK(width == 0xA5A5 && value == 0xA5A5A5A5A5A5A5A5ull);
  }

  // Pointer slots: what they hand out lies inside the entry they read.
  VOID *pointer = nullptr;
  UINT32 size = 0;
  if (ppi.GetG1T15BufferTrov(a[0], &pointer, &size) == EFI_SUCCESS) {
    checkHandedOut(pointer, 256, 1, 15, a[0]);
  } else {
    FUZZ_CHECK(pointer == nullptr);
  }
  FUZZ_CHECK(size == 256);
  pointer = nullptr;
  if (ppi.GetG1T17RecordTrov(a[0], a[5], &pointer) == EFI_SUCCESS) {
    FUZZ_CHECK(a[5] <= 16);
    checkHandedOut(pointer, 532, 1, 17, a[0]);
  } else {
    FUZZ_CHECK(pointer == nullptr);
  }
  pointer = nullptr;
  if (ppi.GetG3T2RecordTrov(a[1], a[5], &pointer) == EFI_SUCCESS) {
    FUZZ_CHECK(a[5] <= 3);
    checkHandedOut(pointer, 12, 3, 2, 0);
  } else {
    FUZZ_CHECK(pointer == nullptr);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Reader in(data, size);
  const uint8_t flags = in.u8();
  const uint32_t group = in.u32();
  const uint32_t type = in.u32();
  const uint32_t instance = in.u32();
  const uint8_t capacityByte = in.u8();
  const uint32_t capacity = capacityByte == 0xFF ? QUIL_INSTANCE_LOOKUP_CAPACITY : capacityByte % 9;
  uint32_t args[7];
  for (uint32_t &arg : args) arg = in.u32();
  const std::span<const uint8_t> bytes = in.rest();

  zarn::fuzz::Boot boot((flags & kDebugPrint) != 0);
  zarn::host::Machine &machine = boot.machine;
  Block block{(flags & kHighBlock) ? kFlashWindowBase - (bytes.empty() ? 1 : bytes.size()) : kLowBlockAddress,
              nullptr, bytes.size()};
  if (!bytes.empty()) {
    machine.memory.addDram(block.address, bytes.size());
    machine.memory.write(block.address, bytes);
    block.bytes = static_cast<const uint8_t *>(machine.memory.pointer(block.address, bytes.size()));
  }
  if (flags & kDiscover) {
    discover(machine, block);
  } else {
    publishInfo(machine, flags, block);
  }

  checkLookups(block, group, type, instance, capacity);

  QuilkeepDriverEntry(nullptr, machine.pei.servicesPointer());
  const auto *ppi = static_cast<const ZARN_QUIL_ACCESSOR_PPI *>(machine.pei.locatePpi(gZarnQuilAccessorPpiGuid));
  FUZZ_CHECK(ppi != nullptr);
  callSlots(*ppi, args);
  return 0;
}
