// The memory configuration data HOB: length and array offsets from the counts, and the record itself
// against one built independently, byte for byte.
#include <cstring>

#include "Mem/Dramatlas/Dramatlas.h"
#include "tests/Mem/Dramatlas/DramatlasFixture.h"

namespace zarn::test {
namespace {

// The 23 settings in record order: F a FlaggedValue (4 bytes), W a UINT16.
constexpr const char kScalarKinds[] = "FFWWFFFFFFWWWWFFFFFWWFF";

class MemoryConfigTest : public DramatlasFixture {
 protected:
  std::vector<uint8_t> build() {
    memoryInit.install(machine);
    EXPECT_EQ(BuildHobMemoryConfigInfoData(&memoryInit.ppi()), EFI_SUCCESS);
    const auto hobs = configHobs();
    EXPECT_EQ(hobs.size(), 1u);
    return hobs.empty() ? std::vector<uint8_t>{} : toVector(hobs[0]);
  }
};

std::vector<uint16_t> offsetsOf(const std::vector<uint8_t> &record) {
  std::vector<uint16_t> out;
  for (size_t n = 0; n < 16; ++n) out.push_back(static_cast<uint16_t>(record[84 + 2 * n] | record[85 + 2 * n] << 8));
  return out;
}

TEST_F(MemoryConfigTest, LengthAndOffsetsFollowTheCounts) {
  struct Case {
    std::array<uint8_t, 4> counts;
    size_t length;
    std::vector<uint16_t> offsets;
  };
  const std::vector<uint16_t> all116(16, 116);
  const std::vector<uint16_t> two = {116, 124, 156, 172, 188, 204, 212, 220, 228, 236, 244, 252, 260, 268, 276, 284};
  const Case cases[] = {
      {{0, 3, 2, 7}, 116, all116},
      {{3, 0, 2, 7}, 116, all116},
      {{1, 1, 1, 9}, 145, {116, 118, 122, 126, 130, 134, 135, 136, 137, 138, 139, 140, 141, 142, 143, 144}},
      {{2, 2, 2, 0}, 292, two},
      {{2, 2, 2, 200}, 292, two},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.counts[0]} << "," << int{c.counts[1]} << "," << int{c.counts[2]} << ","
                                    << int{c.counts[3]});
    host::Machine m;
    m.makeCurrent();
    host::MemoryInitModule mem;
    mem.config().counts = c.counts;
    // With no unit there is nothing to read: every source may be absent.
    if (c.counts[0] == 0 || c.counts[1] == 0) mem.config().nullSource.fill(true);
    mem.install(m);
    host::DebugPrintProducer print;
    print.install(m);
    ASSERT_EQ(BuildHobMemoryConfigInfoData(&mem.ppi()), EFI_SUCCESS);
    const auto hobs = m.pei.guidHobData(gMemoryConfigInfoDataHobGuid);
    ASSERT_EQ(hobs.size(), 1u);
    const std::vector<uint8_t> record = toVector(hobs[0]);
    EXPECT_EQ(record.size(), c.length);
    EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.begin() + 8),
              (std::vector<uint8_t>{0x00, 0x04, 0x00, 0x00, c.counts[0], c.counts[1], c.counts[2], c.counts[3]}));
    EXPECT_EQ(offsetsOf(record), c.offsets);
    EXPECT_EQ(print.texts(), (std::vector<std::string>{"BuildHobInfo: BuildHobMemoryConfigInfoData!\r\n",
                                                       "NumOfAllocInfoHob = 16\r\n"}));
  }
}

TEST_F(MemoryConfigTest, SetArrayOffsetsReadsTheRecordsCounts) {
  alignas(4) uint8_t record[116] = {};
  record[4] = 2;
  record[5] = 2;
  record[6] = 2;
  record[7] = 99;
  EXPECT_EQ(SetArrayOffsets(reinterpret_cast<MemoryConfigInfoData *>(record)), EFI_SUCCESS);
  EXPECT_EQ(offsetsOf(std::vector<uint8_t>(record, record + 116)),
            (std::vector<uint16_t>{116, 124, 156, 172, 188, 204, 212, 220, 228, 236, 244, 252, 260, 268, 276, 284}));
}

