#include "Platform/Host/PhysicalMemory.h"

#include <sys/mman.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace zarn::host {

struct PhysicalMemory::DramBlock {
  std::vector<uint8_t> bytes;
};

PhysicalMemory::PhysicalMemory() = default;

PhysicalMemory::~PhysicalMemory() {
  if (flash_) munmap(flash_, kFlashWindowSize);
}

void PhysicalMemory::mapFlash() {
  if (flash_) return;
  void *p = mmap(nullptr, kFlashWindowSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::runtime_error("cannot map the flash window");
  flash_ = static_cast<uint8_t *>(p);
  std::memset(flash_, 0xFF, kFlashWindowSize);
  protectFlash(false);
  regions_.push_back({kFlashWindowBase, kFlashWindowSize, flash_});
}

void PhysicalMemory::protectFlash(bool writable) {
  mprotect(flash_, kFlashWindowSize, writable ? PROT_READ | PROT_WRITE : PROT_READ);
}

void PhysicalMemory::setFlashImage(std::span<const uint8_t> image) {
  if (image.size() < kMinFlashImage || image.size() > kFlashWindowSize) {
    throw std::invalid_argument("flash image of " + std::to_string(image.size()) +
                                " bytes; 512 KiB to 16 MiB expected");
  }
  mapFlash();
  protectFlash(true);
  std::memset(flash_, 0xFF, kFlashWindowSize - image.size());
  std::memcpy(flash_ + (kFlashWindowSize - image.size()), image.data(), image.size());
  protectFlash(false);
}

void PhysicalMemory::writeFlash(uint64_t address, std::span<const uint8_t> bytes) {
  mapFlash();
  if (address < kFlashWindowBase || address + bytes.size() > kFourGiB) {
    throw std::out_of_range("flash write outside the flash window");
  }
  protectFlash(true);
  std::memcpy(flash_ + (address - kFlashWindowBase), bytes.data(), bytes.size());
  protectFlash(false);
}

void PhysicalMemory::addDram(uint64_t base, uint64_t size) {
  if (size == 0 || base >= kFourGiB || size > kFourGiB - base) {
    throw std::invalid_argument("DRAM region must be non-empty and below 4 GiB");
  }
  auto overlaps = [&](uint64_t b, uint64_t s) { return base < b + s && b < base + size; };
  if (overlaps(kFlashWindowBase, kFlashWindowSize)) throw std::invalid_argument("DRAM region overlaps the flash window");
  for (const Region &r : regions_) {
    if (overlaps(r.base, r.size)) throw std::invalid_argument("DRAM region overlaps another region");
  }
  auto block = std::make_unique<DramBlock>();
  block->bytes.assign(size, 0);
  regions_.insert(regions_.begin(), {base, size, block->bytes.data()});
  dram_.push_back(std::move(block));
}

const PhysicalMemory::Region *PhysicalMemory::find(uint64_t address, uint64_t length) const {
  if (address >= kFourGiB || length > kFourGiB - address) return nullptr;
  for (const Region &r : regions_) {
    if (address >= r.base && address - r.base < r.size && length <= r.size - (address - r.base)) return &r;
  }
  return nullptr;
}

void *PhysicalMemory::pointer(uint64_t address, uint64_t length) {
  // The flash window reads 0xFF even without an image, as an erased part does.
  if (!flash_ && address >= kFlashWindowBase && address < kFourGiB) mapFlash();
  const Region *r = find(address, length);
  return r ? r->bytes + (address - r->base) : nullptr;
}

std::optional<uint64_t> PhysicalMemory::physicalOf(const void *host) const {
  const auto *p = static_cast<const uint8_t *>(host);
  for (const Region &r : regions_) {
    if (p >= r.bytes && p < r.bytes + r.size) return r.base + static_cast<uint64_t>(p - r.bytes);
  }
  return std::nullopt;
}

void PhysicalMemory::write(uint64_t address, std::span<const uint8_t> bytes) {
  if (address >= kFlashWindowBase) return writeFlash(address, bytes);
  const Region *r = find(address, bytes.size());
  if (!r) throw std::out_of_range("DRAM write to an unbacked range");
  std::memcpy(r->bytes + (address - r->base), bytes.data(), bytes.size());
}

std::vector<uint8_t> PhysicalMemory::read(uint64_t address, size_t length) {
  const auto *p = static_cast<const uint8_t *>(pointer(address, length));
  if (!p) throw std::out_of_range("read of an unbacked range");
  return {p, p + length};
}

}  // namespace zarn::host
