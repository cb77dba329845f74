// Little-endian byte helpers shared by the builders.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace zarn::builders {

using Bytes = std::vector<uint8_t>;

// A run of bytes at an offset: a payload or a deliberate patch of an image or block.
struct Blob {
  uint32_t offset = 0;
  Bytes bytes;
};

inline Bytes le16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
inline Bytes le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
inline Bytes le64(uint64_t v) {
  Bytes out = le32(uint32_t(v));
  Bytes hi = le32(uint32_t(v >> 32));
  out.insert(out.end(), hi.begin(), hi.end());
  return out;
}

// Copies `bytes` into `out` at `offset`; throws std::out_of_range when they do not fit.
inline void put(Bytes &out, uint64_t offset, std::span<const uint8_t> bytes, const std::string &what) {
  if (offset > out.size() || bytes.size() > out.size() - offset) {
    throw std::out_of_range(what + " does not fit: " + std::to_string(bytes.size()) + " bytes at offset " +
                            std::to_string(offset) + " of " + std::to_string(out.size()));
  }
  std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
}
inline void put32(Bytes &out, uint64_t offset, uint32_t v, const std::string &what) { put(out, offset, le32(v), what); }
inline void put64(Bytes &out, uint64_t offset, uint64_t v, const std::string &what) { put(out, offset, le64(v), what); }

inline uint32_t get32(std::span<const uint8_t> in, size_t offset) {
  return uint32_t(in[offset]) | uint32_t(in[offset + 1]) << 8 | uint32_t(in[offset + 2]) << 16 |
         uint32_t(in[offset + 3]) << 24;
}

}  // namespace zarn::builders
