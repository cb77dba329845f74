// Reads what the flash composer needs from a linked 32-bit x86 ELF file: the loadable segments (where
// each lands in flash and its bytes), the entry point and the symbol table.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zarn::qemu {

struct ElfSegment {
  uint32_t address = 0;        // physical address of the first byte
  std::vector<uint8_t> bytes;  // its contents (memory size; bytes past the file size are zero)
};

struct ElfImage {
  std::string path;
  uint32_t entry = 0;
  std::vector<ElfSegment> segments;
  std::map<std::string, uint32_t> symbols;

  // Lowest and one-past-highest address of the loadable segments.
  uint32_t base() const;
  uint32_t end() const;
  // The value of a symbol; throws std::runtime_error when the image has none of that name.
  uint32_t symbol(const std::string &name) const;
};

// Throws std::runtime_error when the file cannot be read or is not a 32-bit little-endian x86 executable.
ElfImage readElf32(const std::string &path);

}  // namespace zarn::qemu
