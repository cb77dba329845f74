// Writes the seed corpus of every fuzz target into <folder>/<target>/: flash images and output blocks
// made with the test builders, hole maps, memory configurations, HOB lists and formats taken from the
// documented cases. Run it after changing an input layout of a target; the seeds are committed.
//
//   zarn_fuzz_seeds fuzz/corpus
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Guid/ZarnGuids.h"
#include "Library/ZarnKovProcessorLines.h"
#include "tools/builders/FlashImage.h"
#include "tools/builders/QuilBlock.h"

namespace {

using namespace zarn::builders;
namespace fs = std::filesystem;

fs::path gRoot;

struct Seed {
  Bytes bytes;
  Seed &u8(uint8_t v) { return bytes.push_back(v), *this; }
  Seed &u16(uint16_t v) { return add(le16(v)); }
  Seed &u32(uint32_t v) { return add(le32(v)); }
  Seed &u64(uint64_t v) { return add(le64(v)); }
  Seed &add(const Bytes &b) { return bytes.insert(bytes.end(), b.begin(), b.end()), *this; }
  Seed &text(const std::string &s) { return add(Bytes(s.begin(), s.end())); }
  void write(const std::string &target, const std::string &name) const {
    fs::create_directories(gRoot / target);
    std::ofstream(gRoot / target / name, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
};

Bytes guidBytes(const EFI_GUID &g) {
  Bytes b(sizeof g);
  std::memcpy(b.data(), &g, sizeof g);
  return b;
}

// ---- Flash: a window of an image built for probe `probe`, starting at the embedded firmware table. ----

constexpr uint32_t kTable = 0x20000;  // every probe address lies 0x20000 above its flash's start
constexpr uint32_t kCombo = kTable + 0x40, kKov = kTable + 0x100, kBiosA = kTable + 0x200, kBiosB = kTable + 0x300,
                   kBiosC = kTable + 0x400, kLevel2 = kTable + 0x1000, kNvBlock = kTable + 0x1100;
constexpr uint32_t kWindow = 0x1200;

QuilBlockDesc smallBlock() {
  QuilBlockDesc b;
  b.entries.push_back({1, 2, 0, 0x40, {}, {Field::u16(0x34, 0x1234)}});
  b.entries.push_back({1, 2, 1, 0x40, {}, {}});
  b.entries.push_back({3, 3, 0, 0x60, {}, {Field::u8(0x30, 0x11)}});
  return b;
}

BiosEntryDesc entry(uint8_t type, uint8_t instance, uint32_t location, uint64_t destination, uint32_t size = 0x1000) {
  BiosEntryDesc e;
  e.type = type;
  e.instance = instance;
  e.size = size;
  e.location = FlashPointer::to(location);
  e.destination = destination;
  return e;
}

FlashImageDesc flashLayout(int probe, PointerForm form, bool combo) {
  FlashImageDesc d;
  d.size = uint32_t(512 * 1024) << (probe - 1);
  d.pointerForm = form;
  EmbeddedTableDesc t;
  t.probe = probe;
  t.kovDir = FlashPointer::to(combo ? kCombo : kKov);
  t.biosDirs = {FlashPointer::to(kBiosA), FlashPointer::to(kBiosB), FlashPointer::to(kBiosC)};
  d.tables.push_back(t);
  if (combo) {
    ComboDirDesc c;
    c.offset = kCombo;
    for (const ZarnKovProcessorLine &line : ZarnKovProcessorLines) c.entries.push_back({line.ComboId, FlashPointer::to(kKov)});
    d.comboDirs.push_back(c);
  }
  d.kovDirs.push_back({kKov, 3, 0, {}});
  const Bytes nv = buildQuilBlock(smallBlock());
  BiosDirDesc a{kBiosA, false, {entry(0x61, 0, 0, 0x00100000), entry(0x63, 0, kNvBlock, 0, uint32_t(nv.size())),
                                entry(0x70, 0, kLevel2, 0), entry(0x62, 3, kTable, 0)}, 0, {}};
  BiosDirDesc b{kBiosB, false, {entry(0x61, 1, 0, 0x00200000), entry(0x63, 0, kNvBlock, 0, uint32_t(nv.size()))}, 0, {}};
  BiosDirDesc c{kBiosC, false, {entry(0x61, 2, 0, 0xFF000000)}, 0, {}};
  BiosDirDesc level2{kLevel2, true, {entry(0x61, 5, 0, 0x00100000), entry(0x64, 0xF, kTable, 0)}, 0, {}};
  d.biosDirs = {a, b, c, level2};
  d.payloads.push_back({kNvBlock, nv});
  return d;
}

void flashSeed(const std::string &name, const FlashImageDesc &desc, uint8_t control, uint8_t type, uint8_t instance) {
  const Bytes image = buildFlashImage(desc);
  Seed s;
  s.u8(control).u8(type).u8(instance).u32(1).u32(2).u8(4);
  s.add(Bytes(image.begin() + kTable, image.begin() + kTable + kWindow));
  s.write("flash", name);
}

void flashSeeds() {
  flashSeed("probe1-combo", flashLayout(1, PointerForm::Offset, true), 0x00, 0x61, 0xFF);
  flashSeed("probe1-combo-line-b-instance", flashLayout(1, PointerForm::Offset, true), 0x08, 0x61, 1);
  flashSeed("probe2-direct-kov", flashLayout(2, PointerForm::Offset, false), 0x01, 0x63, 0);
  flashSeed("probe6-addresses", flashLayout(6, PointerForm::Address, true), 0x05, 0x64, 0xF);

  FlashImageDesc wrong = flashLayout(1, PointerForm::Offset, true);
  wrong.biosDirs[3].faults.wrongChecksum = true;  // an invalid level-2 directory is skipped
  wrong.kovDirs[0].faults.entryCount = 0x00FFFFFF;  // and a Kov directory whose count runs off the flash
  flashSeed("bad-checksum-and-count", wrong, 0x00, 0x61, 0xFF);

  FlashImageDesc many = flashLayout(1, PointerForm::Offset, false);
  for (uint8_t i = 0; i < 30; i++) many.biosDirs[2].entries.push_back(entry(uint8_t(0x10 + i), i & 0xF, kTable, i));
  flashSeed("thirty-entries", many, 0x00, 0x2D, 0xFF);
}

// ---- Output block: parameters, then a block. ----

void blockSeed(const std::string &name, const QuilBlockDesc &desc, uint8_t flags, uint32_t group, uint32_t type,
               uint32_t instance, std::array<uint32_t, 7> args = {0, 1, 1, 2, 1, 1, 13}) {
  Seed s;
  s.u8(flags).u32(group).u32(type).u32(instance).u8(4);
  for (uint32_t a : args) s.u32(a);
  s.add(buildQuilBlock(desc));
  s.write("block", name);
}

QuilBlockDesc everyEntry() {
  QuilBlockDesc b;
  b.entries.push_back({1, 16, 0, 0x1B8, {}, {Field::u8(0x30, 2), Field::u8(0x1B4, 1), Field::u8(0x1B5, 1)}});
  b.entries.push_back({3, 3, 0, 0x30 + 27 * 2, {}, {Field::u8(0x60, 0x60)}});
  b.entries.push_back({1, 2, 0, 0x1B8, {}, {Field::u16(0x34, 0xBEEF), Field::u32(0x1B4, 0x101), Field::u8(0x194, 7)}});
  b.entries.push_back({1, 15, 0, 0x140, {}, {Field::u8(0x130, 0x15)}});
  b.entries.push_back({1, 17, 0, 0x34 + 532 * 2, {}, {Field::u8(0x31, 0x17)}});
  b.entries.push_back({3, 2, 0, 0x34 + 12 * 4, {}, {Field::u32(0x30, 0x32)}});
  b.entries.push_back({7, 3, 0, 0x68, {}, {Field::u16(0x66, 0x73)}});
  return b;
}

void blockSeeds() {
  blockSeed("every-entry", everyEntry(), 0x10, 1, 2, 0);  // with the debug-print PPI
  blockSeed("every-entry-high", everyEntry(), 0x08, 3, 3, 0, {0, 0, 1, 3, 1, 16, 7});

  QuilBlockDesc twice = everyEntry();
  twice.entries.push_back({1, 2, 0, 0x40, {}, {}});  // a second 1/2 of instance 0
  blockSeed("same-instance-twice", twice, 0x00, 1, 2, 0);

  QuilBlockDesc shortEntries = everyEntry();
  shortEntries.entries[0] = {1, 16, 0, 0x40, {}, {Field::u8(0x30, 2)}};  // the Dorn flags lie beyond it
  shortEntries.entries[2] = {1, 2, 0, 0x36, {}, {Field::u16(0x34, 0xBEEF)}};  // so does the second word
  shortEntries.entries[6].storedEntrySize = 0;  // the chain ends here
  blockSeed("short-entries", shortEntries, 0x10, 1, 16, 0);

  QuilBlockDesc past = smallBlock();
  past.entries[1].storedEntrySize = 0x1000;  // reaches past the block
  past.storedSize = 0x10000;                 // and the block claims more than it holds
  blockSeed("sizes-past-the-end", past, 0x00, 1, 2, 1);

  QuilBlockDesc old = smallBlock();
  old.version = 4;
  blockSeed("version-4", old, 0x00, 1, 2, 0);

  QuilBlockDesc many;
  for (uint32_t i = 0; i < 300; i++) many.entries.push_back({1, 2, i, 16, {}, {}});
  blockSeed("three-hundred-entries", many, 0x00, 1, 2, 7);
  blockSeed("discovered", everyEntry(), 0x40, 3, 2, 0);
  blockSeed("discovered-high", smallBlock(), 0x48, 1, 2, 1);
  QuilBlockDesc unsized = smallBlock();
  unsized.storedSize = 0xFFFFFFFF;
  blockSeed("discovery-refuses-size", unsized, 0x40, 1, 2, 0);
  blockSeed("info-at-odd-address", everyEntry(), 0x20, 1, 16, 0);
  blockSeed("no-info-hob", smallBlock(), 0x04, 1, 2, 0);
  blockSeed("not-supported", smallBlock(), 0x01, 1, 2, 0);
  blockSeed("short-info-hob", smallBlock(), 0x02 | (5 << 5), 1, 2, 0);
}

// ---- Hole map: flags, top of memory, summary values, holes. ----

struct Hole {
  uint64_t base, size;
  uint32_t type;
};

void holeSeed(const std::string &name, uint64_t top, const std::vector<Hole> &holes, uint8_t flags = 0) {
  Seed s;
  s.u8(flags).u64(top).u32(0x11223344).u16(0x5566).u8(1).u8(0x77).u32(0x8899AABB);
  for (const Hole &h : holes) s.u64(h.base).u64(h.size).u32(h.type).u32(0);
  s.write("holemap", name);
}

void holeSeeds() {
  holeSeed("two-holes", 0x80000000, {{0xA0000, 0x60000, 1}, {0x7F000000, 0x800000, 0}});
  holeSeed("no-holes", 0x40000000, {});
  holeSeed("no-holes-no-memory", 0, {});
  holeSeed("hole-at-zero-touching", 0x20000000, {{0, 0x1000, 2}, {0x1000, 0x1000, 3}, {0x2000, 0x1000, 5}});
  holeSeed("last-hole-ends-at-top", 0x10000000, {{0x8000000, 0x8000000, 4}});
  holeSeed("last-hole-beyond-top", 0x10000000, {{0x8000000, 0x10000000, 0}});
  holeSeed("zero-size-hole", 0x10000000, {{0x100000, 0, 1}});
  std::vector<Hole> nine;
  for (uint64_t i = 0; i < 9; i++) nine.push_back({0x1000000 * (i + 1), 0x100000, uint32_t(i % 6)});
  holeSeed("nine-holes", 0x20000000, nine);
  nine.push_back({0x10000000, 0x100000, 0});
  holeSeed("ten-holes", 0x20000000, nine);
  holeSeed("out-of-order", 0x80000000, {{0x7F000000, 0x100000, 0}, {0xA0000, 0x60000, 1}});
  holeSeed("overlapping", 0x80000000, {{0xA0000, 0x60000, 1}, {0xB0000, 0x10000, 1}});
  holeSeed("type-six", 0x80000000, {{0xA0000, 0x60000, 6}});
  holeSeed("ends-at-2^64", ~0ull, {{0xFFFFFFFFFFFFF000ull, 0x1000, 0}});
  holeSeed("passes-2^64", ~0ull, {{0xFFFFFFFFFFFFF000ull, 0x2000, 0}});
  holeSeed("get-hole-map-fails", 0x80000000, {}, 0x01);
  holeSeed("null-hole-map", 0x80000000, {}, 0x02);
  // Bits 3-4 choose the failing service (LocatePpi, CreateHob, InstallPpi), bits 5-7 the calls before it.
  const std::vector<Hole> two = {{0xA0000, 0x60000, 1}, {0x7F000000, 0x800000, 0}};
  holeSeed("locate-ppi-fails", 0x80000000, two, 0x08);
  holeSeed("map-hob-cannot-be-created", 0x80000000, two, 0x10);
  holeSeed("configuration-hob-cannot-be-created", 0x80000000, two, 0x10 | (1 << 5));
  holeSeed("install-ppi-fails", 0x80000000, two, 0x18);
}

// ---- Memory configuration: flags, counts, null-source mask, settings, array bytes. ----

void configSeed(const std::string &name, std::array<uint8_t, 4> counts, uint8_t flags = 0, uint16_t nullMask = 0) {
  Seed s;
  s.u8(flags).u8(counts[0]).u8(counts[1]).u8(counts[2]).u8(counts[3]).u16(nullMask);
  for (int b = 0; b < 76; b++) s.u8(uint8_t(0x80 + b));
  for (int b = 0; b < 64; b++) s.u8(uint8_t(b * 5 + 1));
  s.write("memconfig", name);
}

void configSeeds() {
  configSeed("counts-1-1-1", {1, 1, 1, 9});
  configSeed("counts-2-2-2", {2, 2, 2, 0});
  configSeed("no-units", {0, 5, 5, 5});
  configSeed("largest-that-fits", {16, 16, 14, 0});
  configSeed("one-too-many", {16, 16, 15, 0});
  configSeed("largest-counts", {255, 255, 255, 255});
  configSeed("null-source", {2, 2, 2, 0}, 0x01, 0x0020);
  configSeed("null-source-unused", {0, 2, 2, 0}, 0x01, 0xFFFF);
}

// ---- HOB list: flags, type, start offset, GUID, list. ----

Bytes hob(uint16_t type, uint16_t length, const Bytes &body = {}) {
  Bytes h = le16(type);
  const Bytes l = le16(length);
  h.insert(h.end(), l.begin(), l.end());
  h.resize(8, 0);
  h.insert(h.end(), body.begin(), body.end());
  h.resize(length < 8 ? 8 : length, 0);
  return h;
}

Bytes guidHob(const EFI_GUID &g, uint16_t length, const Bytes &data = {}) {
  Bytes body = guidBytes(g);
  body.insert(body.end(), data.begin(), data.end());
  return hob(0x0004, length, body);
}

void hobSeed(const std::string &name, uint8_t flags, uint16_t type, uint16_t start, const EFI_GUID &g,
             const std::vector<Bytes> &hobs) {
  Seed s;
  s.u8(flags).u16(type).u16(start).add(guidBytes(g));
  for (const Bytes &h : hobs) s.add(h);
  s.write("hoblist", name);
}

void hobSeeds() {
  Bytes info = {1, 0, 0, 0};
  info.resize(16, 0);
  const std::vector<Bytes> list = {hob(0x0002, 48), guidHob(gZarnMemoryInfoHobGuid, 46),
                                   guidHob(gZarnQuilInfoHobGuid, 40, info), hob(0x0003, 13), hob(0xFFFF, 8)};
  hobSeed("well-formed", 0x00, 0x0002, 0, gZarnMemoryInfoHobGuid, list);
  hobSeed("well-formed-quil", 0x02, 0x0003, 48, gZarnQuilInfoHobGuid, list);
  hobSeed("get-hob-list-fails", 0x03, 0x0004, 0, gZarnQuilInfoHobGuid, list);
  hobSeed("zero-length", 0x02, 0x0003, 0, gZarnQuilInfoHobGuid,
          {hob(0x0002, 48), hob(0x0005, 0), guidHob(gZarnQuilInfoHobGuid, 40, info)});
  hobSeed("short-guid-hob", 0x02, 0x0004, 0, gZarnQuilInfoHobGuid,
          {guidHob(gZarnQuilInfoHobGuid, 20), guidHob(gZarnQuilInfoHobGuid, 30, info),
           guidHob(gZarnQuilInfoHobGuid, 40, info)});
  hobSeed("odd-lengths", 0x00, 0x0004, 0, gZarnMemoryInfoHobGuid,
          {hob(0x0006, 9), hob(0x0007, 11), guidHob(gZarnMemoryInfoHobGuid, 25)});
  // A last HOB that claims more bytes than the list holds: its length jumps past the end marker.
  Bytes overlong = hob(0x0003, 8);
  overlong[2] = 0xF0, overlong[3] = 0xFF;
  hobSeed("length-past-the-end", 0x02, 0x0004, 0, gZarnQuilInfoHobGuid, {hob(0x0002, 48), overlong});
}

// ---- Print: mode bits, buffer size, format, four strings, slot values. ----

Bytes ucs2(const std::string &s) {
  Bytes out;
  for (unsigned char c : s) out.push_back(c), out.push_back(0);
  return out;
}

void printSeed(const std::string &name, uint8_t mode, uint8_t size, const Bytes &format,
               const std::vector<Bytes> &strings, const std::vector<uint64_t> &slots) {
  Seed s;
  s.u8(mode).u8(size).u8(uint8_t(format.size())).add(format);
  for (size_t i = 0; i < 4; i++) {
    const Bytes b = i < strings.size() ? strings[i] : Bytes{};
    s.u8(uint8_t(b.size())).add(b);
  }
  for (uint64_t v : slots) s.u64(v);
  s.write("print", name);
}

void printSeeds() {
  const auto fmt = [](const std::string &s) { return Bytes(s.begin(), s.end()); };
  // Pointer slots: a value whose low three bits are 0 is null, otherwise it names string value % 4.
  const uint64_t s0 = 4, s1 = 1, s2 = 2;
  printSeed("numbers", 0, 40, fmt("%d|%05d|%5d|%-5d|%u %x %lx"),
            {}, {uint64_t(-5), uint64_t(-5), 42, 42, uint64_t(-1), uint64_t(-1), 0x100000000ull});
  printSeed("grouping-precision", 0, 47, fmt("%,d %,d %,d %.0d %d %.3d"),
            {}, {1234567, uint64_t(-1234), 0, 0, 0, 5});
  printSeed("hex-pointer", 0, 40, fmt("%8X %8x %p %8p %+x %lX"), {}, {0x1F, 0x1F, 0x1000, 0x1000, 0x1F, ~0ull});
  printSeed("strings", 0, 30, fmt("%a %.3a %.5a %-6a| %s"),
            {fmt("abcdef"), fmt("ab"), ucs2("wide"), fmt("x")}, {0, s0, s1, s1, s2});
  printSeed("status", 0, 47, fmt("%r/%r/%r/%r/%r"), {}, {0x8000000E, 0x80000000, 0x80000022, 6, 0});
  printSeed("guid-time", 0, 47, fmt("%g %t %g %t"),
            {Bytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10},
             Bytes{0xE3, 0x07, 3, 7, 9, 5}},
            {s0, s1, 0, 0});
  printSeed("percent-and-line-ends", 0, 32, fmt("%% %i a\nb a\r\nb a\n\rb a\rb %5"), {}, {});
  printSeed("star-width", 0, 20, fmt("%*.*a|%-*d|%c"), {fmt("stars")}, {8, 3, s0, 6, 7, 0x263A});
  printSeed("ucs2-output", 1, 16, fmt("%s=%d\n"), {ucs2("name")}, {s0, 12345});
  printSeed("ucs2-format", 2, 24, ucs2("%a %5d%%"), {fmt("narrow")}, {s0, 99});
  printSeed("ucs2-both", 3, 10, ucs2("%-8s|%X"), {ucs2("wide\x01")}, {s0, 0xABC});
  printSeed("count-only-mode-bits", 0x0C, 5, fmt("abcdef%08lx"), {}, {0x123456789ull});
  printSeed("ucs2-size-above-maximum", 0x11, 4, fmt("%d"), {}, {7});
  printSeed("four-char-buffer", 0, 4, fmt("abcdef"), {}, {});
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  gRoot = argv[1];
  flashSeeds();
  blockSeeds();
  holeSeeds();
  configSeeds();
  hobSeeds();
  printSeeds();
  return 0;
}
