// The twenty accessor slots, each called through the PPI that the built Quilkeep image installed.
#include <gtest/gtest.h>

#include <functional>

#include "tests/Kov/QuilDrv/Quilkeep/QuilkeepBoot.h"

using namespace zarn::builders;
using zarn::test::QuilkeepBoot;
using zarn::test::Strings;

namespace {

using Ppi = ZARN_QUIL_ACCESSOR_PPI;

QuilEntryDesc qe(uint32_t group, uint32_t type, uint32_t instance, uint32_t size, std::vector<Field> fields = {}) {
  QuilEntryDesc e;
  e.group = group;
  e.type = type;
  e.instance = instance;
  e.size = size;
  e.fields = std::move(fields);
  return e;
}

// Entry 3/3: every byte holds its own offset, so a read shows where it was taken.
QuilEntryDesc nestedTable(uint32_t instance) {
  QuilEntryDesc e = qe(3, 3, instance, 0x70);
  Bytes bytes;
  for (uint32_t o = 0x30; o < 0x70; o++) bytes.push_back(uint8_t(o));
  e.fields = {{0x30, bytes}};
  return e;
}

// Every entry the accessors read, with distinct values; decoys of other instances where the slot uses
// the caller's, and of instance 1 where it always uses 0.
QuilBlockDesc fullBlock() {
  QuilBlockDesc d;
  std::vector<Field> g1t2 = {Field::u16(0x34, 0x1234),      Field::u16(0x36, 0x5678),
                             Field::u8(0x38 + 5, 0x9A),     Field::u32(0x1AC, 0x11223344),
                             Field::u32(0x1B0, 0x55667788), Field::u32(0x1B4, 0x00000101)};
  for (uint32_t k = 0; k < 11; k++) g1t2.push_back(Field::u8(0x154 + 8 * k, uint8_t(0xB0 + k)));
  d.entries = {
      qe(1, 16, 1, 0x1C0, {Field::u8(0x30, 0xEE), Field::u8(0x1B4, 0xEE), Field::u8(0x1B5, 0xEE)}),
      qe(1, 16, 0, 0x1C0, {Field::u8(0x30, 0x5A), Field::u8(0x1B4, 0x01), Field::u8(0x1B5, 0x02)}),
      qe(1, 2, 1, 0x1C0),
      qe(1, 2, 2, 0x1C0, g1t2),
      qe(1, 15, 1, 0x140, {Field::u8(0x30, 0x31), Field::u8(0x130, 0x77)}),
      qe(1, 17, 3, 0x34 + 532 * 17, {Field::u8(0x30, 0xA0), Field::u8(0x31, 0xA1)}),
      qe(3, 2, 1, 0x64, {Field::u32(0x30, 0xEEEEEEEE)}),
      qe(3, 2, 0, 0x64, {Field::u32(0x30, 0xCAFEBABE)}),
      nestedTable(1),
      qe(7, 3, 0, 0x70, {Field::u16(0x66, 0xBEEF)}),
  };
  return d;
}

// Physical address of entry `index` of fullBlock() at the standard block address.
uint64_t entryAt(size_t index) { return QuilkeepBoot::kBlock + quilEntryOffset(fullBlock(), index); }

class AccessorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    boot.install(fullBlock());
    ASSERT_EQ(boot.run(), EFI_SUCCESS);
    ASSERT_NE(boot.ppi, nullptr);
    boot.producer.clear();
  }
  QuilkeepBoot boot;
};

// One call of a slot: its status and its output (an integer, or the physical address of a pointer).
struct Outcome {
  EFI_STATUS status;
  uint64_t output;
  bool operator==(const Outcome &) const = default;
  friend void PrintTo(const Outcome &o, std::ostream *os) {
    *os << "status 0x" << std::hex << o.status << ", output 0x" << o.output;
  }
};
constexpr uint64_t kUntouched = 0x5EED5EED;

