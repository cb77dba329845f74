// The memory map HOB: descriptors from the hole map, the header, and the messages of each block.
#include <cstdio>

#include "Mem/Dramatlas/Dramatlas.h"
#include "tests/Mem/Dramatlas/DramatlasFixture.h"

namespace zarn::test {
namespace {

struct Desc {
  uint64_t base;
  uint64_t size;
  uint32_t attribute;
};

// The memory map record for the fixture's summary values.
std::vector<uint8_t> memInfoRecord(const std::vector<Desc> &descs, uint8_t value8Valid = 0) {
  Bytes b;
  b.u32(0x110).u8(1).u16(0x5566).u8(value8Valid).u8(0x77).u8(1).u32(0x11223344).u32(0x8899AABB);
  b.u32(descs.size());
  for (const Desc &d : descs) b.u64(d.base).u64(d.size).u32(d.attribute).u32(0);
  return b.v;
}

std::string line(const char *format, uint64_t value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, static_cast<unsigned long long>(value));
  return buffer;
}

// The lines of one descriptor block; the closing block has a four-digit attribute and no CurrentBase.
std::vector<std::string> block(uint32_t index, const Desc &d, bool closing) {
  std::vector<std::string> out = {
      line("    MemRangeIndex: 0x%llX\r\n", index), line("    Base Hi: 0x%08llX\r\n", d.base >> 32),
      line("    Base Lo: 0x%08llX\r\n", d.base & 0xFFFFFFFF),   line("    Size Hi: 0x%08llX\r\n", d.size >> 32),
      line("    Size Lo: 0x%08llX\r\n", d.size & 0xFFFFFFFF),
  };
  if (closing) {
    out.push_back(line("    Attribute: 0x%04llX\r\n", d.attribute));
  } else {
    const uint64_t currentBase = d.base + d.size;
    out.push_back(line("    Attribute: 0x%08llX\r\n", d.attribute));
    out.push_back(line("    CurrentBase Hi: 0x%08llX\r\n", currentBase >> 32));
    out.push_back(line("    CurrentBase Lo: 0x%08llX\r\n", currentBase & 0xFFFFFFFF));
  }
  out.push_back("\r\n");
  return out;
}

class MemoryMapTest : public DramatlasFixture {};

TEST_F(MemoryMapTest, TwoHolesGiveFiveDescriptors) {
  memoryInit.config().holes = {{0xA0000, 0x60000, 1}, {0xC0000000, 0x40000000, 0}};
  memoryInit.config().topOfMemory = 0x240000000;
  memoryInit.install(machine);
  printer.install(machine);

  EXPECT_EQ(DramatlasEntry(nullptr, machine.pei.servicesPointer()), EFI_SUCCESS);

  ASSERT_EQ(memInfoHobs().size(), 1u);
  EXPECT_EQ(memInfoHobs()[0].size(), 142u);
  EXPECT_EQ(toVector(memInfoHobs()[0]), memInfoRecord({{0x0, 0xA0000, 1},
                                                       {0xA0000, 0x60000, 3},
                                                       {0x100000, 0xBFF00000, 1},
                                                       {0xC0000000, 0x40000000, 2},
                                                       {0x100000000, 0x140000000, 1}}));
  const std::vector<std::string> expected = {
      "    NumOfHoles: 2\r\n", holeMapText(),
      "    MemRangeIndex: 0x0\r\n", "    Base Hi: 0x00000000\r\n", "    Base Lo: 0x00000000\r\n",
      "    Size Hi: 0x00000000\r\n", "    Size Lo: 0x000A0000\r\n", "    Attribute: 0x00000001\r\n",
      "    CurrentBase Hi: 0x00000000\r\n", "    CurrentBase Lo: 0x000A0000\r\n", "\r\n",
      "    MemRangeIndex: 0x1\r\n", "    Base Hi: 0x00000000\r\n", "    Base Lo: 0x000A0000\r\n",
      "    Size Hi: 0x00000000\r\n", "    Size Lo: 0x00060000\r\n", "    Attribute: 0x00000003\r\n",
      "    CurrentBase Hi: 0x00000000\r\n", "    CurrentBase Lo: 0x00100000\r\n", "\r\n",
      "    MemRangeIndex: 0x2\r\n", "    Base Hi: 0x00000000\r\n", "    Base Lo: 0x00100000\r\n",
      "    Size Hi: 0x00000000\r\n", "    Size Lo: 0xBFF00000\r\n", "    Attribute: 0x00000001\r\n",
      "    CurrentBase Hi: 0x00000000\r\n", "    CurrentBase Lo: 0xC0000000\r\n", "\r\n",
      "    MemRangeIndex: 0x3\r\n", "    Base Hi: 0x00000000\r\n", "    Base Lo: 0xC0000000\r\n",
      "    Size Hi: 0x00000000\r\n", "    Size Lo: 0x40000000\r\n", "    Attribute: 0x00000002\r\n",
      "    CurrentBase Hi: 0x00000001\r\n", "    CurrentBase Lo: 0x00000000\r\n", "\r\n",
      "    MemRangeIndex: 0x4\r\n", "    Base Hi: 0x00000001\r\n", "    Base Lo: 0x00000000\r\n",
      "    Size Hi: 0x00000001\r\n", "    Size Lo: 0x40000000\r\n", "    Attribute: 0x0001\r\n", "\r\n",
      "    NumberOfDescriptor: 0x5\r\n", "    SizeOfMemInfoHob: 0x8E\r\n",
      "BuildHobInfo: BuildHobMemoryConfigInfoData!\r\n", "NumOfAllocInfoHob = 16\r\n",
  };
  EXPECT_EQ(texts(), expected);
  for (const host::ModuleMessageRecord &m : printer.messages()) EXPECT_EQ(m.messageClass, 0x0004000000000000ull);
  EXPECT_EQ(printer.messages()[43].format, "    Attribute: 0x%04x\n");
  EXPECT_EQ(printer.messages()[7].format, "    Attribute: 0x%08x\n");
  EXPECT_TRUE(debugRecord().events.empty());
}

struct MapCase {
  const char *name;
  std::vector<host::HoleSpec> holes;
  uint64_t top;
  std::vector<Desc> descs;
  bool closing;  // the last descriptor is the closing range
  uint8_t value8Valid;
  std::vector<std::string> assertions;
};

TEST_F(MemoryMapTest, HoleWalks) {
  std::vector<host::HoleSpec> twenty;  // ten holes, each after a gap, the last ending at the top
  std::vector<Desc> twentyDescs;
  for (uint64_t k = 0; k < 10; ++k) {
    twenty.push_back({0x2000 * k + 0x1000, 0x1000, 2});
    twentyDescs.push_back({0x2000 * k, 0x1000, 1});
    twentyDescs.push_back({0x2000 * k + 0x1000, 0x1000, 4});
  }
  const MapCase cases[] = {
      {"no holes", {}, 0x80000000, {{0, 0x80000000, 1}}, true, 1, {}},
      {"no holes, no memory", {}, 0, {}, false, 0, {}},
      {"hole at 0", {{0, 0x1000, 0}}, 0x10000, {{0, 0x1000, 2}, {0x1000, 0xF000, 1}}, true, 0, {}},
      {"touching holes",
       {{0x1000, 0x1000, 1}, {0x2000, 0x1000, 2}, {0x3000, 0x1000, 3}},
       0x10000,
       {{0, 0x1000, 1}, {0x1000, 0x1000, 3}, {0x2000, 0x1000, 4}, {0x3000, 0x1000, 4}, {0x4000, 0xC000, 1}},
       true, 0, {}},
      {"last hole ends at the top", {{0x8000, 0x8000, 5}}, 0x10000, {{0, 0x8000, 1}, {0x8000, 0x8000, 4}}, false,
       0, {}},
      {"last hole ends above the top", {{0x8000, 0x10000, 4}}, 0x10000, {{0, 0x8000, 1}, {0x8000, 0x10000, 4}},
       false, 0, {}},
      {"hole ends at the end of the address space",
       {{0xFFFFFFFFFFFFF000, 0x1000, 1}},
       0x10000,
       {{0, 0xFFFFFFFFFFFFF000, 1}, {0xFFFFFFFFFFFFF000, 0x1000, 3}},
       false, 0, {}},
      {"hole of size 0",
       {{0x1000, 0, 0}},
       0x2000,
       {{0, 0x1000, 1}, {0x1000, 0, 2}, {0x1000, 0x1000, 1}},
       true, 0, {"0 != MemRangeDesc[MemRangeIndex].Size"}},
      {"twenty descriptors fill the work area", twenty, 0x14000, twentyDescs, false, 0, {}},
  };
  for (const MapCase &c : cases) {
    SCOPED_TRACE(c.name);
    host::Machine m;
    m.makeCurrent();
    debugRecord().clear();
    host::MemoryInitModule mem;
    mem.config() = memoryInit.config();
    mem.config().holes = c.holes;
    mem.config().topOfMemory = c.top;
    mem.config().value8Valid = c.value8Valid;
    mem.install(m);
    host::DebugPrintProducer print;
    print.install(m);

    EXPECT_EQ(DramatlasEntry(nullptr, m.pei.servicesPointer()), EFI_SUCCESS);

    const auto hobs = m.pei.guidHobData(gZarnMemoryInfoHobGuid);
    ASSERT_EQ(hobs.size(), 1u);
    EXPECT_EQ(hobs[0].size(), 22u + 24u * c.descs.size());
    EXPECT_EQ(toVector(hobs[0]), memInfoRecord(c.descs, c.value8Valid));

    std::vector<std::string> expected = {line("    NumOfHoles: %llu\r\n", c.holes.size())};
    for (size_t i = 0; i < c.descs.size(); ++i) {
      for (std::string &s : block(i, c.descs[i], c.closing && i + 1 == c.descs.size())) expected.push_back(s);
    }
    expected.push_back(line("    NumberOfDescriptor: 0x%llX\r\n", c.descs.size()));
    expected.push_back(line("    SizeOfMemInfoHob: 0x%llX\r\n", 22 + 24 * c.descs.size()));
    std::vector<std::string> got = print.texts();
    ASSERT_GE(got.size(), 2u);
    got.erase(got.begin() + 1);  // the hole map's address
    got.resize(got.size() - 2);  // the configuration messages
    EXPECT_EQ(got, expected);

    EXPECT_EQ(debugRecord().expressions(), c.assertions);
    for (const AssertReport &a : debugRecord().asserts) EXPECT_EQ(a.sourcePath, "Mem/Dramatlas/Dramatlas");
  }
}

}  // namespace
}  // namespace zarn::test
