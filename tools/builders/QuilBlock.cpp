#include "tools/builders/QuilBlock.h"

#include <stdexcept>
#include <string>

namespace zarn::builders {

uint32_t quilEntryOffset(const QuilBlockDesc &desc, size_t index) {
  uint64_t at = desc.firstEntryOffset;
  for (size_t i = 0; i < index && i < desc.entries.size(); i++) at += desc.entries[i].size;
  if (at > 0xFFFFFFFFu) throw std::out_of_range("output block larger than 4 GiB");
  return uint32_t(at);
}

Bytes buildQuilBlock(const QuilBlockDesc &desc) {
  if (desc.firstEntryOffset < kQuilHeaderSize) throw std::invalid_argument("first entry inside the block header");
  const uint64_t length = uint64_t(quilEntryOffset(desc, desc.entries.size())) + desc.tail;
  if (length > 0xFFFFFFFFu) throw std::out_of_range("output block larger than 4 GiB");
  Bytes block(length, 0);
  put32(block, 0, desc.signature, "header");
  put32(block, 4, desc.version, "header");
  put32(block, 8, desc.storedSize.value_or(uint32_t(length)), "header");
  put32(block, 12, desc.storedFirstEntryOffset.value_or(desc.firstEntryOffset), "header");

  for (size_t i = 0; i < desc.entries.size(); i++) {
    const QuilEntryDesc &e = desc.entries[i];
    if (e.size < kQuilEntryHeaderSize) {
      throw std::invalid_argument("entry " + std::to_string(i) + " smaller than its header (use storedEntrySize)");
    }
    const uint32_t at = quilEntryOffset(desc, i);
    Bytes entry(e.size, 0);
    for (const Field &f : e.fields) {
      put(entry, f.offset, f.bytes,
          "field at entry offset " + std::to_string(f.offset) + " of entry " + std::to_string(i));
    }
    put32(entry, 0, e.group, "entry header");
    put32(entry, 4, e.type, "entry header");
    put32(entry, 8, e.instance, "entry header");
    put32(entry, 12, e.storedEntrySize.value_or(e.size), "entry header");
    put(block, at, entry, "entry " + std::to_string(i));
  }

  for (const Blob &p : desc.patches) put(block, p.offset, p.bytes, "patch at " + std::to_string(p.offset));
  return block;
}

}  // namespace zarn::builders
