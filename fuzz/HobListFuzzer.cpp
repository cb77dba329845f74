// The HOB walks on a fuzzed HOB list. The list's bytes are walked twice: directly, from a fuzzed start,
// in a buffer where they are followed by the end marker and then free memory; and from the hand-off HOB
// of the foundation's own list, through FirstGuidHob and the output block info lookup, with
// GetHobList failing on some inputs. Every result is compared with the chain the list describes: the
// first HOB of the type (or GUID) reached by following HobLength from the start, which ends at the end
// marker or at a HOB shorter than its header.
//
// The foundation ends every list: what follows the list here is free memory (zeros), as after a real
// list. The fuzzed bytes carry every other fault: zero or short lengths, odd alignment, truncated GUID
// HOBs, end markers anywhere.
//
// Input: flags, type (2 bytes), start offset (2 bytes), GUID (16 bytes), then the list bytes.
#include <vector>

#include "Guid/ZarnGuids.h"
#include "Library/HobLib.h"
#include "Library/ZarnKovQuilLib.h"
#include "Platform/Host/PeiFoundation.h"
#include "fuzz/support/FuzzSupport.h"

namespace {

using zarn::fuzz::Reader;

enum : uint8_t {
  kGetHobListFails = 0x01,
  kQuilGuid = 0x02,  // look for the output block info HOB's GUID instead of the fuzzed one
};

// Free memory after the end marker: room for the longest jump a HOB length can make, and a GUID HOB
// header beyond it.
constexpr size_t kFreeTail = 0x10000 + sizeof(EFI_HOB_GUID_TYPE);
constexpr size_t kMaxList = 0x4000;

// The length of the one foundation HOB that carries the list (at least a header's worth).
size_t hobLength(std::span<const uint8_t> list) {
  return list.size() < sizeof(EFI_HOB_GENERIC_HEADER) ? sizeof(EFI_HOB_GENERIC_HEADER) : list.size();
}

uint16_t read16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The first HOB on the chain from `start` that `wanted` accepts, or null: the walk as the HOB list
// defines it, with a HOB shorter than its header ending the chain.
template <typename Wanted>
const uint8_t *chainFind(const uint8_t *start, Wanted wanted) {
  for (const uint8_t *hob = start; read16(hob) != EFI_HOB_TYPE_END_OF_HOB_LIST; hob += read16(hob + 2)) {
    if (read16(hob + 2) < sizeof(EFI_HOB_GENERIC_HEADER)) return nullptr;
    if (wanted(hob)) return hob;
  }
  return nullptr;
}

auto ofType(uint16_t type) {
  return [type](const uint8_t *hob) { return read16(hob) == type; };
}
auto guidHobNamed(const EFI_GUID &guid) {
  return [&guid](const uint8_t *hob) {
    return read16(hob) == EFI_HOB_TYPE_GUID_EXTENSION && read16(hob + 2) >= sizeof(EFI_HOB_GUID_TYPE) &&
           std::memcmp(hob + 8, &guid, sizeof guid) == 0;
  };
}

void walkDirectly(std::span<const uint8_t> list, uint16_t startOffset, uint16_t type, const EFI_GUID &guid) {
  std::vector<uint8_t> memory(list.size() + sizeof(EFI_HOB_GENERIC_HEADER) + kFreeTail, 0);
  std::memcpy(memory.data(), list.data(), list.size());
  const EFI_HOB_GENERIC_HEADER end = {EFI_HOB_TYPE_END_OF_HOB_LIST, sizeof(EFI_HOB_GENERIC_HEADER), 0};
  std::memcpy(memory.data() + list.size(), &end, sizeof end);
  const uint8_t *start = memory.data() + (list.empty() ? 0 : startOffset % list.size());

  FUZZ_CHECK(NextHobOfType(type, start) == chainFind(start, ofType(type)));
  FUZZ_CHECK(NextHobOfType(EFI_HOB_TYPE_GUID_EXTENSION, start) == chainFind(start, ofType(EFI_HOB_TYPE_GUID_EXTENSION)));
  FUZZ_CHECK(NextGuidHob(&guid, start) == chainFind(start, guidHobNamed(guid)));
}

// The foundation's list: the hand-off HOB, the fuzzed bytes, the end marker, free memory.
void walkFoundationList(zarn::host::PeiFoundation &pei, std::span<const uint8_t> list, uint8_t flags,
                        const EFI_GUID &guid) {
  // One HOB of the list's length after the hand-off HOB, overwritten with the fuzzed bytes: the
  // foundation has put the end marker after it.
  auto *hobs = static_cast<uint8_t *>(pei.createHob(EFI_HOB_TYPE_GUID_EXTENSION, static_cast<uint16_t>(hobLength(list))));
  FUZZ_CHECK(hobs != nullptr);
  std::memcpy(hobs, list.data(), list.size());
  if (flags & kGetHobListFails) pei.injectFault({zarn::host::Service::GetHobList, EFI_NOT_FOUND});

  const uint8_t *first = static_cast<const uint8_t *>(pei.hobList());
  const EFI_GUID &wanted = (flags & kQuilGuid) ? gZarnQuilInfoHobGuid : guid;
  const uint8_t *expected = (flags & kGetHobListFails) ? nullptr : chainFind(first, guidHobNamed(wanted));
  FUZZ_CHECK(FirstGuidHob(&wanted) == expected);

  QuilInfo *info = reinterpret_cast<QuilInfo *>(1);
  const EFI_STATUS status = ZarnKovGetQuilInfo(&info);
  const uint8_t *infoHob = (flags & kGetHobListFails) ? nullptr : chainFind(first, guidHobNamed(gZarnQuilInfoHobGuid));
  if (infoHob != nullptr && read16(infoHob + 2) >= sizeof(EFI_HOB_GUID_TYPE) + sizeof(QuilInfo)) {
    FUZZ_CHECK(status == EFI_SUCCESS && reinterpret_cast<const uint8_t *>(info) == infoHob + sizeof(EFI_HOB_GUID_TYPE));
  } else {
    FUZZ_CHECK(status == EFI_UNSUPPORTED);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Reader in(data, size);
  const uint8_t flags = in.u8();
  const uint16_t type = in.u16();
  const uint16_t startOffset = in.u16();
  EFI_GUID guid;
  const auto guidBytes = in.bytes(sizeof guid);
  std::memset(&guid, 0, sizeof guid);
  std::memcpy(&guid, guidBytes.data(), guidBytes.size());
  const std::span<const uint8_t> list = in.bytes(kMaxList);

  const size_t capacity =
      sizeof(EFI_HOB_HANDOFF_INFO_TABLE) + hobLength(list) + sizeof(EFI_HOB_GENERIC_HEADER) + kFreeTail;
  zarn::fuzz::Boot boot(false, capacity);
  walkDirectly(list, startOffset, type, guid);
  walkFoundationList(boot.machine.pei, list, flags, guid);
  return 0;
}
