#include "tools/qemu/Elf32.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zarn::qemu {

namespace {

constexpr uint32_t kPtLoad = 1;
constexpr uint32_t kShtSymtab = 2;
constexpr uint16_t kEmI386 = 3;

struct Reader {
  const std::vector<uint8_t> &bytes;
  const std::string &path;
  template <typename T>
  T at(uint64_t offset) const {
    if (offset > bytes.size() || sizeof(T) > bytes.size() - offset)
      throw std::runtime_error(path + ": ELF file truncated");
    T v;
    std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
  }
};

}  // namespace

uint32_t ElfImage::base() const {
  uint32_t lowest = UINT32_MAX;
  for (const ElfSegment &s : segments) lowest = std::min(lowest, s.address);
  return segments.empty() ? 0 : lowest;
}

uint32_t ElfImage::end() const {
  uint64_t highest = 0;
  for (const ElfSegment &s : segments) highest = std::max<uint64_t>(highest, uint64_t{s.address} + s.bytes.size());
  return static_cast<uint32_t>(std::min<uint64_t>(highest, UINT32_MAX));
}

uint32_t ElfImage::symbol(const std::string &name) const {
  const auto it = symbols.find(name);
  if (it == symbols.end()) throw std::runtime_error(path + ": no symbol " + name);
  return it->second;
}

ElfImage readElf32(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot read (build the IA32 images first: make ia32)");
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const Reader r{bytes, path};
  if (bytes.size() < 52 || std::memcmp(bytes.data(), "\x7f" "ELF", 4) != 0 || bytes[4] != 1 || bytes[5] != 1 ||
      r.at<uint16_t>(18) != kEmI386)
    throw std::runtime_error(path + ": not a 32-bit little-endian x86 ELF file");

  ElfImage image;
  image.path = path;
  image.entry = r.at<uint32_t>(24);
  const uint32_t phoff = r.at<uint32_t>(28);
  const uint32_t shoff = r.at<uint32_t>(32);
  const uint16_t phentsize = r.at<uint16_t>(42), phnum = r.at<uint16_t>(44);
  const uint16_t shentsize = r.at<uint16_t>(46), shnum = r.at<uint16_t>(48);

  for (uint32_t i = 0; i < phnum; ++i) {
    const uint64_t ph = uint64_t{phoff} + uint64_t{i} * phentsize;
    if (r.at<uint32_t>(ph) != kPtLoad) continue;
    const uint32_t offset = r.at<uint32_t>(ph + 4), paddr = r.at<uint32_t>(ph + 12);
    const uint32_t filesz = r.at<uint32_t>(ph + 16), memsz = r.at<uint32_t>(ph + 20);
    if (memsz == 0) continue;
    if (filesz > memsz || uint64_t{offset} + filesz > bytes.size())
      throw std::runtime_error(path + ": a loadable segment lies outside the file");
    ElfSegment s;
    s.address = paddr;
    s.bytes.assign(memsz, 0);
    std::copy_n(bytes.begin() + offset, filesz, s.bytes.begin());
    image.segments.push_back(std::move(s));
  }

  for (uint32_t i = 0; i < shnum; ++i) {
    const uint64_t sh = uint64_t{shoff} + uint64_t{i} * shentsize;
    if (r.at<uint32_t>(sh + 4) != kShtSymtab) continue;
    const uint32_t symOff = r.at<uint32_t>(sh + 16), symSize = r.at<uint32_t>(sh + 20);
    const uint32_t strIndex = r.at<uint32_t>(sh + 24), entSize = std::max<uint32_t>(r.at<uint32_t>(sh + 36), 16);
    const uint64_t strSh = uint64_t{shoff} + uint64_t{strIndex} * shentsize;
    const uint32_t strOff = r.at<uint32_t>(strSh + 16), strSize = r.at<uint32_t>(strSh + 20);
    for (uint32_t at = 0; at + entSize <= symSize; at += entSize) {
      const uint32_t nameOff = r.at<uint32_t>(uint64_t{symOff} + at);
      if (nameOff == 0 || nameOff >= strSize) continue;
      const uint64_t start = uint64_t{strOff} + nameOff;
      std::string name;
      for (uint64_t c = start; c < bytes.size() && c < uint64_t{strOff} + strSize && bytes[c] != 0; ++c)
        name += static_cast<char>(bytes[c]);
      image.symbols.emplace(name, r.at<uint32_t>(uint64_t{symOff} + at + 4));
    }
  }
  return image;
}

}  // namespace zarn::qemu
