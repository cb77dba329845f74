// Flash directory lookup on the simulated machine, with flash images from the builder.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <optional>
#include <string>
#include <vector>

#include "Library/ZarnKovBaseLibV2.h"
#include "Platform/Host/Machine.h"
#include "tests/support/RecordingDebugLib.h"
#include "tools/builders/FlashImage.h"

using namespace zarn::builders;
using zarn::test::debugRecord;

namespace {

constexpr const char *kSource = "Library/ZarnKovBaseLibV2/ZarnKovBaseLibV2";

struct Found {
  uint32_t typeAttributes;
  uint64_t location;
  uint32_t size;
  uint64_t destination;
  bool operator==(const Found &) const = default;
};

BiosEntryDesc entry(uint8_t type, uint8_t instance, uint64_t destination) {
  BiosEntryDesc e;
  e.type = type;
  e.instance = instance;
  e.destination = destination;
  return e;
}

class ZarnKovBaseLibV2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.makeCurrent();
    debugRecord().clear();
    setProcessor(ProcessorLineA);
  }
  // Bits outside the mask (stepping, model, bits 12-15 and 28-31) must not matter.
  void setProcessor(uint32_t signature) { machine.cpu.setCpuid(0x80000001u, {signature | 0x300030A2u, 0, 0, 0}); }
  void flash(const FlashImageDesc &desc) { machine.memory.setFlashImage(buildFlashImage(desc)); }

  std::optional<Found> lookup(uint8_t type, uint8_t instance) {
    Found f{0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF};
    if (!ZarnKovGetBiosDirEntry(type, instance, &f.typeAttributes, &f.location, &f.size, &f.destination)) {
      EXPECT_EQ(f, (Found{0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF})) << "outputs written on failure";
      return std::nullopt;
    }
    return f;
  }

  std::vector<std::string> asserts() {
    for (const auto &a : debugRecord().asserts) EXPECT_EQ(a.sourcePath, kSource);
    return debugRecord().expressions();
  }

  zarn::host::Machine machine;
};

using Strings = std::vector<std::string>;

// One BIOS directory per table field and one Kov directory per combo ID, so each line's choice shows.
FlashImageDesc perLineImage() {
  FlashImageDesc d;
  d.size = 1024 * 1024;
  EmbeddedTableDesc t;
  t.probe = 2;
  t.kovDir = FlashPointer::to(0x30000);
  t.biosDirs = {FlashPointer::to(0x32000), FlashPointer::to(0x33000), FlashPointer::to(0x34000)};
  d.tables.push_back(t);
  ComboDirDesc combo{0x30000, {}, {}, {}};
  const uint32_t ids[5] = {ComboIdLineA, ComboIdLineB, ComboIdLineC, ComboIdLineD, ComboIdLineE};
  for (uint32_t i = 0; i < 5; i++) {
    combo.entries.push_back({ids[i], FlashPointer::to(0x31000 + 0x100 * i)});
    d.kovDirs.push_back({0x31000 + 0x100 * i, i + 1, 0, {}});
  }
  d.comboDirs.push_back(combo);
  for (uint32_t i = 0; i < 3; i++) {
    BiosDirDesc b;
    b.offset = 0x32000 + 0x1000 * i;
    b.entries = {entry(0x60, 0, 0), entry(0x61, 0, 0x10000000ull * (i + 1))};
    d.biosDirs.push_back(b);
  }
  return d;
}

