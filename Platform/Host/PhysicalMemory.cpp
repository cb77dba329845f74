#include "Platform/Host/PhysicalMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
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

namespace {

// One erased (all 0xFF) window per process that every machine's window starts as a private copy of:
// mapping it costs nothing until a page is read, and only pages written get copies of their own.
int erasedFlashTemplate() {
  static const int fd = [] {
    const int f = memfd_create("zarn-erased-flash", MFD_CLOEXEC);
    if (f < 0 || ftruncate(f, PhysicalMemory::kFlashWindowSize) != 0) return -1;
    void *p = mmap(nullptr, PhysicalMemory::kFlashWindowSize, PROT_READ | PROT_WRITE, MAP_SHARED, f, 0);
    if (p == MAP_FAILED) return -1;
    std::memset(p, 0xFF, PhysicalMemory::kFlashWindowSize);
    munmap(p, PhysicalMemory::kFlashWindowSize);
    return f;
  }();
  return fd;
}

}  // namespace

void PhysicalMemory::mapFlash() {
  if (flash_) return;
  const int erased = erasedFlashTemplate();
  if (erased < 0) throw std::runtime_error("cannot make the erased flash window");
  void *p = mmap(nullptr, kFlashWindowSize, PROT_READ, MAP_PRIVATE, erased, 0);
  if (p == MAP_FAILED) throw std::runtime_error("cannot map the flash window");
  flash_ = static_cast<uint8_t *>(p);
  regions_.push_back({kFlashWindowBase, kFlashWindowSize, flash_});
}

void PhysicalMemory::protectFlash(bool writable, uint64_t offset, uint64_t length) {
  // Only the pages the range touches: changing the whole window costs a page-table walk of 16 MiB.
  constexpr uint64_t kPage = 4096;
  const uint64_t first = offset & ~(kPage - 1);
  const uint64_t end = length == 0 ? first : (offset + length + kPage - 1) & ~(kPage - 1);
  mprotect(flash_ + first, end - first, writable ? PROT_READ | PROT_WRITE : PROT_READ);
}

void PhysicalMemory::setFlashImage(std::span<const uint8_t> image) {
  if (image.size() < kMinFlashImage || image.size() > kFlashWindowSize) {
    throw std::invalid_argument("flash image of " + std::to_string(image.size()) +
                                " bytes; 512 KiB to 16 MiB expected");
  }
  mapFlash();
  // Below the image the window reads erased again; only what was written there before needs it.
  const uint64_t imageStart = kFlashWindowSize - image.size();
  const uint64_t from = std::min(writtenFrom_, imageStart);
  protectFlash(true, from, kFlashWindowSize - from);
  if (writtenFrom_ < imageStart) std::memset(flash_ + writtenFrom_, 0xFF, imageStart - writtenFrom_);
  std::memcpy(flash_ + imageStart, image.data(), image.size());
  protectFlash(false, from, kFlashWindowSize - from);
  writtenFrom_ = from;
}

void PhysicalMemory::writeFlash(uint64_t address, std::span<const uint8_t> bytes) {
  mapFlash();
  if (address < kFlashWindowBase || address + bytes.size() > kFourGiB) {
    throw std::out_of_range("flash write outside the flash window");
  }
  protectFlash(true, address - kFlashWindowBase, bytes.size());
  std::memcpy(flash_ + (address - kFlashWindowBase), bytes.data(), bytes.size());
  protectFlash(false, address - kFlashWindowBase, bytes.size());
  if (!bytes.empty()) writtenFrom_ = std::min(writtenFrom_, address - kFlashWindowBase);
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
