// Shared pieces of the fuzz targets: a reader that takes typed values from the input (zeros once it
// runs dry), a fresh simulated machine per input, and the check that turns a broken invariant into a
// crash libFuzzer reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "Platform/Host/Machine.h"
#include "Platform/Host/Modules/DebugPrintProducer.h"

namespace zarn::fuzz {

// Reads little-endian values from the front of the input; past the end every value is zero.
class Reader {
 public:
  Reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

  uint8_t u8() { return static_cast<uint8_t>(take(1)); }
  uint16_t u16() { return static_cast<uint16_t>(take(2)); }
  uint32_t u32() { return static_cast<uint32_t>(take(4)); }
  uint64_t u64() { return take(8); }
  bool flag() { return (u8() & 1) != 0; }

  // Up to `count` bytes, fewer when the input ends first.
  std::span<const uint8_t> bytes(size_t count) {
    const size_t n = count < left() ? count : left();
    std::span<const uint8_t> out(data_ + at_, n);
    at_ += n;
    return out;
  }
  std::span<const uint8_t> rest() { return bytes(left()); }
  size_t left() const { return size_ - at_; }

 private:
  uint64_t take(size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width && at_ < size_; i++, at_++) value |= static_cast<uint64_t>(data_[at_]) << (8 * i);
    return value;
  }
  const uint8_t *data_;
  size_t size_;
  size_t at_ = 0;
};

// An invariant of the code under test that an input broke: report and stop, so libFuzzer saves the input.
[[noreturn]] inline void fail(const char *what, const char *file, int line) {
  std::fprintf(stderr, "\nfuzz invariant broken at %s:%d: %s\n", file, line, what);
  std::abort();
}
#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::zarn::fuzz::fail(#condition, __FILE__, __LINE__))

// One boot per input: a new machine, current for the seam, optionally with the platform's debug-print
// PPI so that module messages are formatted as on a real platform. The HOB list holds the largest GUID HOB
// and the HOBs beside it, and stays small enough for the sanitizer's allocator to reuse its memory from
// one input to the next.
constexpr size_t kHobCapacity = 96 * 1024;

struct Boot {
  explicit Boot(bool debugPrint = true, size_t hobCapacity = kHobCapacity) : machine(hobCapacity) {
    machine.makeCurrent();
    if (debugPrint) producer.install(machine);
  }
  host::Machine machine;
  host::DebugPrintProducer producer;
};

// A byte range [begin, begin + size) lies inside [outer, outer + outerSize).
inline bool inside(const void *begin, uint64_t size, const void *outer, uint64_t outerSize) {
  const auto b = reinterpret_cast<uintptr_t>(begin);
  const auto o = reinterpret_cast<uintptr_t>(outer);
  return b >= o && b - o <= outerSize && size <= outerSize - (b - o);
}

}  // namespace zarn::fuzz