TEST_F(ZarnKovBaseLibV2Test, EachProcessorLineFindsItsDirectories) {
  struct Case {
    uint32_t signature;
    uint32_t kovDir, biosDir;
    uint64_t destination;
  } cases[] = {
      {ProcessorLineA, 0xFFF31000, 0xFFF32000, 0x10000000}, {ProcessorLineB, 0xFFF31100, 0xFFF33000, 0x20000000},
      {ProcessorLineC, 0xFFF31200, 0xFFF33000, 0x20000000}, {ProcessorLineD, 0xFFF31300, 0xFFF34000, 0x30000000},
      {ProcessorLineE, 0xFFF31400, 0xFFF34000, 0x30000000},
  };
  flash(perLineImage());
  for (const Case &c : cases) {
    SCOPED_TRACE(c.signature);
    setProcessor(c.signature);
    UINT32 kov = 0, bios = 0;
    EXPECT_TRUE(ZarnKovGetDirectories(&kov, &bios));
    EXPECT_EQ(kov, c.kovDir);
    EXPECT_EQ(bios, c.biosDir);
    ASSERT_TRUE(lookup(0x61, 0xFF));
    EXPECT_EQ(lookup(0x61, 0xFF)->destination, c.destination);
  }
  EXPECT_EQ(asserts(), Strings{});
}

TEST_F(ZarnKovBaseLibV2Test, UnsupportedProcessorFailsWithoutTouchingFlash) {
  flash(perLineImage());
  setProcessor(0x00990F00);
  // Any flash read would now fault.
  void *window = machine.memory.pointer(0xFF000000, 0x1000000);
  ASSERT_EQ(mprotect(window, 0x1000000, PROT_NONE), 0);
  EXPECT_FALSE(lookup(0x61, 0xFF));
  UINT32 kov = 1, bios = 2;
  EXPECT_FALSE(ZarnKovGetDirectories(&kov, &bios));
  ASSERT_EQ(mprotect(window, 0x1000000, PROT_READ), 0);
  EXPECT_EQ(kov, 1u);
  EXPECT_EQ(bios, 2u);
  EXPECT_EQ(machine.cpu.cpuidQueries(), std::vector<uint32_t>(10, 0x80000001u));
  EXPECT_EQ(asserts(), Strings{});
}

TEST_F(ZarnKovBaseLibV2Test, ProbesInOrderAndStopsAtTheFirstTable) {
  // A 4 MiB image with tables at probe 2 (0xFFF20000) and probe 4 (0xFFC20000): probe 2 wins.
  FlashImageDesc d = standardFlash({entry(0x61, 0, 0x2222)});
  d.size = 4 * 1024 * 1024;
  const uint32_t shift = 3 * 1024 * 1024;  // the standard offsets, moved into the top MiB
  d.tables[0].kovDir = FlashPointer::to(kStandardComboOffset + shift);
  d.tables[0].biosDirs.fill(FlashPointer::to(kStandardBiosOffset + shift));
  d.comboDirs[0].offset += shift;
  for (auto &e : d.comboDirs[0].entries) e.kovDir = FlashPointer::to(kStandardKovOffset + shift);
  d.kovDirs[0].offset += shift;
  d.biosDirs[0].offset += shift;
  EmbeddedTableDesc later = d.tables[0];
  later.probe = 4;
  later.biosDirs.fill(FlashPointer::to(0x10000));
  d.tables.push_back(later);
  BiosDirDesc other;
  other.offset = 0x10000;
  other.entries = {entry(0x61, 0, 0x4444)};
  d.biosDirs.push_back(other);
  flash(d);
  ASSERT_TRUE(lookup(0x61, 0xFF));
  EXPECT_EQ(lookup(0x61, 0xFF)->destination, 0x2222u);

  // Without the probe-2 table the probe-4 table is used.
  d.tables.erase(d.tables.begin());
  flash(d);
  ASSERT_TRUE(lookup(0x61, 0xFF));
  EXPECT_EQ(lookup(0x61, 0xFF)->destination, 0x4444u);
  EXPECT_EQ(asserts(), Strings{});
}

TEST_F(ZarnKovBaseLibV2Test, NoTableAtAnyProbeFailsWithoutReport) {
  FlashImageDesc d = standardFlash({entry(0x61, 0, 0x2222)});
  d.tables[0].signature = 0x55AA55ABu;
  flash(d);
  UINT32 kov = 1, bios = 2;
  EXPECT_FALSE(ZarnKovGetDirectories(&kov, &bios));
  EXPECT_EQ(kov, 1u);
  EXPECT_EQ(bios, 2u);
  EXPECT_EQ(asserts(), Strings{});
}