template <typename T>
Outcome byValue(EFI_STATUS status, T value) {
  return {status,
          status == EFI_SUCCESS ? uint64_t(value) : (uint64_t(value) == uint64_t(T(kUntouched)) ? kUntouched : 0xD1D)};
}

TEST_F(AccessorTest, EverySlotReadsItsField) {
  const Ppi &p = *boot.ppi;
  auto byte = [](auto call) {
    UINT8 v = UINT8(kUntouched);
    const EFI_STATUS s = call(&v);
    return byValue(s, v);
  };
  auto word = [](auto call) {
    UINT16 v = UINT16(kUntouched);
    const EFI_STATUS s = call(&v);
    return byValue(s, v);
  };
  auto pointer = [&](auto call) {
    VOID *v = reinterpret_cast<VOID *>(1);
    const EFI_STATUS s = call(&v);
    return Outcome{s, s == EFI_SUCCESS ? boot.physical(v) : (v == reinterpret_cast<VOID *>(1) ? kUntouched : 0xD1D)};
  };
  struct Row {
    int slot;
    std::function<Outcome()> call;
    Outcome expected;
  } rows[] = {
      {0, [&] { return byte([&](UINT8 *v) { return p.GetDornInstanceTrov(v); }); }, {EFI_SUCCESS, 0x5A}},
      {1, [&] { return byte([&](UINT8 *v) { return p.GetDornRecoveryFlagTrov(v); }); }, {EFI_SUCCESS, 0x02}},
      {2, [&] { return byte([&](UINT8 *v) { return p.GetDimmCfgUpdatedFlagTrov(v); }); }, {EFI_SUCCESS, 0x01}},
      {3, [&] { return byte([&](UINT8 *v) { return p.GetG3T3Level1ByteTrov(1, 1, v); }); }, {EFI_SUCCESS, 0x4B}},
      {3,
       [&] { return byte([&](UINT8 *v) { return p.GetG3T3Level1ByteTrov(0, 1, v); }); },
       {EFI_NOT_FOUND, kUntouched}},
      {4, [&] { return byte([&](UINT8 *v) { return p.GetG3T3Level2ByteTrov(1, 1, 1, v); }); }, {EFI_SUCCESS, 0x59}},
      {5, [&] { return byte([&](UINT8 *v) { return p.GetG3T3Level3ByteTrov(1, 1, 1, 2, v); }); }, {EFI_SUCCESS, 0x60}},
      {5, [&] { return byte([&](UINT8 *v) { return p.GetG3T3Level3ByteTrov(1, 0, 0, 0, v); }); }, {EFI_SUCCESS, 0x32}},
      {6,
       [&] { return byte([&](UINT8 *v) { return p.GetG3T3Level3DataByteTrov(1, 1, 1, 2, 1, v); }); },
       {EFI_SUCCESS, 0x62}},
      {6,
       [&] { return byte([&](UINT8 *v) { return p.GetG3T3Level3DataByteTrov(1, 1, 1, 3, 1, v); }); },
       {EFI_SUCCESS, 0x65}},
      {7, [&] { return byte([&](UINT8 *v) { return p.GetG1T2ArrayByteTrov(2, 5, v); }); }, {EFI_SUCCESS, 0x9A}},
      {7, [&] { return byte([&](UINT8 *v) { return p.GetG1T2ArrayByteTrov(3, 5, v); }); }, {EFI_NOT_FOUND, kUntouched}},
      {8, [&] { return byte([&](UINT8 *v) { return p.GetG1T15ByteTrov(1, v); }); }, {EFI_SUCCESS, 0x77}},
      {9,
       [&] {
         UINT32 size = 0;
         const Outcome o = pointer([&](VOID **v) { return p.GetG1T15BufferTrov(1, v, &size); });
         EXPECT_EQ(size, 256u);
         return o;
       },
       {EFI_SUCCESS, entryAt(4) + 0x30}},
      {10, [&] { return byte([&](UINT8 *v) { return p.GetG1T17FirstByteTrov(3, v); }); }, {EFI_SUCCESS, 0xA0}},
      {11, [&] { return byte([&](UINT8 *v) { return p.GetFixedByteTrov(0xFFFFFFFF, v); }); }, {EFI_SUCCESS, 8}},
      {12, [&] { return byte([&](UINT8 *v) { return p.GetG1T17SecondByteTrov(3, v); }); }, {EFI_SUCCESS, 0xA1}},
      {12, [&] { return byte([&](UINT8 *v) { return p.GetG1T17SecondByteTrov(0, v); }); }, {EFI_NOT_FOUND, kUntouched}},
      {13,
       [&] { return pointer([&](VOID **v) { return p.GetG1T17RecordTrov(3, 0, v); }); },
       {EFI_SUCCESS, entryAt(5) + 0x34}},
      {13,
       [&] { return pointer([&](VOID **v) { return p.GetG1T17RecordTrov(3, 16, v); }); },
       {EFI_SUCCESS, entryAt(5) + 0x2174}},
      {14, [&] { return word([&](UINT16 *v) { return p.GetG1T2FirstWordTrov(2, v); }); }, {EFI_SUCCESS, 0x1234}},
      {15, [&] { return word([&](UINT16 *v) { return p.GetG1T2SecondWordTrov(2, v); }); }, {EFI_SUCCESS, 0x5678}},
      {17,
       [&] {
         UINT32 v = UINT32(kUntouched);
         const EFI_STATUS s = p.GetG3T2DwordTrov(0xFFFFFFFF, &v);
         return byValue(s, v);
       },
       {EFI_SUCCESS, 0xCAFEBABE}},
      {18,
       [&] { return pointer([&](VOID **v) { return p.GetG3T2RecordTrov(7, 3, v); }); },
       {EFI_SUCCESS, entryAt(7) + 0x58}},
      {18,
       [&] { return pointer([&](VOID **v) { return p.GetG3T2RecordTrov(0, 0, v); }); },
       {EFI_SUCCESS, entryAt(7) + 0x34}},
      {19, [&] { return word([&](UINT16 *v) { return p.GetG7T3WordTrov(1, v); }); }, {EFI_SUCCESS, 0xBEEF}},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE("slot " + std::to_string(r.slot));
    EXPECT_EQ(r.call(), r.expected);
  }
  EXPECT_EQ(boot.assertions(), Strings{});
}

