// The physical address space: flash window ending at 4 GiB, DRAM regions, unbacked ranges.
#include <gtest/gtest.h>

#include <vector>

#include "Platform/Host/Machine.h"
#include "Platform/Seam.h"

namespace zarn::host {
namespace {

const UINT8 *bytesAt(PhysicalMemory &m, uint64_t address, uint64_t length) {
  return static_cast<const UINT8 *>(m.pointer(address, length));
}

TEST(PhysicalMemory, FlashImageEndsAtFourGiBAndTheRestReadsErased) {
  for (size_t size : {size_t{0x80000}, size_t{0x1000000}}) {
    PhysicalMemory m;
    std::vector<uint8_t> image(size, 0x5A);
    image.front() = 0x11;
    image.back() = 0x22;
    m.setFlashImage(image);
    const uint64_t start = 0x100000000ull - size;
    ASSERT_NE(bytesAt(m, start, size), nullptr);
    EXPECT_EQ(*bytesAt(m, start, 1), 0x11);
    EXPECT_EQ(*bytesAt(m, 0xFFFFFFFF, 1), 0x22);
    if (start > 0xFF000000) {
      EXPECT_EQ(*bytesAt(m, start - 1, 1), 0xFF);
    }
    EXPECT_EQ(*bytesAt(m, 0xFF000000, 1), size == 0x1000000 ? 0x11 : 0xFF);
  }
}

TEST(PhysicalMemory, FlashImageSizeOutsideTheWindowRangeIsRefused) {
  PhysicalMemory m;
  EXPECT_THROW(m.setFlashImage(std::vector<uint8_t>(0x7FFFF)), std::invalid_argument);
  EXPECT_THROW(m.setFlashImage(std::vector<uint8_t>(0x1000001)), std::invalid_argument);
}

TEST(PhysicalMemory, ErasedWindowWithoutImage) {
  PhysicalMemory m;
  const UINT8 *p = bytesAt(m, 0xFF000000, 0x1000000);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[0], 0xFF);
  EXPECT_EQ(p[0xFFFFFF], 0xFF);
}

TEST(PhysicalMemory, UnbackedAndCrossingRangesAreNotThere) {
  PhysicalMemory m;
  m.addDram(0x100000, 0x1000);
  m.addDram(0x101000, 0x1000);  // adjacent: a range never spans two regions
  const UINT8 *dram = bytesAt(m, 0x100000, 0x1000);
  ASSERT_NE(dram, nullptr);
  EXPECT_EQ(dram[0], 0);
  EXPECT_EQ(dram[0xFFF], 0);
  struct Case {
    uint64_t address, length;
    bool backed;
  } cases[] = {
      {0x100FFF, 1, true},         {0x100FFF, 2, false},        {0xFFFFF, 2, false},
      {0x200000, 1, false},        {0xFFFFFFF0, 0x10, true},    {0xFFFFFFFF, 2, false},
      {0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFull, false},               {0x100000000ull, 1, false},
      {0xFEFFFFFF, 2, false},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(m.pointer(c.address, c.length) != nullptr, c.backed) << std::hex << c.address << "+" << c.length;
  }
}

TEST(PhysicalMemory, WritesAndReverseMapping) {
  Machine machine;
  machine.makeCurrent();
  machine.memory.addDram(0x9D000000, 0x2000);
  machine.memory.write(0x9D000010, std::vector<uint8_t>{1, 2, 3});
  const auto *p = static_cast<const UINT8 *>(PlatformPhysicalToPointer(0x9D000010, 3));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[2], 3);
  EXPECT_EQ(machine.memory.physicalOf(p + 2), 0x9D000012u);
  int elsewhere = 0;
  EXPECT_EQ(machine.memory.physicalOf(&elsewhere), std::nullopt);
  EXPECT_EQ(PlatformPhysicalToPointer(0x9D001FFF, 2), nullptr);
}

TEST(PhysicalMemory, RegionsMustNotOverlapOrLeaveTheSpaceBelowFourGiB) {
  PhysicalMemory m;
  m.addDram(0x100000, 0x1000);
  EXPECT_THROW(m.addDram(0x100800, 0x1000), std::invalid_argument);
  EXPECT_THROW(m.addDram(0xFEFFF000, 0x2000), std::invalid_argument);  // into the flash window
  EXPECT_THROW(m.addDram(0x100000000ull, 0x1000), std::invalid_argument);
  EXPECT_THROW(m.addDram(0x200000, 0), std::invalid_argument);
}

TEST(PhysicalMemoryDeathTest, FlashIsReadOnlyToFirmware) {
  PhysicalMemory m;
  auto *p = static_cast<volatile UINT8 *>(m.pointer(0xFFFFFFF0, 1));
  ASSERT_NE(p, nullptr);
  EXPECT_DEATH(*p = 0, "");
}

}  // namespace
}  // namespace zarn::host
