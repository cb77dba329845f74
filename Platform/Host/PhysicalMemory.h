// The simulated physical address space below 4 GiB: the boot flash window at the top and DRAM regions.
// Everything else is not backed ("not there").
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace zarn::host {

class PhysicalMemory {
 public:
  static constexpr uint64_t kFourGiB = 0x1'0000'0000ull;
  static constexpr uint64_t kFlashWindowBase = 0xFF00'0000ull;  // 16 MiB window ending at 4 GiB
  static constexpr uint64_t kFlashWindowSize = 0x0100'0000ull;
  static constexpr size_t kMinFlashImage = 512 * 1024;

  PhysicalMemory();
  ~PhysicalMemory();
  PhysicalMemory(const PhysicalMemory &) = delete;
  PhysicalMemory &operator=(const PhysicalMemory &) = delete;

  // Places a flash image of 512 KiB..16 MiB so that it ends at 4 GiB; the rest of the window reads 0xFF.
  // The window is read-only to the firmware (a write through a mapped pointer faults). Throws
  // std::invalid_argument for other sizes.
  void setFlashImage(std::span<const uint8_t> image);
  // Overwrites bytes inside the flash window (tests building directory tables in place).
  void writeFlash(uint64_t address, std::span<const uint8_t> bytes);
  bool hasFlash() const { return flash_ != nullptr; }

  // Adds a zero-filled DRAM region [base, base + size) below 4 GiB. Throws std::invalid_argument when it
  // is empty, passes 4 GiB, or overlaps another region or the flash window.
  void addDram(uint64_t base, uint64_t size);
  // Writes or reads bytes of one DRAM or flash region; throws std::out_of_range when not backed.
  void write(uint64_t address, std::span<const uint8_t> bytes);
  std::vector<uint8_t> read(uint64_t address, size_t length);

  // The host pointer for [address, address + length), or null when one region does not back the whole
  // range. A range that passes 4 GiB is never backed; a range never spans two regions. A length of 0
  // asks only for the address itself to be backed.
  void *pointer(uint64_t address, uint64_t length);
  // The physical address of a host pointer into a region, for tools; nullopt when it is not in one.
  std::optional<uint64_t> physicalOf(const void *host) const;

 private:
  struct Region {
    uint64_t base;
    uint64_t size;
    uint8_t *bytes;
  };
  const Region *find(uint64_t address, uint64_t length) const;
  void mapFlash();
  // Makes the pages of [offset, offset + length) of the window writable or read-only again.
  void protectFlash(bool writable, uint64_t offset, uint64_t length);

  struct DramBlock;
  std::vector<std::unique_ptr<DramBlock>> dram_;
  std::vector<Region> regions_;  // DRAM regions, then the flash window once mapped
  uint8_t *flash_ = nullptr;     // mmap'd 16 MiB window
  uint64_t writtenFrom_ = kFlashWindowSize;  // window offset below which nothing was ever written
};

}  // namespace zarn::host
