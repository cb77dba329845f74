#include "tools/builders/FlashImage.h"

#include <stdexcept>
#include <string>

#include "Library/ZarnKovProcessorLines.h"

namespace zarn::builders {

namespace {

constexpr uint32_t kEmbeddedSignature = 0x55AA55AAu;
constexpr uint32_t kComboSignature = 0x564F4B32u;   // "2KOV"
constexpr uint32_t kKovSignature = 0x564F4B24u;     // "$KOV"
constexpr uint32_t kBiosL1Signature = 0x44484224u;  // "$BHD"
constexpr uint32_t kBiosL2Signature = 0x324C4224u;  // "$BL2"
constexpr uint32_t kDirHeaderSize = 16;
constexpr uint32_t kComboHeaderSize = 32;
constexpr uint32_t kComboEntrySize = 16;
constexpr uint32_t kKovEntrySize = 16;
constexpr uint32_t kBiosEntrySize = 24;

// A directory whose checksum is filled in once everything else is written.
struct PendingChecksum {
  uint32_t offset;
  uint32_t storedCount;
  uint32_t entrySize;
  const DirectoryFaults *faults;
};

uint32_t pointerValue(const FlashPointer &p, const FlashImageDesc &desc) {
  return p.raw ? p.value : storedPointer(p.value, desc.size, desc.pointerForm);
}

void writeDirHeader(Bytes &image, uint32_t offset, uint32_t signature, uint32_t count, uint32_t headerInfo,
                    const DirectoryFaults &faults, const std::string &what) {
  put32(image, offset, faults.signature.value_or(signature), what);
  put32(image, uint64_t(offset) + 4, 0, what);
  put32(image, uint64_t(offset) + 8, faults.entryCount.value_or(count), what);
  put32(image, uint64_t(offset) + 12, headerInfo, what);
}

}  // namespace

uint32_t BiosEntryDesc::typeAttributes() const {
  return (otherAttributes & ~0x00F000FFu) | uint32_t(type) | (uint32_t(instance & 0x0F) << 20);
}

uint32_t probeOffset(int probe, uint32_t imageSize) {
  if (probe < 1 || probe > 6) throw std::invalid_argument("probe must be 1..6, not " + std::to_string(probe));
  const uint64_t address = kProbeAddresses[size_t(probe - 1)];
  if (address < flashBase(imageSize)) {
    throw std::out_of_range("probe " + std::to_string(probe) + " lies below an image of " + std::to_string(imageSize) +
                            " bytes");
  }
  return uint32_t(address - flashBase(imageSize));
}

uint32_t storedPointer(uint32_t imageOffset, uint32_t imageSize, PointerForm form) {
  const uint32_t address = uint32_t(flashBase(imageSize) + imageOffset);
  return form == PointerForm::Address ? address : (address & 0x00FFFFFFu);
}

uint32_t directoryChecksum(std::span<const uint8_t> bytes) {
  if (bytes.size() % 2 != 0) throw std::invalid_argument("checksum over an odd number of bytes");
  uint64_t sum1 = 0xFFFF, sum2 = 0xFFFF;
  size_t words = bytes.size() / 2, at = 0;
  auto fold = [](uint64_t s) { return (s & 0xFFFF) + (s >> 16); };
  while (words > 0) {
    const size_t block = words < 359 ? words : 359;
    for (size_t i = 0; i < block; i++, at += 2) {
      sum1 += uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8;
      sum2 += sum1;
    }
    words -= block;
    sum1 = fold(sum1);
    sum2 = fold(sum2);
  }
  sum1 = fold(sum1);
  sum2 = fold(sum2);
  return uint32_t(sum2 << 16 | sum1);
}

Bytes buildFlashImage(const FlashImageDesc &desc) {
  if (desc.size < kMinFlashSize || desc.size > kMaxFlashSize) {
    throw std::invalid_argument("flash size " + std::to_string(desc.size) + " outside 512 KiB..16 MiB");
  }
  Bytes image(desc.size, 0xFF);
  std::vector<PendingChecksum> pending;

  for (const EmbeddedTableDesc &t : desc.tables) {
    const uint32_t at = probeOffset(t.probe, desc.size);
    const std::string what = "embedded firmware table at probe " + std::to_string(t.probe);
    put32(image, at, t.signature.value_or(kEmbeddedSignature), what);
    put(image, uint64_t(at) + 4, Bytes(0x10, 0), what);
    put32(image, uint64_t(at) + 0x14, pointerValue(t.kovDir, desc), what);
    for (size_t i = 0; i < 3; i++) put32(image, uint64_t(at) + 0x18 + 4 * i, pointerValue(t.biosDirs[i], desc), what);
  }

  for (const ComboDirDesc &c : desc.comboDirs) {
    const std::string what = "combo directory at " + std::to_string(c.offset);
    put32(image, c.offset, c.signature.value_or(kComboSignature), what);
    put32(image, uint64_t(c.offset) + 4, 0, what);
    put32(image, uint64_t(c.offset) + 8, c.entryCount.value_or(uint32_t(c.entries.size())), what);
    put(image, uint64_t(c.offset) + 12, Bytes(20, 0), what);
    for (size_t i = 0; i < c.entries.size(); i++) {
      const uint64_t e = uint64_t(c.offset) + kComboHeaderSize + kComboEntrySize * i;
      put32(image, e, 0, what);
      put32(image, e + 4, c.entries[i].comboId, what);
      put32(image, e + 8, pointerValue(c.entries[i].kovDir, desc), what);
      put32(image, e + 12, 0, what);
    }
  }

  for (const KovDirDesc &k : desc.kovDirs) {
    const std::string what = "Kov directory at " + std::to_string(k.offset);
    writeDirHeader(image, k.offset, kKovSignature, k.entries, k.headerInfo, k.faults, what);
    for (uint32_t i = 0; i < k.entries; i++) {
      Bytes entry(kKovEntrySize);
      for (uint32_t b = 0; b < kKovEntrySize; b++) entry[b] = uint8_t(0x40 + i * 7 + b);
      put(image, uint64_t(k.offset) + kDirHeaderSize + kKovEntrySize * i, entry, what);
    }
    pending.push_back({k.offset, k.faults.entryCount.value_or(k.entries), kKovEntrySize, &k.faults});
  }

  for (const BiosDirDesc &d : desc.biosDirs) {
    const std::string what =
        std::string(d.level2 ? "level-2" : "level-1") + " BIOS directory at " + std::to_string(d.offset);
    const uint32_t count = uint32_t(d.entries.size());
    writeDirHeader(image, d.offset, d.level2 ? kBiosL2Signature : kBiosL1Signature, count, d.headerInfo, d.faults,
                   what);
    for (size_t i = 0; i < d.entries.size(); i++) {
      const BiosEntryDesc &e = d.entries[i];
      const uint64_t at = uint64_t(d.offset) + kDirHeaderSize + kBiosEntrySize * i;
      put32(image, at, e.typeAttributes(), what);
      put32(image, at + 4, e.size, what);
      put32(image, at + 8, pointerValue(e.location, desc), what);
      put32(image, at + 12, e.locationHigh, what);
      put64(image, at + 16, e.destination, what);
    }
    pending.push_back({d.offset, d.faults.entryCount.value_or(count), kBiosEntrySize, &d.faults});
  }

  for (const Blob &p : desc.payloads) put(image, p.offset, p.bytes, "payload at " + std::to_string(p.offset));

  // Checksums cover the stored entry count, as the firmware reads it; a count that runs past the image
  // leaves a checksum over what the image holds.
  for (const PendingChecksum &p : pending) {
    const uint64_t end = uint64_t(p.offset) + kDirHeaderSize + uint64_t(p.storedCount) * p.entrySize;
    const uint64_t last = end < image.size() ? end : image.size() & ~uint64_t(1);
    uint32_t sum = directoryChecksum(std::span<const uint8_t>(image).subspan(p.offset + 8, last - (p.offset + 8)));
    if (p.faults->wrongChecksum) sum ^= 1;
    put32(image, uint64_t(p.offset) + 4, p.faults->checksum.value_or(sum), "checksum");
  }

  for (const Blob &p : desc.patches) put(image, p.offset, p.bytes, "patch at " + std::to_string(p.offset));
  return image;
}

FlashImageDesc standardFlash(std::vector<BiosEntryDesc> entries) {
  FlashImageDesc d;
  d.size = 1024 * 1024;
  EmbeddedTableDesc t;
  t.probe = 2;
  t.kovDir = FlashPointer::to(kStandardComboOffset);
  t.biosDirs = {FlashPointer::to(kStandardBiosOffset), FlashPointer::to(kStandardBiosOffset),
                FlashPointer::to(kStandardBiosOffset)};
  d.tables.push_back(t);
  ComboDirDesc combo;
  combo.offset = kStandardComboOffset;
  for (const ZarnKovProcessorLine &line : ZarnKovProcessorLines) {
    combo.entries.push_back({line.ComboId, FlashPointer::to(kStandardKovOffset)});
  }
  d.comboDirs.push_back(combo);
  d.kovDirs.push_back({kStandardKovOffset, 4, 0, {}});
  BiosDirDesc bios;
  bios.offset = kStandardBiosOffset;
  bios.entries = std::move(entries);
  d.biosDirs.push_back(std::move(bios));
  return d;
}

}  // namespace zarn::builders