TEST_F(AccessorTest, SelectedValues) {
  struct Row {
    uint32_t selector;
    uint16_t width;
    uint64_t value;
  } rows[] = {{0, 1, 0xB0},  {1, 1, 0xB1},        {2, 1, 0xB2},        {3, 1, 0xB3},  {4, 1, 0xB4},
              {5, 1, 0xB5},  {6, 1, 0xB6},        {7, 1, 0xB8},        {8, 1, 0xB7},  {9, 1, 0xB9},
              {10, 1, 0xBA}, {11, 4, 0x55667788}, {12, 4, 0x11223344}, {13, 1, 0x101}};
  for (const Row &r : rows) {
    SCOPED_TRACE(r.selector);
    UINT16 width = 0;
    UINT64 value = 0;
    EXPECT_EQ(boot.ppi->GetG1T2SelectedValueTrov(2, r.selector, &width, &value), EFI_SUCCESS);
    EXPECT_EQ(width, r.width);
    EXPECT_EQ(value, r.value);
  }
  EXPECT_EQ(boot.assertions(), Strings{});

  // Above 13: the assertion, EFI_NOT_FOUND, nothing written.
  UINT16 width = 0x7777;
  UINT64 value = 0x7777;
  EXPECT_EQ(boot.ppi->GetG1T2SelectedValueTrov(2, 14, &width, &value), EFI_NOT_FOUND);
  EXPECT_EQ(boot.ppi->GetG1T2SelectedValueTrov(2, 0xFFFFFFFF, &width, &value), EFI_NOT_FOUND);
  EXPECT_EQ(width, 0x7777);
  EXPECT_EQ(value, 0x7777u);
  EXPECT_EQ(boot.assertions(), (Strings{"Library/QuilTrovLib/QuilTrovLib: 0", "Library/QuilTrovLib/QuilTrovLib: 0"}));
  // Without the entry the lookup's status comes first, and no assertion.
  EXPECT_EQ(boot.ppi->GetG1T2SelectedValueTrov(9, 14, &width, &value), EFI_NOT_FOUND);
  EXPECT_EQ(boot.assertions().size(), 2u);
}