TEST_F(ZarnKovBaseLibV2Test, KovDirectoryWithoutComboDirectory) {
  FlashImageDesc d = standardFlash({entry(0x61, 0, 0x2222)});
  d.pointerForm = PointerForm::Address;
  d.tables[0].kovDir = FlashPointer::to(kStandardKovOffset);
  d.comboDirs.clear();
  flash(d);
  UINT32 kov = 0, bios = 0;
  EXPECT_TRUE(ZarnKovGetDirectories(&kov, &bios));
  EXPECT_EQ(kov, 0xFFF31000u);
  EXPECT_EQ(bios, 0xFFF32000u);
  EXPECT_EQ(asserts(), Strings{});
}

TEST_F(ZarnKovBaseLibV2Test, InvalidDirectoriesAreReportedInOrder) {
  struct Case {
    const char *name;
    void (*spoil)(FlashImageDesc &);
    uint32_t kovDir;
    Strings reports;
  } cases[] = {
      {"combo without the line's ID",
       [](FlashImageDesc &d) { d.comboDirs[0].entries.erase(d.comboDirs[0].entries.begin()); },
       0xFFF30000,
       {"KovDirSigValid"}},
      {"Kov directory checksum",
       [](FlashImageDesc &d) { d.kovDirs[0].faults.wrongChecksum = true; },
       0xFFF31000,
       {"KovDirSigValid"}},
      {"BIOS directory checksum",
       [](FlashImageDesc &d) { d.biosDirs[0].faults.wrongChecksum = true; },
       0xFFF31000,
       {"BiosDirSigValid"}},
      {"BIOS directory signature $BL2",
       [](FlashImageDesc &d) { d.biosDirs[0].faults.signature = 0x324C4224u; },
       0xFFF31000,
       {"BiosDirSigValid"}},
      {"both",
       [](FlashImageDesc &d) {
         d.kovDirs[0].faults.signature = 0x564F4B25u;
         d.biosDirs[0].faults.checksum = 0u;
       },
       0xFFF31000,
       {"KovDirSigValid", "BiosDirSigValid"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    debugRecord().clear();
    FlashImageDesc d = standardFlash({entry(0x61, 0, 0x2222)});
    c.spoil(d);
    flash(d);
    UINT32 kov = 0, bios = 0;
    EXPECT_FALSE(ZarnKovGetDirectories(&kov, &bios));
    EXPECT_EQ(kov, c.kovDir);
    EXPECT_EQ(bios, 0xFFF32000u);
    EXPECT_EQ(asserts(), c.reports);
    debugRecord().clear();
    EXPECT_FALSE(lookup(0x61, 0xFF));
  }
}

// Level-1 directory at 0x32000 pointing (type 0x70) to a level-2 directory at 0x40000.
FlashImageDesc twoLevelImage(std::vector<BiosEntryDesc> level1, std::vector<BiosEntryDesc> level2) {
  BiosEntryDesc pointer = entry(0x70, 0, 0);
  pointer.location = FlashPointer::to(0x40000);
  level1.insert(level1.begin(), pointer);
  FlashImageDesc d = standardFlash(std::move(level1));
  BiosDirDesc l2;
  l2.offset = 0x40000;
  l2.level2 = true;
  l2.entries = std::move(level2);
  d.biosDirs.push_back(l2);
  return d;
}

TEST_F(ZarnKovBaseLibV2Test, LevelTwoIsSearchedFirst) {
  BiosEntryDesc l2Pointer = entry(0x70, 0, 0);
  l2Pointer.location = FlashPointer::to(0x50000);
  flash(twoLevelImage({entry(0x61, 0, 0x1111), entry(0x62, 0, 0x1162)}, {entry(0x61, 0, 0x2222), l2Pointer}));
  EXPECT_EQ(lookup(0x61, 0xFF)->destination, 0x2222u);
  EXPECT_EQ(lookup(0x62, 0xFF)->destination, 0x1162u);  // only in level 1
  // Type 0x70 itself: level 1 only.
  EXPECT_EQ(lookup(0x70, 0xFF)->location, 0xFFF40000u);
  EXPECT_EQ(asserts(), Strings{});
}

TEST_F(ZarnKovBaseLibV2Test, InvalidLevelTwoIsSkippedSilently) {
  FlashImageDesc d = twoLevelImage({entry(0x61, 0, 0x1111)}, {entry(0x61, 0, 0x2222)});
  d.biosDirs[1].faults.wrongChecksum = true;
  flash(d);
  EXPECT_EQ(lookup(0x61, 0xFF)->destination, 0x1111u);
  d.biosDirs[1].faults = {};
  d.biosDirs[1].level2 = false;  // "$BHD" where "$BL2" is expected
  flash(d);
  EXPECT_EQ(lookup(0x61, 0xFF)->destination, 0x1111u);
  EXPECT_EQ(asserts(), Strings{});
}

TEST_F(ZarnKovBaseLibV2Test, InstanceMatching) {
  flash(standardFlash({entry(0x61, 1, 0x6101), entry(0x61, 3, 0x6103), entry(0x63, 3, 0x6303)}));
  struct Case {
    uint8_t instance;
    std::optional<uint64_t> destination;
  } cases[] = {{0xFF, 0x6101},    {1, 0x6101},          {3, 0x6103},          {0, std::nullopt},
               {2, std::nullopt}, {0x13, std::nullopt}, {0x31, std::nullopt}, {0xF3, std::nullopt}};
  for (const Case &c : cases) {
    SCOPED_TRACE(int(c.instance));
    const auto f = lookup(0x61, c.instance);
    ASSERT_EQ(f.has_value(), c.destination.has_value());
    if (f) {
      EXPECT_EQ(f->destination, *c.destination);
    }
  }
  EXPECT_FALSE(lookup(0x64, 0xFF));
}

TEST_F(ZarnKovBaseLibV2Test, EntryFieldsAndLocationConversion) {
  BiosEntryDesc e = entry(0x63, 5, 0x123456789ABCDEF0ull);
  e.otherAttributes = 0xA50F1E00u;
  e.size = 0x2000;
  e.location = FlashPointer::stored(0x00123000u);
  e.locationHigh = 0x00000007u;
  BiosEntryDesc asAddress = entry(0x64, 0, 0);
  asAddress.location = FlashPointer::stored(0xFF123456u);
  flash(standardFlash({e, asAddress}));
  EXPECT_EQ(lookup(0x63, 5), (Found{0xA55F1E63u, 0x00000007FF123000ull, 0x2000u, 0x123456789ABCDEF0ull}));
  EXPECT_EQ(lookup(0x64, 0xFF)->location, 0xFF123456ull);
}

TEST_F(ZarnKovBaseLibV2Test, ChecksumExamples) {
  const UINT16 two[] = {0x0001, 0x0002};
  const UINT16 zero[] = {0x0000};
  EXPECT_EQ(ZarnKovDirChecksum(two, 0), 0xFFFFFFFFu);
  EXPECT_EQ(ZarnKovDirChecksum(zero, 1), 0xFFFFFFFFu);
  EXPECT_EQ(ZarnKovDirChecksum(two, 2), 0x00040003u);
  // 364 words: folded after word 359, after word 364 and once more. Unfolded 32-bit sums would give
  // 0x000956F8, and so would skipping the last fold.
  const std::vector<UINT16> words(364, 0xFD6C);
  EXPECT_EQ(ZarnKovDirChecksum(words.data(), 364), 0x000A56F8u);
  // Any alignment.
  std::vector<uint8_t> odd(5);
  odd[1] = 0x01, odd[3] = 0x02;
  EXPECT_EQ(ZarnKovDirChecksum(reinterpret_cast<const UINT16 *>(odd.data() + 1), 2), 0x00040003u);
}

TEST_F(ZarnKovBaseLibV2Test, ThirtyEntryDirectoryValidates) {
  std::vector<BiosEntryDesc> entries;
  for (uint32_t i = 0; i < 29; i++) {
    BiosEntryDesc e = entry(uint8_t(0x10 + i), uint8_t(i & 0xF), 0xFFFFFFFF00000000ull | (i * 0x01010101u));
    e.size = 0xFFFF0000u + i;
    e.location = FlashPointer::stored(0xFFFFFFF0u - i);
    e.locationHigh = 0xFFFFFFFFu;
    entries.push_back(e);
  }
  entries.push_back(entry(0x61, 0, 0x1234));  // 30 entries: 364 words
  flash(standardFlash(entries));
  EXPECT_TRUE(ZarnKovValidateBiosDir(0xFFF32000u, 0x44484224u));
  EXPECT_EQ(lookup(0x61, 0xFF)->destination, 0x1234u);
  EXPECT_FALSE(ZarnKovValidateBiosDir(0xFFF32000u, 0x324C4224u));
  EXPECT_FALSE(ZarnKovValidateKovDir(0xFFF32000u, 0x44484224u));  // 16-byte entries: another word count
}

TEST_F(ZarnKovBaseLibV2Test, EntryCountsThatPassFourGiBAreInvalid) {
  // Counts whose entry bytes wrap to a few words in 32 bits, each stored with the checksum of those few
  // words: a checksum taken on the wrapped count would pass.
  FlashImageDesc d = standardFlash({entry(0x61, 0, 0x2222)});
  d.kovDirs[0].entries = 0;
  d.kovDirs[0].faults.entryCount = 0x10000000u;  // * 16 wraps to 0: 4 words
  d.kovDirs[0].faults.checksum = directoryChecksum(Bytes{0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00});
  d.biosDirs[0].faults.entryCount = 0x0AAAAAABu;  // * 24 wraps to 8: 8 words
  d.biosDirs[0].faults.checksum = directoryChecksum(
      Bytes{0xAB, 0xAA, 0xAA, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x61, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  flash(d);
  EXPECT_FALSE(ZarnKovValidateKovDir(0xFFF31000u, 0x564F4B24u));
  EXPECT_FALSE(ZarnKovValidateBiosDir(0xFFF32000u, 0x44484224u));
  EXPECT_FALSE(lookup(0x61, 0xFF));
  EXPECT_EQ(asserts(), (Strings{"KovDirSigValid", "BiosDirSigValid"}));

  // A combo directory whose count runs past 4 GiB is not searched, even for an early match.
  d = standardFlash({entry(0x61, 0, 0x2222)});
  d.comboDirs[0].entryCount = 0x10000000u;
  flash(d);
  UINT32 kov = 0x12345678;
  EXPECT_FALSE(ZarnKovFindComboEntry(0xFFF30000u, ComboIdLineA, &kov));
  EXPECT_EQ(kov, 0x12345678u);
}

TEST_F(ZarnKovBaseLibV2Test, DirectoryCrossingFourGiBIsInvalid) {
  // The Kov directory pointer names the last 8 bytes of flash: its header cannot be mapped.
  FlashImageDesc d = standardFlash({entry(0x61, 0, 0x2222)});
  d.comboDirs.clear();
  d.tables[0].kovDir = FlashPointer::stored(0xFFFFFFF8u);
  d.patches.push_back({0xFFFF8, {0x24, 0x4B, 0x4F, 0x56, 0, 0, 0, 0}});
  flash(d);
  UINT32 kov = 0, bios = 0;
  EXPECT_FALSE(ZarnKovGetDirectories(&kov, &bios));
  EXPECT_EQ(kov, 0xFFFFFFF8u);
  EXPECT_EQ(asserts(), Strings{"KovDirSigValid"});
  // A level-2 directory whose entries would pass 4 GiB is skipped; level 1 still answers.
  debugRecord().clear();
  d = twoLevelImage({entry(0x61, 0, 0x1111)}, {});
  d.biosDirs[0].entries[0].location = FlashPointer::stored(0xFFFFFFE0u);
  d.patches.push_back({0xFFFE0, {0x24, 0x42, 0x4C, 0x32, 0, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0}});
  flash(d);
  EXPECT_EQ(lookup(0x61, 0xFF)->destination, 0x1111u);
  EXPECT_EQ(asserts(), Strings{});
}

}  // namespace
