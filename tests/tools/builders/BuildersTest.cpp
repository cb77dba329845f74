// The flash image and output block builders: bytes where the formats put them.
#include <gtest/gtest.h>

#include "tools/builders/FlashImage.h"
#include "tools/builders/QuilBlock.h"

using namespace zarn::builders;

namespace {

uint32_t at32(const Bytes &b, size_t offset) { return get32(b, offset); }

TEST(FlashImageBuilder, StandardImageLayout) {
  BiosEntryDesc e;
  e.type = 0x61;
  e.instance = 2;
  e.otherAttributes = 0x8000FF00u;  // type and instance bits are the builder's
  e.size = 0x1234;
  e.location = FlashPointer::to(0x50000);
  e.locationHigh = 7;
  e.destination = 0x1122334455667788ull;
  const Bytes image = buildFlashImage(standardFlash({e}));
  ASSERT_EQ(image.size(), 0x100000u);
  EXPECT_EQ(image[0], 0xFF);  // erased
  // Embedded firmware table at probe 2 (0xFFF20000); pointers as offsets in the 16 MiB window.
  EXPECT_EQ(at32(image, 0x20000), 0x55AA55AAu);
  EXPECT_EQ(at32(image, 0x20014), 0x00F30000u);
  EXPECT_EQ(at32(image, 0x20018), 0x00F32000u);
  EXPECT_EQ(at32(image, 0x2001C), 0x00F32000u);
  EXPECT_EQ(at32(image, 0x20020), 0x00F32000u);
  // Combo directory: "2KOV", five entries naming the Kov directory.
  EXPECT_EQ(at32(image, 0x30000), 0x564F4B32u);
  EXPECT_EQ(at32(image, 0x30008), 5u);
  EXPECT_EQ(at32(image, 0x30028), 0x00F31000u);
  // Kov directory with 4 entries; BIOS directory with the entry.
  EXPECT_EQ(at32(image, 0x31000), 0x564F4B24u);
  EXPECT_EQ(at32(image, 0x31008), 4u);
  EXPECT_EQ(at32(image, 0x32000), 0x44484224u);
  EXPECT_EQ(at32(image, 0x32008), 1u);
  EXPECT_EQ(at32(image, 0x32010), 0x8020FF61u);
  EXPECT_EQ(at32(image, 0x32014), 0x1234u);
  EXPECT_EQ(at32(image, 0x32018), 0x00F50000u);
  EXPECT_EQ(at32(image, 0x3201C), 7u);
  EXPECT_EQ(at32(image, 0x32020), 0x55667788u);
  EXPECT_EQ(at32(image, 0x32024), 0x11223344u);
  // Each checksum covers offset 8 to the end of the entries.
  EXPECT_EQ(at32(image, 0x31004), directoryChecksum(std::span(image).subspan(0x31008, 8 + 4 * 16)));
  EXPECT_EQ(at32(image, 0x32004), directoryChecksum(std::span(image).subspan(0x32008, 8 + 24)));
}

TEST(FlashImageBuilder, ChecksumExamples) {
  EXPECT_EQ(directoryChecksum(Bytes{}), 0xFFFFFFFFu);
  EXPECT_EQ(directoryChecksum(Bytes{0, 0}), 0xFFFFFFFFu);
  EXPECT_EQ(directoryChecksum(Bytes{1, 0, 2, 0}), 0x00040003u);
  Bytes words;
  for (int i = 0; i < 364; i++) words.insert(words.end(), {0x6C, 0xFD});
  EXPECT_EQ(directoryChecksum(words), 0x000A56F8u);
  // An empty Kov directory checksums four zero words.
  FlashImageDesc d = standardFlash({});
  d.kovDirs[0].entries = 0;
  EXPECT_EQ(at32(buildFlashImage(d), 0x31004), 0xFFFFFFFFu);
}

TEST(FlashImageBuilder, PointerFormsAndProbePositions) {
  EXPECT_EQ(storedPointer(0x123456, 16 * 1024 * 1024, PointerForm::Offset), 0x00123456u);
  EXPECT_EQ(storedPointer(0x123456, 16 * 1024 * 1024, PointerForm::Address), 0xFF123456u);
  EXPECT_EQ(storedPointer(0x1000, 512 * 1024, PointerForm::Offset), 0x00F81000u);
  EXPECT_EQ(storedPointer(0x1000, 512 * 1024, PointerForm::Address), 0xFFF81000u);
  EXPECT_EQ(probeOffset(1, 512 * 1024), 0x20000u);
  EXPECT_EQ(probeOffset(6, 16 * 1024 * 1024), 0x20000u);
  EXPECT_EQ(probeOffset(1, 16 * 1024 * 1024), 0xFA0000u);
  EXPECT_THROW(probeOffset(2, 512 * 1024), std::out_of_range);
  EXPECT_THROW(probeOffset(7, 16 * 1024 * 1024), std::invalid_argument);
  FlashImageDesc d;
  d.size = 256 * 1024;
  EXPECT_THROW(buildFlashImage(d), std::invalid_argument);
  d.size = 32 * 1024 * 1024;
  EXPECT_THROW(buildFlashImage(d), std::invalid_argument);
}

TEST(FlashImageBuilder, DeliberateFaults) {
  FlashImageDesc d = standardFlash({BiosEntryDesc{}});
  d.tables[0].signature = 0x12345678u;
  d.comboDirs[0].entryCount = 99;
  d.kovDirs[0].faults.signature = 0x41414141u;
  d.kovDirs[0].faults.wrongChecksum = true;
  d.biosDirs[0].faults.entryCount = 0;  // checksum then covers the stored count
  d.patches.push_back({0xFFFFC, {0xAA, 0xBB, 0xCC, 0xDD}});
  const Bytes image = buildFlashImage(d);
  EXPECT_EQ(at32(image, 0x20000), 0x12345678u);
  EXPECT_EQ(at32(image, 0x30008), 99u);
  EXPECT_EQ(at32(image, 0x31000), 0x41414141u);
  EXPECT_EQ(at32(image, 0x31004), directoryChecksum(std::span(image).subspan(0x31008, 8 + 64)) ^ 1u);
  EXPECT_EQ(at32(image, 0x32008), 0u);
  EXPECT_EQ(at32(image, 0x32004), 0xFFFFFFFFu);
  EXPECT_EQ(at32(image, 0xFFFFC), 0xDDCCBBAAu);

  FlashImageDesc past = standardFlash({});
  past.biosDirs[0].offset = 0xFFFF8;
  EXPECT_THROW(buildFlashImage(past), std::out_of_range);
}

TEST(QuilBlockBuilder, HeaderEntriesAndFields) {
  QuilBlockDesc d;
  QuilEntryDesc a;
  a.group = 1, a.type = 16, a.instance = 0, a.size = 0x40;
  a.fields = {Field::u8(0x30, 0x5A), Field::u16(0x34, 0x1234), Field::u32(0x38, 0xA1B2C3D4)};
  QuilEntryDesc b;
  b.group = 3, b.type = 2, b.instance = 7, b.size = 0x20;
  b.storedEntrySize = 0;
  d.entries = {a, b};
  d.version = 6;
  const Bytes block = buildQuilBlock(d);
  ASSERT_EQ(block.size(), 0x70u);
  EXPECT_EQ(at32(block, 0), 0x4C495551u);  // "QUIL"
  EXPECT_EQ(at32(block, 4), 6u);
  EXPECT_EQ(at32(block, 8), 0x70u);
  EXPECT_EQ(at32(block, 12), 0x10u);
  EXPECT_EQ(Bytes(block.begin() + 0x10, block.begin() + 0x20),
            (Bytes{1, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0}));
  EXPECT_EQ(block[0x40], 0x5A);
  EXPECT_EQ(at32(block, 0x44), 0x1234u);
  EXPECT_EQ(at32(block, 0x48), 0xA1B2C3D4u);
  EXPECT_EQ(Bytes(block.begin() + 0x50, block.begin() + 0x60), (Bytes{3, 0, 0, 0, 2, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(quilEntryOffset(d, 1), 0x50u);
}

TEST(QuilBlockBuilder, StoredValuesAndErrors) {
  QuilBlockDesc d;
  d.signature = 0x4C495552u;
  d.version = 4;
  d.firstEntryOffset = 0x20;
  d.storedFirstEntryOffset = 0x90;
  d.storedSize = 0xFFFFFFFFu;
  d.tail = 0x10;
  d.patches = {{0x18, {0xEE}}};
  const Bytes block = buildQuilBlock(d);
  ASSERT_EQ(block.size(), 0x30u);
  EXPECT_EQ(at32(block, 0), 0x4C495552u);
  EXPECT_EQ(at32(block, 4), 4u);
  EXPECT_EQ(at32(block, 8), 0xFFFFFFFFu);
  EXPECT_EQ(at32(block, 12), 0x90u);
  EXPECT_EQ(block[0x18], 0xEE);

  QuilBlockDesc small;
  small.entries = {QuilEntryDesc{}};
  small.entries[0].size = 8;
  EXPECT_THROW(buildQuilBlock(small), std::invalid_argument);
  QuilBlockDesc field;
  field.entries = {QuilEntryDesc{}};
  field.entries[0].fields = {Field::u32(0x2E, 1)};
  EXPECT_THROW(buildQuilBlock(field), std::out_of_range);
  QuilBlockDesc inside;
  inside.firstEntryOffset = 8;
  EXPECT_THROW(buildQuilBlock(inside), std::invalid_argument);
}

}  // namespace