TEST_F(AccessorTest, IndexBoundsAreTestedBeforeAnyLookup) {
  VOID *record = reinterpret_cast<VOID *>(1);
  EXPECT_EQ(boot.ppi->GetG1T17RecordTrov(3, 17, &record), EFI_NOT_FOUND);
  EXPECT_EQ(boot.ppi->GetG3T2RecordTrov(0, 4, &record), EFI_NOT_FOUND);
  UINT8 byte = 0x77;
  EXPECT_EQ(boot.ppi->GetG3T3Level2ByteTrov(1, 0, 2, &byte), EFI_NOT_FOUND);
  EXPECT_EQ(boot.ppi->GetG3T3Level3ByteTrov(1, 0, 0, 4, &byte), EFI_NOT_FOUND);
  EXPECT_EQ(boot.ppi->GetG3T3Level3DataByteTrov(1, 0, 0, 0, 2, &byte), EFI_NOT_FOUND);
  EXPECT_EQ(record, reinterpret_cast<VOID *>(1));
  EXPECT_EQ(byte, 0x77);
  EXPECT_EQ(boot.messages(), Strings{});
}

TEST_F(AccessorTest, ReadsPastTheEntryAreRefused) {
  // Offsets that wrap in 32 bits back into the entry must not be read: 0x30 + 27 * 0x84BDA130 and
  // 0x38 + 0xFFFFFFFF are 0x40 and 0x37 modulo 4 GiB.
  UINT8 byte = 0x77;
  EXPECT_EQ(boot.ppi->GetG3T3Level1ByteTrov(1, 0x84BDA130, &byte), EFI_NOT_FOUND);
  EXPECT_EQ(boot.ppi->GetG1T2ArrayByteTrov(2, 0xFFFFFFFF, &byte), EFI_NOT_FOUND);
  // The last byte of the entry is readable, the next one is not (entry 1/2 is 0x1C0 bytes).
  EXPECT_EQ(boot.ppi->GetG1T2ArrayByteTrov(2, 0x1C0 - 0x38 - 1, &byte), EFI_SUCCESS);
  EXPECT_EQ(byte, 0);
  byte = 0x77;
  EXPECT_EQ(boot.ppi->GetG1T2ArrayByteTrov(2, 0x1C0 - 0x38, &byte), EFI_NOT_FOUND);
  // 3/3 is 0x70 bytes: level-1 record 2 starts at 0x66, record 3 at 0x81.
  EXPECT_EQ(boot.ppi->GetG3T3Level1ByteTrov(1, 2, &byte), EFI_SUCCESS);
  EXPECT_EQ(byte, 0x66);
  byte = 0x77;
  EXPECT_EQ(boot.ppi->GetG3T3Level1ByteTrov(1, 3, &byte), EFI_NOT_FOUND);
  EXPECT_EQ(byte, 0x77);
}