TEST_F(MemoryConfigTest, RecordMatchesAnIndependentlyBuiltOne) {
  // Dim0 2, Dim1 2, Dim2 3: four units, twelve items.
  host::MemoryInitConfig &c = memoryInit.config();
  c.counts = {2, 2, 3, 4};
  const size_t units = 4;
  const size_t items = 12;

  // Every setting distinct; the byte between Flag and Value is 0xEE in the source and must not be copied.
  Bytes scalarSource;
  Bytes scalarExpected;
  for (size_t n = 0; n < 23; ++n) {
    if (kScalarKinds[n] == 'F') {
      scalarSource.u8(0x40 + n).u8(0xEE).u16(0x1100 + n);
      scalarExpected.u8(0x40 + n).u8(0x00).u16(0x1100 + n);
    } else {
      scalarSource.u16(0xA000 + n);
      scalarExpected.u16(0xA000 + n);
    }
  }
  ASSERT_EQ(scalarSource.v.size(), 76u);
  std::memcpy(&c.scalars, scalarSource.v.data(), 76);

  for (size_t u = 0; u < units; ++u) {
    c.arrays.array0.push_back(static_cast<uint16_t>(0x2000 + u));
    c.arrays.array2.push_back({static_cast<uint8_t>(0x20 + u), 0xEE, static_cast<uint16_t>(0x3000 + u)});
    c.arrays.array3.push_back({static_cast<uint8_t>(0x30 + u), 0xEE, static_cast<uint16_t>(0x4000 + u)});
    c.arrays.array4.push_back({static_cast<uint16_t>(0x5000 + u), static_cast<uint16_t>(0x6000 + u)});
  }
  for (size_t v = 0; v < items; ++v) {
    c.arrays.array1.push_back({static_cast<uint8_t>(0x10 + v), 0xEE, static_cast<uint16_t>(0x7000 + v)});
    for (size_t n = 5; n < 16; ++n) c.arrays.bytes[n - 5].push_back(static_cast<uint8_t>(n << 4 | v));
  }

  Bytes e;
  e.u32(0x400).u8(2).u8(2).u8(3).u8(4);
  e.v.insert(e.v.end(), scalarExpected.v.begin(), scalarExpected.v.end());
  for (uint16_t offset : {116, 124, 172, 188, 204, 220, 232, 244, 256, 268, 280, 292, 304, 316, 328, 340}) e.u16(offset);
  for (size_t u = 0; u < units; ++u) e.u16(0x2000 + u);                               // array 0 at 116
  for (size_t v = 0; v < items; ++v) e.u8(0x10 + v).u8(0).u16(0x7000 + v);           // array 1 at 124
  for (size_t u = 0; u < units; ++u) e.u8(0x20 + u).u8(0).u16(0x3000 + u);           // array 2 at 172
  for (size_t u = 0; u < units; ++u) e.u8(0x30 + u).u8(0).u16(0x4000 + u);           // array 3 at 188
  for (size_t u = 0; u < units; ++u) e.u16(0x5000 + u).u16(0x6000 + u);              // array 4 at 204
  for (size_t n = 5; n < 16; ++n) {
    for (size_t v = 0; v < items; ++v) e.u8(n << 4 | v);                              // arrays 5-15 from 220
  }
  ASSERT_EQ(e.v.size(), 352u);

  const std::vector<uint8_t> record = build();
  EXPECT_EQ(record, e.v);
  // Item (i, j, k) = (1, 0, 1) with Dim1Count 2 and Dim2Count 3 is element 7.
  ASSERT_EQ(record.size(), 352u);
  EXPECT_EQ(record[220 + 7], 0x57);
}

}  // namespace
}  // namespace zarn::test
