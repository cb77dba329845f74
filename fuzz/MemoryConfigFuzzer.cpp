// Dramatlas on a fuzzed memory configuration: four counts, the 23 settings and sixteen source arrays,
// each array in a heap block of exactly the size its counts give it, so a read past one is caught. The
// memory-information PPI is built here, from the record layout alone, so that a configuration whose
// arrays would not fit a HOB needs no memory beyond a byte per array. The record is compared with the
// one the configuration describes: header, settings, offsets and every array element.
//
// Input: flags, the four counts, null-source mask (2 bytes), the 76 setting bytes, then bytes that fill
// the arrays in turn (repeated when they run out).
#include <array>
#include <memory>
#include <vector>

#include "Guid/MemoryConfigInfoData.h"
#include "Guid/ZarnGuids.h"
#include "Mem/Dramatlas/Dramatlas.h"
#include "fuzz/support/FuzzSupport.h"

namespace {

using zarn::fuzz::Reader;

enum : uint8_t {
  kNullSources = 0x01,  // apply the null-source mask
  kNoDebugPrint = 0x02,
};

constexpr uint64_t kHobDataLimit = 0xFFE0;
constexpr uint64_t kTopOfMemory = 0x80000000ull;

// Array n: bytes per element, and whether it has one element per item (i, j, k) or per unit (i, j).
struct ArrayShape {
  uint32_t elementSize;
  bool perItem;
  enum Kind { Word, Flagged, Pair, Byte } kind;
};
constexpr std::array<ArrayShape, 16> kShapes = {{
    {2, false, ArrayShape::Word}, {4, true, ArrayShape::Flagged}, {4, false, ArrayShape::Flagged},
    {4, false, ArrayShape::Flagged}, {4, false, ArrayShape::Pair}, {1, true, ArrayShape::Byte},
    {1, true, ArrayShape::Byte}, {1, true, ArrayShape::Byte}, {1, true, ArrayShape::Byte},
    {1, true, ArrayShape::Byte}, {1, true, ArrayShape::Byte}, {1, true, ArrayShape::Byte},
    {1, true, ArrayShape::Byte}, {1, true, ArrayShape::Byte}, {1, true, ArrayShape::Byte},
    {1, true, ArrayShape::Byte},
}};

EFI_STATUS EFIAPI OneHoleMap(const EFI_PEI_SERVICES **, UINT32 *NumOfHoles, UINT64 *TopOfMemory, HoleMapEntry **HoleMapPtr) {
  static HoleMapEntry hole = {0xA0000, 0x60000, 0, 0};
  *NumOfHoles = 1;
  *TopOfMemory = kTopOfMemory;
  *HoleMapPtr = &hole;
  return EFI_SUCCESS;
}

// Bytes 0 and 2-3 of a flagged value; byte 1 of the record's copy stays zero.
bool sameElement(ArrayShape::Kind kind, const uint8_t *record, const uint8_t *source) {
  switch (kind) {
    case ArrayShape::Flagged: return record[0] == source[0] && record[1] == 0 && record[2] == source[2] && record[3] == source[3];
    case ArrayShape::Word: return std::memcmp(record, source, 2) == 0;
    case ArrayShape::Pair: return std::memcmp(record, source, 4) == 0;
    case ArrayShape::Byte: return record[0] == source[0];
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Reader in(data, size);
  const uint8_t flags = in.u8();
  const std::array<uint8_t, 4> counts = {in.u8(), in.u8(), in.u8(), in.u8()};
  const uint16_t nullMask = (flags & kNullSources) ? in.u16() : (in.u16(), 0);
  std::array<uint8_t, sizeof(MemoryConfigScalars)> scalars{};
  const auto scalarBytes = in.bytes(scalars.size());
  std::memcpy(scalars.data(), scalarBytes.data(), scalarBytes.size());
  const std::span<const uint8_t> fill = in.rest();

  const uint64_t units = uint64_t{counts[0]} * counts[1], items = units * counts[2];
  const uint64_t length = 116 + 14 * units + 15 * items;
  const bool fits = length <= kHobDataLimit;

  MemoryInformationPpi ppi = {};
  ppi.GetHoleMap = OneHoleMap;
  ppi.Dim0Count = counts[0];
  ppi.Dim1Count = counts[1];
  ppi.Dim2Count = counts[2];
  ppi.Dim3Count = counts[3];
  std::memcpy(&ppi.Scalars, scalars.data(), scalars.size());

  // A configuration too large for its HOB must be refused before any array is read: its arrays are
  // given one byte each.
  std::array<std::unique_ptr<uint8_t[]>, 16> arrays;
  std::array<uint64_t, 16> arraySize{};
  bool missingSource = false;
  size_t next = 0;
  for (size_t n = 0; n < 16; n++) {
    arraySize[n] = kShapes[n].elementSize * (kShapes[n].perItem ? items : units);
    if (nullMask & (1u << n)) {
      missingSource |= arraySize[n] != 0;
      continue;
    }
    const uint64_t allocated = fits ? arraySize[n] : 1;
    arrays[n].reset(new uint8_t[allocated]);
    for (uint64_t b = 0; b < allocated; b++, next++) {
      arrays[n][b] = fill.empty() ? static_cast<uint8_t>(next * 7 + n) : fill[next % fill.size()];
    }
    ppi.ArraySource[n] = arrays[n].get();
  }

  zarn::fuzz::Boot boot(!(flags & kNoDebugPrint));
  zarn::host::Machine &machine = boot.machine;
  machine.pei.installPpi(gMemoryInformationPpiGuid, &ppi);
  const EFI_STATUS status = DramatlasEntry(nullptr, machine.pei.servicesPointer());
  const auto records = machine.pei.guidHobData(gMemoryConfigInfoDataHobGuid);
  const bool ready = machine.pei.locatePpi(gMemoryHobsReadyPpiGuid) != nullptr;
  FUZZ_CHECK(machine.pei.guidHobData(gZarnMemoryInfoHobGuid).size() == 1);

  if (missingSource || !fits) {
    FUZZ_CHECK(EFI_ERROR(status) && records.empty() && !ready);
    return 0;
  }
  FUZZ_CHECK(status == EFI_SUCCESS && ready && records.size() == 1);
  const std::span<const uint8_t> record = records[0];
  FUZZ_CHECK(record.size() == length);

  MemoryConfigInfoData header;
  std::memcpy(&header, record.data(), sizeof header);
  FUZZ_CHECK(header.Version == 0x400);
  FUZZ_CHECK(header.Dim0Count == counts[0] && header.Dim1Count == counts[1] && header.Dim2Count == counts[2] &&
             header.Dim3Count == counts[3]);
  // Settings: every byte copied except the second byte of each flagged value, which is zero. The word
  // settings are Scalar2-3 (record offsets 16-19), Scalar10-13 (44-51) and Scalar19-20 (72-75).
  const uint8_t *settings = record.data() + 8;
  for (size_t b = 0; b < scalars.size(); b++) {
    const bool word = (b >= 8 && b < 12) || (b >= 36 && b < 44) || (b >= 64 && b < 68);
    const bool secondOfFlagged = !word && b % 4 == 1;
    FUZZ_CHECK(settings[b] == (secondOfFlagged ? 0 : scalars[b]));
  }

  uint64_t offset = 116;
  for (size_t n = 0; n < 16; n++) {
    FUZZ_CHECK(header.ArrayOffset[n] == offset);
    for (uint64_t e = 0; e < arraySize[n] / kShapes[n].elementSize; e++) {
      const uint64_t at = e * kShapes[n].elementSize;
      FUZZ_CHECK(sameElement(kShapes[n].kind, record.data() + offset + at, arrays[n].get() + at));
    }
    offset += arraySize[n];
  }
  return 0;
}