TEST(AccessorShortEntries, FieldsPastEntrySizeAreNotFound) {
  QuilkeepBoot boot;
  QuilBlockDesc d;
  d.entries = {qe(1, 16, 0, 0x1B5, {Field::u8(0x1B4, 0x01)}),  // ends just before the recovery flag
               qe(1, 15, 1, 0x12F),                            // buffer one byte short
               qe(1, 17, 3, 0x34 + 532 * 16 + 531),            // record 16 one byte short
               qe(3, 2, 0, 0x34 + 12 * 3 + 11),                // record 3 one byte short
               qe(1, 2, 2, 0x1B3),                             // selectors 11 and 13 cut, 12 fits
               qe(7, 3, 0, 0x67)};                             // word at 0x66 cut
  boot.install(d);
  ASSERT_EQ(boot.run(), EFI_SUCCESS);
  const Ppi &p = *boot.ppi;
  boot.producer.clear();

  UINT8 byte = 0x77;
  EXPECT_EQ(p.GetDimmCfgUpdatedFlagTrov(&byte), EFI_SUCCESS);
  EXPECT_EQ(byte, 0x01);
  EXPECT_EQ(p.GetDornRecoveryFlagTrov(&byte), EFI_NOT_FOUND);
  EXPECT_EQ(byte, 0);
  EXPECT_EQ(boot.messages().back(), "Fail to get QuilDornRecoveryFlag\n");

  VOID *pointer = reinterpret_cast<VOID *>(1);
  UINT32 size = 0;
  EXPECT_EQ(p.GetG1T15BufferTrov(1, &pointer, &size), EFI_NOT_FOUND);
  EXPECT_EQ(size, 256u);
  EXPECT_EQ(p.GetG1T17RecordTrov(3, 16, &pointer), EFI_NOT_FOUND);
  EXPECT_EQ(p.GetG3T2RecordTrov(0, 3, &pointer), EFI_NOT_FOUND);
  EXPECT_EQ(pointer, reinterpret_cast<VOID *>(1));
  EXPECT_EQ(p.GetG3T2RecordTrov(0, 2, &pointer), EFI_SUCCESS);

  UINT16 width = 0x7777, word = 0x7777;
  UINT64 value = 0x7777;
  EXPECT_EQ(p.GetG1T2SelectedValueTrov(2, 11, &width, &value), EFI_NOT_FOUND);
  EXPECT_EQ(p.GetG1T2SelectedValueTrov(2, 13, &width, &value), EFI_NOT_FOUND);
  EXPECT_EQ(width, 0x7777);
  EXPECT_EQ(value, 0x7777u);
  EXPECT_EQ(p.GetG1T2SelectedValueTrov(2, 12, &width, &value), EFI_SUCCESS);
  EXPECT_EQ(p.GetG7T3WordTrov(0, &word), EFI_NOT_FOUND);
  EXPECT_EQ(word, 0x7777);
  EXPECT_EQ(boot.assertions(), Strings{});
}

