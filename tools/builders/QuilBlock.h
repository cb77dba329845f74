// Output block builder: a "QUIL" header followed by entries of any group, type, instance and size, with
// field bytes at entry offsets. Faults can be asked for on purpose: another signature or version, a
// stored Size or OffsetOfFirstEntry that does not match the layout, an EntrySize that differs from the
// bytes the entry occupies (0, below 16, reaching past the end), raw patches after everything else.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tools/builders/Bytes.h"

namespace zarn::builders {

constexpr uint32_t kQuilSignature = 0x4C495551u;  // "QUIL"
constexpr uint32_t kQuilHeaderSize = 16;
constexpr uint32_t kQuilEntryHeaderSize = 16;

// Bytes at an offset from the start of an entry (its header included).
struct Field {
  uint32_t offset = 0;
  Bytes bytes;
  static Field u8(uint32_t offset, uint8_t v) { return {offset, {v}}; }
  static Field u16(uint32_t offset, uint16_t v) { return {offset, le16(v)}; }
  static Field u32(uint32_t offset, uint32_t v) { return {offset, le32(v)}; }
  static Field u64(uint32_t offset, uint64_t v) { return {offset, le64(v)}; }
};

struct QuilEntryDesc {
  uint32_t group = 0;
  uint32_t type = 0;
  uint32_t instance = 0;
  uint32_t size = 0x30;                     // bytes the entry occupies, header included (at least 16)
  std::optional<uint32_t> storedEntrySize;  // stored in EntrySize instead of `size`
  std::vector<Field> fields;                // must lie inside `size`
};

struct QuilBlockDesc {
  uint32_t signature = kQuilSignature;
  uint32_t version = 5;
  uint32_t firstEntryOffset = kQuilHeaderSize;     // where the first entry is laid out (at least 16)
  std::optional<uint32_t> storedFirstEntryOffset;  // stored instead of firstEntryOffset
  std::vector<QuilEntryDesc> entries;              // laid out one after the other
  uint32_t tail = 0;                               // extra zero bytes after the last entry
  std::optional<uint32_t> storedSize;              // stored instead of the block's length
  std::vector<Blob> patches;                       // block offsets, written last
};

// The block's bytes; its length is firstEntryOffset + the entries' sizes + tail. Throws
// std::invalid_argument for an entry smaller than its header or a first entry inside the header, and
// std::out_of_range for a field outside its entry or a patch outside the block.
Bytes buildQuilBlock(const QuilBlockDesc &desc);

// Offset of entry `index` in the block built from `desc`.
uint32_t quilEntryOffset(const QuilBlockDesc &desc, size_t index);

}  // namespace zarn::builders
