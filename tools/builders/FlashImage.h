// Flash image builder: an image of 512 KiB to 16 MiB that ends at 4 GiB, holding embedded firmware
// tables at probe positions, combo, Kov and BIOS directories (level 1 and 2) and payloads, with every
// directory checksum computed. Faults can be asked for on purpose (wrong signature, wrong checksum, a
// stored entry count that differs from the entries written, raw patches after everything else).
//
// A description is plain data (the zarn tool fills it from JSON): positions are offsets into the image,
// pointer fields name their target by image offset and are stored in the image's pointer form.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/builders/Bytes.h"

namespace zarn::builders {

constexpr uint64_t kFourGiB = 0x1'0000'0000ull;
constexpr uint32_t kMinFlashSize = 512 * 1024;
constexpr uint32_t kMaxFlashSize = 16 * 1024 * 1024;

// Where the embedded firmware table is searched, in probe order (probe 1 first).
constexpr std::array<uint32_t, 6> kProbeAddresses = {0xFFFA0000u, 0xFFF20000u, 0xFFE20000u,
                                                     0xFFC20000u, 0xFF820000u, 0xFF020000u};

// How a pointer to flash is stored: as its offset in the 16 MiB window below 4 GiB (0x00123456) or as
// the address itself (0xFF123456). The firmware ORs 0xFF000000 into either form.
enum class PointerForm { Offset, Address };

// A pointer field: the image offset of its target, or (raw) the exact 32-bit value to store.
struct FlashPointer {
  uint32_t value = 0;
  bool raw = false;
  static FlashPointer to(uint32_t imageOffset) { return {imageOffset, false}; }
  static FlashPointer stored(uint32_t rawValue) { return {rawValue, true}; }
};

// Deliberate faults of a checksummed directory.
struct DirectoryFaults {
  std::optional<uint32_t> signature;   // stored instead of the right signature
  std::optional<uint32_t> entryCount;  // stored instead of the number of entries written
  std::optional<uint32_t> checksum;    // stored instead of the computed checksum
  bool wrongChecksum = false;          // store the computed checksum XOR 1
};

struct EmbeddedTableDesc {
  int probe = 1;                         // 1..6, see kProbeAddresses
  std::optional<uint32_t> signature;     // default 0x55AA55AA
  FlashPointer kovDir;                   // KovDirPointer: a combo directory or the Kov directory
  std::array<FlashPointer, 3> biosDirs;  // BiosDirField1..3
};

struct ComboEntryDesc {
  uint32_t comboId = 0;
  FlashPointer kovDir;
};

struct ComboDirDesc {
  uint32_t offset = 0;
  std::vector<ComboEntryDesc> entries;
  std::optional<uint32_t> signature;   // default "2KOV"
  std::optional<uint32_t> entryCount;  // default entries.size()
};

struct KovDirDesc {
  uint32_t offset = 0;
  uint32_t entries = 0;  // number of 16-byte entries, filled with a fixed pattern
  uint32_t headerInfo = 0;
  DirectoryFaults faults;
};

struct BiosEntryDesc {
  uint8_t type = 0;
  uint8_t instance = 0;          // bits 20-23 of TypeAttributes (0..15)
  uint32_t otherAttributes = 0;  // the remaining TypeAttributes bits, stored as given
  uint32_t size = 0;
  FlashPointer location;      // low 32 bits of Location
  uint32_t locationHigh = 0;  // high 32 bits of Location, stored as given
  uint64_t destination = 0;
  uint32_t typeAttributes() const;
};

struct BiosDirDesc {
  uint32_t offset = 0;
  bool level2 = false;  // "$BL2" instead of "$BHD"
  std::vector<BiosEntryDesc> entries;
  uint32_t headerInfo = 0;
  DirectoryFaults faults;
};

struct FlashImageDesc {
  uint32_t size = 1024 * 1024;
  PointerForm pointerForm = PointerForm::Offset;
  std::vector<EmbeddedTableDesc> tables;
  std::vector<ComboDirDesc> comboDirs;
  std::vector<KovDirDesc> kovDirs;
  std::vector<BiosDirDesc> biosDirs;
  std::vector<Blob> payloads;  // written before the checksums are computed
  std::vector<Blob> patches;   // written last, over everything
};

// Physical address of the image's first byte.
constexpr uint64_t flashBase(uint32_t imageSize) { return kFourGiB - imageSize; }
// Image offset of a probe position (1..6); throws std::out_of_range when it lies outside the image.
uint32_t probeOffset(int probe, uint32_t imageSize);
// The value stored for a pointer to `imageOffset` in the given form.
uint32_t storedPointer(uint32_t imageOffset, uint32_t imageSize, PointerForm form);

// Fletcher-32 of 16-bit little-endian words as the directories use it (sums start at 0xFFFF, folded
// every 359 words and at the end). `bytes` must hold an even number of bytes.
uint32_t directoryChecksum(std::span<const uint8_t> bytes);

// Builds the image: erased (0xFF) bytes, then tables, directories and payloads, then checksums over the
// stored entry counts, then patches. Throws std::invalid_argument for a bad size or probe and
// std::out_of_range for an item that does not fit in the image.
Bytes buildFlashImage(const FlashImageDesc &desc);

// A complete, valid image for everyday use: 1 MiB, table at probe 2 (0xFFF20000), a combo directory with
// every line's combo ID naming one Kov directory, all three BIOS directory fields naming one level-1 BIOS
// directory that holds `entries`. Offsets: table 0x20000, combo 0x30000, Kov 0x31000, BIOS 0x32000;
// 0x40000 onwards is free for payloads and a level-2 directory.
FlashImageDesc standardFlash(std::vector<BiosEntryDesc> entries);
constexpr uint32_t kStandardTableOffset = 0x20000;
constexpr uint32_t kStandardComboOffset = 0x30000;
constexpr uint32_t kStandardKovOffset = 0x31000;
constexpr uint32_t kStandardBiosOffset = 0x32000;
constexpr uint32_t kStandardFreeOffset = 0x40000;

}  // namespace zarn::builders