TEST(AccessorWithoutBlock, EverySlotButElevenFindsNothing) {
  QuilkeepBoot boot;
  boot.setProcessor(0x00990F00);  // no line: discovery finds no block
  ASSERT_EQ(boot.run(), EFI_SUCCESS);
  const Ppi &p = *boot.ppi;
  boot.producer.clear();

  UINT8 byte = 0x77;
  EXPECT_EQ(p.GetFixedByteTrov(0, &byte), EFI_SUCCESS);
  EXPECT_EQ(byte, 8);
  EXPECT_EQ(boot.messages(), Strings{});

  // Slots 0 to 2 zero their output and name what they failed to get.
  const Strings lookup = {"ZarnKovGetQuilEntryInstance 1 10 0\n", "ZarnKovGetQuilEntry 1 10\n",
                          "QUILLIB Info data uninitialized\n", "No entry found\n"};
  struct Row {
    EFI_STATUS (*slot)(UINT8 *);
    Strings messages;
  } rows[] = {
      {p.GetDornInstanceTrov,
       {"GetDornInstanceTrov\n", lookup[0], lookup[1], lookup[2], lookup[3], "Fail to get QuilDornInstance\n"}},
      {p.GetDornRecoveryFlagTrov, {lookup[0], lookup[1], lookup[2], lookup[3], "Fail to get QuilDornRecoveryFlag\n"}},
      {p.GetDimmCfgUpdatedFlagTrov, {lookup[0], lookup[1], lookup[2], lookup[3], "Fail to get DimmCfgUpdatedFlag\n"}},
  };
  for (const Row &r : rows) {
    boot.producer.clear();
    byte = 0x77;
    EXPECT_EQ(r.slot(&byte), EFI_NOT_FOUND);
    EXPECT_EQ(byte, 0);
    EXPECT_EQ(boot.messages(), r.messages);
  }

  // Slot 9 sets the size whatever the lookup says, and leaves the pointer.
  VOID *pointer = reinterpret_cast<VOID *>(1);
  UINT32 size = 0;
  EXPECT_EQ(p.GetG1T15BufferTrov(1, &pointer, &size), EFI_NOT_FOUND);
  EXPECT_EQ(size, 256u);
  EXPECT_EQ(pointer, reinterpret_cast<VOID *>(1));

  UINT16 word = 0x7777;
  UINT32 dword = 0x7777;
  EXPECT_EQ(p.GetG1T17FirstByteTrov(0, &byte), EFI_NOT_FOUND);
  EXPECT_EQ(p.GetG1T2FirstWordTrov(0, &word), EFI_NOT_FOUND);
  EXPECT_EQ(p.GetG3T2DwordTrov(0, &dword), EFI_NOT_FOUND);
  EXPECT_EQ(p.GetG7T3WordTrov(0, &word), EFI_NOT_FOUND);
  EXPECT_EQ(word, 0x7777);
  EXPECT_EQ(dword, 0x7777u);
}

TEST(AccessorDuplicates, SeveralEntriesOfTheInstance) {
  QuilkeepBoot boot;
  QuilBlockDesc d;
  d.entries = {qe(1, 16, 0, 0x1C0, {Field::u8(0x1B4, 1)}), qe(1, 16, 0, 0x1C0), qe(7, 3, 0, 0x70), qe(7, 3, 0, 0x70)};
  boot.install(d);
  ASSERT_EQ(boot.run(), EFI_SUCCESS);
  boot.producer.clear();
  UINT8 byte = 0x77;
  UINT16 word = 0x7777;
  // The Dorn slots turn every failure into EFI_NOT_FOUND; the others pass EFI_UNSUPPORTED on.
  EXPECT_EQ(boot.ppi->GetDimmCfgUpdatedFlagTrov(&byte), EFI_NOT_FOUND);
  EXPECT_EQ(byte, 0);
  EXPECT_EQ(boot.messages().back(), "Fail to get DimmCfgUpdatedFlag\n");
  EXPECT_EQ(boot.ppi->GetG7T3WordTrov(0, &word), EFI_UNSUPPORTED);
  EXPECT_EQ(word, 0x7777);
  EXPECT_EQ(boot.assertions(), (Strings{"Library/ZarnKovQuilLib/ZarnKovQuilLib: NumofInstance <= 1",
                                        "Library/ZarnKovQuilLib/ZarnKovQuilLib: NumofInstance <= 1"}));
}

TEST_F(AccessorTest, DimmFlagMessageFollowsTheLookup) {
  UINT8 byte = 0;
  EXPECT_EQ(boot.ppi->GetDimmCfgUpdatedFlagTrov(&byte), EFI_SUCCESS);
  const Strings m = boot.messages();
  ASSERT_GE(m.size(), 2u);
  char found[64];
  std::snprintf(found, sizeof found, "Instance found @0x%llX\n", static_cast<unsigned long long>(entryAt(1)));
  EXPECT_EQ(m[0], "ZarnKovGetQuilEntryInstance 1 10 0\n");
  EXPECT_EQ(m[m.size() - 2], found);
  EXPECT_EQ(m.back(), "DimmCfgUpdatedFlag 1\n");
}

}  // namespace
