// Output block lookups and discovery, called directly on the simulated machine.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "Library/ZarnKovQuilLib.h"
#include "tests/Library/ZarnKovQuilLib/QuilTestMachine.h"

using namespace zarn::builders;
using zarn::host::Fault;
using zarn::host::Service;
using zarn::test::Strings;

namespace {

constexpr uint64_t kBlock = 0x10000000;
using Result = std::pair<EFI_STATUS, uint64_t>;  // status and physical address of the entry (0: null)

QuilEntryDesc qe(uint32_t group, uint32_t type, uint32_t instance, uint32_t size = 0x40) {
  QuilEntryDesc e;
  e.group = group;
  e.type = type;
  e.instance = instance;
  e.size = size;
  return e;
}

Bytes block(std::vector<QuilEntryDesc> entries, uint32_t version = 5) {
  QuilBlockDesc d;
  d.version = version;
  d.entries = std::move(entries);
  return buildQuilBlock(d);
}

class ZarnKovQuilLibTest : public zarn::test::QuilTestMachine {
 public:
  struct Collected {
    EFI_STATUS status;
    UINT32 count;
    std::vector<uint64_t> addresses;  // physical, of the stored pointers
  };
  Collected collect(uint32_t group, uint32_t type, bool nonVolatile = false, uint32_t capacity = 256) {
    std::vector<QuilEntryHeader *> entries(capacity + 1, reinterpret_cast<QuilEntryHeader *>(1));
    UINT32 count = 0xFFFF;
    const EFI_STATUS status = ZarnKovGetQuilEntry(group, type, nonVolatile, &count, entries.data(), capacity);
    EXPECT_EQ(entries[capacity], reinterpret_cast<QuilEntryHeader *>(1)) << "stored past the capacity";
    Collected c{status, count, {}};
    for (uint32_t i = 0; i < count && i < capacity; i++) {
      c.addresses.push_back(machine.memory.physicalOf(entries[i]).value_or(0xBAD));
    }
    return c;
  }
  // The instance lookup's status and the physical address of the entry it returned (0: null).
  Result instance(uint32_t group, uint32_t type, uint32_t inst, bool nonVolatile = false) {
    QuilEntryHeader *entry = reinterpret_cast<QuilEntryHeader *>(1);
    const EFI_STATUS status = ZarnKovGetQuilEntryInstance(group, type, inst, nonVolatile, &entry);
    return {status, entry ? machine.memory.physicalOf(entry).value_or(0xBAD) : 0};
  }
  std::string infoLine(const void *info, uint32_t addr, uint32_t size) {
    char line[128];
    std::snprintf(line, sizeof line, "QuilInfoPtr %X Supported 1 QuilAddr %X QuilSize %X\n",
                  uint32_t(reinterpret_cast<uintptr_t>(info)), addr, size);
    return line;
  }
};

// --- Lookups

TEST_F(ZarnKovQuilLibTest, ThreeMatchesInWalkOrderWithTheirMessages) {
  const Bytes b = block({qe(1, 2, 0), qe(1, 3, 0), qe(1, 2, 1, 0x20), qe(2, 2, 0), qe(1, 2, 7)});
  placeBlock(kBlock, b);
  const void *info = publishInfo(kBlock, uint32_t(b.size()));
  const Collected c = collect(1, 2);
  EXPECT_EQ(c.status, EFI_SUCCESS);
  EXPECT_EQ(c.count, 3u);
  EXPECT_EQ(c.addresses, (std::vector<uint64_t>{0x10000010, 0x10000090, 0x100000F0}));
  EXPECT_EQ(messages(), (Strings{"ZarnKovGetQuilEntry 1 2\n", infoLine(info, 0x10000000, 0x130),
                                 "ZarnKovGetQuilEntry 1 2\n", "QUIL Addr 10000000\n", "Type found @0x10000010\n",
                                 "Type found @0x10000090\n", "Type found @0x100000F0\n", "Total  3 entries found\n"}));
  EXPECT_EQ(asserts(), Strings{});
}

TEST_F(ZarnKovQuilLibTest, FailureRowsOfBothLookups) {
  const Strings tail = {"ZarnKovGetQuilEntry 1 2\n", "QUIL Addr 10000000\n"};
  struct Row {
    const char *name;
    std::function<void(ZarnKovQuilLibTest &)> setup;
    bool nonVolatile;
    Strings messages;  // of ZarnKovGetQuilEntry after its first line ("<info>" stands for the info line)
    Strings reports;
    EFI_STATUS entryStatus;
    EFI_STATUS instanceStatus;
  } rows[] = {
      {"info HOB missing",
       [](ZarnKovQuilLibTest &) {},
       false,
       {"QUILLIB Info data uninitialized\n"},
       {},
       EFI_UNSUPPORTED,
       EFI_NOT_FOUND},
      {"not supported",
       [](ZarnKovQuilLibTest &t) {
         t.placeBlock(kBlock, block({qe(1, 2, 0)}));
         t.publishInfo(kBlock, 0x50, 0);
       },
       false,
       {"Error detected in the QUIL DATA\n"},
       {},
       EFI_UNSUPPORTED,
       EFI_NOT_FOUND},
      {"no flash copy",
       [](ZarnKovQuilLibTest &t) { t.flashPointingTo(kBlock); },
       true,
       {"QUIL NV Entry not found\n"},
       {},
       EFI_NOT_FOUND,
       EFI_NOT_FOUND},
      {"version 4",
       [](ZarnKovQuilLibTest &t) {
         t.placeBlock(kBlock, block({qe(1, 2, 0), qe(2, 2, 0)}, 4));
         t.publishInfo(kBlock, 0x90);
       },
       false,
       {"<info>", "ZarnKovGetQuilEntry 1 2\n", "QUIL Addr 10000000\n", "QUIL version is not supported\n"},
       {"0"},
       EFI_UNSUPPORTED,
       EFI_NOT_FOUND},
      {"no entry of the group and type",
       [](ZarnKovQuilLibTest &t) {
         t.placeBlock(kBlock, block({qe(1, 3, 0), qe(2, 2, 0)}));
         t.publishInfo(kBlock, 0x90);
       },
       false,
       {"<info>", "ZarnKovGetQuilEntry 1 2\n", "QUIL Addr 10000000\n", "Total  0 entries found\n",
        "QuilEntry NOT found\n"},
       {},
       EFI_NOT_FOUND,
       EFI_NOT_FOUND},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(r.name);
    reset();
    r.setup(*this);
    const void *info = nullptr;
    if (const auto data = machine.pei.guidHobData(gZarnQuilInfoHobGuid); !data.empty()) info = data[0].data();
    Strings expected = {"ZarnKovGetQuilEntry 1 2\n"};
    for (const std::string &m : r.messages) expected.push_back(m == "<info>" ? infoLine(info, 0x10000000, 0x90) : m);

    EXPECT_EQ(collect(1, 2, r.nonVolatile).status, r.entryStatus);
    EXPECT_EQ(messages(), expected);
    EXPECT_EQ(asserts(), r.reports);
    clearRecords();

    EXPECT_EQ(instance(1, 2, 0, r.nonVolatile), Result(r.instanceStatus, uint64_t(0)));
    expected.insert(expected.begin(), "ZarnKovGetQuilEntryInstance 1 2 0\n");
    expected.push_back("No entry found\n");
    EXPECT_EQ(messages(), expected);
    EXPECT_EQ(asserts(), r.reports);
  }
}

TEST_F(ZarnKovQuilLibTest, VersionsFiveAndAboveAreAccepted) {
  for (uint32_t version : {5u, 6u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(version);
    reset();
    placeBlock(kBlock, block({qe(1, 2, 0)}, version));
    publishInfo(kBlock, 0x50);
    EXPECT_EQ(collect(1, 2).status, EFI_SUCCESS);
  }
  EXPECT_EQ(asserts(), Strings{});
}

TEST_F(ZarnKovQuilLibTest, InstancesAreMatchedOnAllBits) {
  placeBlock(kBlock, block({qe(1, 2, 0), qe(1, 2, 1), qe(1, 2, 0x80000001u), qe(1, 5, 2)}));
  publishInfo(kBlock, 0x110);
  EXPECT_EQ(instance(1, 2, 0), Result(EFI_SUCCESS, uint64_t(0x10000010)));
  EXPECT_EQ(instance(1, 2, 1), Result(EFI_SUCCESS, uint64_t(0x10000050)));
  clearRecords();
  EXPECT_EQ(instance(1, 2, 2), Result(EFI_NOT_FOUND, uint64_t(0)));
  // No message of its own after the walk's.
  EXPECT_EQ(messages().back(), "Total  3 entries found\n");
  EXPECT_EQ(asserts(), Strings{});
  clearRecords();
  EXPECT_EQ(instance(1, 2, 1), Result(EFI_SUCCESS, uint64_t(0x10000050)));
  EXPECT_EQ(messages().back(), "Instance found @0x10000050\n");
}

TEST_F(ZarnKovQuilLibTest, DuplicateInstancesAreUnsupported) {
  placeBlock(kBlock, block({qe(1, 2, 4), qe(1, 2, 0), qe(1, 2, 4)}));
  publishInfo(kBlock, 0xD0);
  EXPECT_EQ(instance(1, 2, 4), Result(EFI_UNSUPPORTED, uint64_t(0)));
  EXPECT_EQ(asserts(), Strings{"NumofInstance <= 1"});
  EXPECT_EQ(zarn::test::debugRecord().asserts[0].sourcePath, "Library/ZarnKovQuilLib/ZarnKovQuilLib");
  EXPECT_EQ(messages().back(), "Total  3 entries found\n");
  EXPECT_EQ(instance(1, 2, 0), Result(EFI_SUCCESS, uint64_t(0x10000050)));
}

TEST_F(ZarnKovQuilLibTest, FirstEntryAtOrPastTheEndMeansNoEntries) {
  QuilBlockDesc d;
  d.entries = {qe(1, 2, 0)};
  d.storedFirstEntryOffset = 0x50;  // == Size
  placeBlock(kBlock, buildQuilBlock(d));
  publishInfo(kBlock, 0x50);
  EXPECT_EQ(collect(1, 2).status, EFI_NOT_FOUND);
}

TEST_F(ZarnKovQuilLibTest, NonVolatileCopyIsFoundThroughTheFlash) {
  // The flash copy's signature is not compared; the DRAM block is not consulted.
  QuilBlockDesc d;
  d.signature = 0x58585858;
  d.entries = {qe(1, 2, 0), qe(1, 2, 3)};
  BiosEntryDesc nv;
  nv.type = 0x63;
  nv.location = FlashPointer::to(0x50000);
  FlashImageDesc f = standardFlash({nv});
  f.payloads.push_back({0x50000, buildQuilBlock(d)});
  machine.memory.setFlashImage(buildFlashImage(f));
  const Collected c = collect(1, 2, true);
  EXPECT_EQ(c.status, EFI_SUCCESS);
  EXPECT_EQ(c.addresses, (std::vector<uint64_t>{0xFFF50010, 0xFFF50050}));
  EXPECT_EQ(messages(), (Strings{"ZarnKovGetQuilEntry 1 2\n", "ZarnKovGetQuilEntry 1 2\n", "QUIL Addr FFF50000\n",
                                 "Type found @0xFFF50010\n", "Type found @0xFFF50050\n", "Total  2 entries found\n"}));
  EXPECT_EQ(instance(1, 2, 3, true), Result(EFI_SUCCESS, uint64_t(0xFFF50050)));
}

TEST_F(ZarnKovQuilLibTest, InfoRecordLookup) {
  QuilInfo *info = reinterpret_cast<QuilInfo *>(1);
  EXPECT_EQ(ZarnKovGetQuilInfo(&info), EFI_UNSUPPORTED);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(ZarnKovGetQuilInfo(nullptr), EFI_UNSUPPORTED);
  EXPECT_EQ(asserts(), Strings{"QuilInfo != 0"});
  const void *record = publishInfo(0x123456789ull, 0x4000);
  EXPECT_EQ(ZarnKovGetQuilInfo(&info), EFI_SUCCESS);
  EXPECT_EQ(static_cast<const void *>(info), record);
  EXPECT_EQ(info->QuilAddr, 0x123456789ull);
  EXPECT_EQ(info->QuilSize, 0x4000u);
}

// --- Bad blocks: the walk ends, stays inside the block and inside backed memory.

TEST_F(ZarnKovQuilLibTest, WalkEndsAtAnEntryThatCannotBeOne) {
  struct Case {
    const char *name;
    std::optional<uint32_t> storedSize;  // of the second entry
    std::optional<uint32_t> blockSize;
    uint32_t found;
  } cases[] = {
      {"EntrySize 0", 0u, std::nullopt, 1},
      {"EntrySize 15", 15u, std::nullopt, 1},
      {"EntrySize reaching past the end", 0x81u, std::nullopt, 1},
      {"EntrySize 0xFFFFFFF0", 0xFFFFFFF0u, std::nullopt, 1},
      {"header of the last entry cut by Size", std::nullopt, 0x10 + 0x40 + 0x40 + 8, 2},
      {"entry cut by Size", std::nullopt, 0x10 + 0x40 + 0x40 + 0x3F, 2},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    QuilBlockDesc d;
    d.entries = {qe(1, 2, 0), qe(1, 2, 1), qe(1, 2, 2)};
    d.entries[1].storedEntrySize = c.storedSize;
    d.storedSize = c.blockSize;
    const Bytes b = buildQuilBlock(d);
    placeBlock(kBlock, b);
    publishInfo(kBlock, c.blockSize.value_or(uint32_t(b.size())));
    const Collected got = collect(1, 2);
    EXPECT_EQ(got.count, c.found);
    EXPECT_EQ(got.status, EFI_SUCCESS);
  }
}

TEST_F(ZarnKovQuilLibTest, SizeNearFourGiBDoesNotWrapAndUnbackedMemoryEndsTheWalk) {
  // Size 0xFFFFFFFF: Addr + Size passes 4 GiB. The entries are found; the walk stops where DRAM ends.
  QuilBlockDesc d;
  d.entries = {qe(1, 2, 0), qe(1, 2, 1)};
  d.storedSize = 0xFFFFFFFFu;
  d.tail = 0x40;
  Bytes b = buildQuilBlock(d);
  for (size_t at = 0x90; at + 16 <= b.size(); at += 16) b[at + 12] = 0x10;  // EntrySize 16 to the end
  placeBlock(0x10000, b, 0xD0);
  publishInfo(0x10000, 0xFFFFFFFFu);
  const Collected got = collect(1, 2);
  EXPECT_EQ(got.status, EFI_SUCCESS);
  EXPECT_EQ(got.addresses, (std::vector<uint64_t>{0x10010, 0x10050}));
}

TEST_F(ZarnKovQuilLibTest, UnbackedBlockHeaderIsUnsupported) {
  publishInfo(0x30000000, 0x100);
  EXPECT_EQ(collect(1, 2).status, EFI_UNSUPPORTED);
  EXPECT_EQ(messages().back(), "QUIL Addr 30000000\n");
  EXPECT_EQ(instance(1, 2, 0), Result(EFI_NOT_FOUND, uint64_t(0)));
}

TEST_F(ZarnKovQuilLibTest, NeverStoresPastTheCallersArray) {
  placeBlock(kBlock, block({qe(1, 2, 0), qe(1, 2, 1), qe(1, 2, 2)}));
  publishInfo(kBlock, 0xD0);
  const Collected c = collect(1, 2, false, 2);
  EXPECT_EQ(c.status, EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(c.count, 3u);
  EXPECT_EQ(c.addresses, (std::vector<uint64_t>{0x10000010, 0x10000050}));
  EXPECT_EQ(collect(1, 2, false, 0).count, 3u);
}

TEST_F(ZarnKovQuilLibTest, MoreEntriesThanTheInstanceLookupHoldsIsUnsupported) {
  for (uint32_t total : {256u, 257u}) {
    SCOPED_TRACE(total);
    reset();
    std::vector<QuilEntryDesc> entries;
    for (uint32_t i = 0; i < total; i++) entries.push_back(qe(1, 2, i + 1, 0x10));
    entries.back().instance = 0;  // the one sought, beyond the array when there are 257
    const Bytes b = block(entries);
    placeBlock(kBlock, b);
    publishInfo(kBlock, uint32_t(b.size()));
    const auto got = instance(1, 2, 0);
    if (total == 256) {
      EXPECT_EQ(got, Result(EFI_SUCCESS, uint64_t(0x10000010 + 255 * 0x10)));
    } else {
      EXPECT_EQ(got, Result(EFI_UNSUPPORTED, uint64_t(0)));
    }
  }
}

TEST_F(ZarnKovQuilLibTest, InfoHobTooShortForTheRecordIsIgnored) {
  publishInfo(kBlock, 0x50, 1, 8);
  QuilInfo *info = nullptr;
  EXPECT_EQ(ZarnKovGetQuilInfo(&info), EFI_UNSUPPORTED);
  EXPECT_EQ(info, nullptr);
}

TEST_F(ZarnKovQuilLibTest, ReturnedEntryCoversTheWholeEntry) {
  QuilEntryDesc e = qe(1, 2, 0, 0x1C0);
  e.fields = {Field::u32(0x1BC, 0xA1B2C3D4)};
  placeBlock(kBlock, block({e}));
  publishInfo(kBlock, 0x1D0);
  QuilEntryHeader *entry = nullptr;
  ASSERT_EQ(ZarnKovGetQuilEntryInstance(1, 2, 0, FALSE, &entry), EFI_SUCCESS);
  EXPECT_EQ(machine.memory.pointer(0x10000010, 0x1C0), entry);
  uint32_t last;
  std::memcpy(&last, reinterpret_cast<const uint8_t *>(entry) + 0x1BC, 4);
  EXPECT_EQ(last, 0xA1B2C3D4u);
}

// --- Discovery

struct HobsBuilt {
  std::vector<Bytes> infos;   // data of the info HOBs
  std::vector<Bytes> allocs;  // whole memory-allocation HOBs
};

class DiscoveryTest : public ZarnKovQuilLibTest {
 public:
  HobsBuilt hobs() const {
    HobsBuilt h;
    for (const auto &r : machine.pei.hobs()) {
      if (r.type == 0x0002) h.allocs.emplace_back(r.bytes.begin(), r.bytes.end());
    }
    for (const auto &d : machine.pei.guidHobData(gZarnQuilInfoHobGuid)) h.infos.emplace_back(d.begin(), d.end());
    return h;
  }
  static Bytes allocation(uint64_t base) {
    Bytes h = {0x02, 0x00, 0x30, 0x00, 0, 0, 0, 0};
    h.resize(24, 0);  // zero name
    const Bytes b = le64(base), len = le64(0x1000000), type = le32(10);
    h.insert(h.end(), b.begin(), b.end());
    h.insert(h.end(), len.begin(), len.end());
    h.insert(h.end(), type.begin(), type.end());
    h.resize(48, 0);
    return h;
  }
  static Bytes info(uint32_t size, uint64_t address) {
    Bytes r = {1, 0, 0, 0};
    const Bytes s = le32(size), a = le64(address);
    r.insert(r.end(), s.begin(), s.end());
    r.insert(r.end(), a.begin(), a.end());
    return r;
  }
};

TEST_F(DiscoveryTest, FailureRows) {
  const Strings start = {"ZarnKovQuilLibConstructor\n", "Init QUIL HOB Info struct\n"};
  const Strings addr = {"ZarnKovQuilLibConstructor\n", "Init QUIL HOB Info struct\n", "QUIL Addr 10000000\n"};
  auto withBlock = [](QuilBlockDesc d) {
    return [d](DiscoveryTest &t) {
      t.flashPointingTo(kBlock);
      t.placeBlock(kBlock, buildQuilBlock(d));
    };
  };
  QuilBlockDesc good;
  good.entries = {qe(1, 2, 0)};
  QuilBlockDesc badSig = good;
  badSig.signature = 0x4C495552;  // "RUIL"
  QuilBlockDesc size0 = good, sizeAll = good;
  size0.storedSize = 0;
  sizeAll.storedSize = 0xFFFFFFFFu;
  struct Row {
    const char *name;
    std::function<void(DiscoveryTest &)> setup;
    Strings messages;
    Strings reports;
    size_t infos, allocs;
  } rows[] = {
      {"excluded line",
       [&](DiscoveryTest &t) {
         withBlock(good)(t);
         t.setProcessor(ProcessorLineExcluded);
       },
       {"ZarnKovQuilLibConstructor\n"},
       {},
       0,
       0},
      {"info HOB present",
       [&](DiscoveryTest &t) {
         withBlock(good)(t);
         t.publishInfo(0x20000000, 0x10);
       },
       {"ZarnKovQuilLibConstructor\n"},
       {},
       1,
       0},
      {"no type 0x61 entry",
       [](DiscoveryTest &t) { t.machine.memory.setFlashImage(buildFlashImage(standardFlash({}))); },
       {start[0], start[1], "QUIL Entry not found\n"},
       {},
       0,
       0},
      {"unsupported processor",
       [&](DiscoveryTest &t) {
         withBlock(good)(t);
         t.setProcessor(0x00990F00);
       },
       {start[0], start[1], "QUIL Entry not found\n"},
       {},
       0,
       0},
      {"invalid BIOS directory",
       [](DiscoveryTest &t) {
         BiosEntryDesc e;
         e.type = 0x61;
         e.destination = kBlock;
         FlashImageDesc f = standardFlash({e});
         f.biosDirs[0].faults.wrongChecksum = true;
         t.machine.memory.setFlashImage(buildFlashImage(f));
       },
       {start[0], start[1], "QUIL Entry not found\n"},
       {"BiosDirSigValid"},
       0,
       0},
      {"signature",
       withBlock(badSig),
       {addr[0], addr[1], addr[2], "QUIL SIG Check fail, QUIL is not supported\n"},
       {},
       0,
       0},
      {"header not backed",
       [](DiscoveryTest &t) { t.flashPointingTo(kBlock); },
       {addr[0], addr[1], addr[2], "QUIL SIG Check fail, QUIL is not supported\n"},
       {},
       0,
       0},
      {"Size 0",
       withBlock(size0),
       {addr[0], addr[1], addr[2], "QUIL Size Check fail\n"},
       {"QuilHeaderPtr->Size != 0"},
       0,
       0},
      {"Size 0xFFFFFFFF",
       withBlock(sizeAll),
       {addr[0], addr[1], addr[2], "QUIL Size Check fail\n"},
       {"QuilHeaderPtr->Size != 0xFFFFFFFFul"},
       0,
       0},
      {"GUID HOB not created",
       [&](DiscoveryTest &t) {
         withBlock(good)(t);
         t.machine.pei.injectFault(Fault{Service::CreateHob, EFI_OUT_OF_RESOURCES, 0, 1});
       },
       {addr[0], addr[1], addr[2], "QUIL HOB Build fail\n"},
       {"Hob != ((void *) 0)"},
       0,
       1},
      {"success", withBlock(good), {addr[0], addr[1], addr[2], "QUIL HOB Build Success\n"}, {}, 1, 1},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(r.name);
    reset();
    r.setup(*this);
    clearRecords();
    EXPECT_EQ(ZarnKovQuilLibConstructor(), EFI_SUCCESS);
    EXPECT_EQ(messages(), r.messages);
    EXPECT_EQ(asserts(), r.reports);
    const HobsBuilt h = hobs();
    EXPECT_EQ(h.infos.size(), r.infos);
    EXPECT_EQ(h.allocs.size(), r.allocs);
    if (std::string(r.name) == "success" || std::string(r.name) == "GUID HOB not created") {
      if (r.infos) {
        EXPECT_EQ(h.infos[0], info(0x50, 0x10000000));
      }
      EXPECT_EQ(h.allocs.at(0), allocation(0x10000000));
    }
  }
}

TEST_F(DiscoveryTest, SecondRunBuildsNothing) {
  flashPointingTo(kBlock);
  placeBlock(kBlock, block({qe(1, 2, 0)}));
  ASSERT_EQ(ZarnKovQuilLibConstructor(), EFI_SUCCESS);
  const size_t hobCount = machine.pei.hobs().size();
  clearRecords();
  EXPECT_EQ(ZarnKovQuilLibConstructor(), EFI_SUCCESS);
  EXPECT_EQ(machine.pei.hobs().size(), hobCount);
  EXPECT_EQ(messages(), Strings{"ZarnKovQuilLibConstructor\n"});
}

TEST_F(DiscoveryTest, SizeAndAddressEdges) {
  struct Case {
    const char *name;
    uint64_t destination;  // as stored in the BIOS directory entry
    uint32_t size;         // the header's Size
    uint32_t version;
    Strings reports;
  } cases[] = {
      {"Size 1, version not looked at", 0x10000000, 1, 0, {}},
      {"64 MiB block reserves 16 MiB", 0x10000000, 0x4000000, 5, {}},
      {"4 KiB block", 0x10000000, 0x1000, 5, {}},
      {"high half of the destination kept", 0x0000000510000000ull, 0x50, 5, {}},
      {"not 4 KiB aligned",
       0x10000800,
       0x50,
       5,
       {"((BaseAddress & (0x00001000 - 1)) == 0) && ((Length & (0x00001000 - 1)) == 0)"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    setProcessor(ProcessorLineD);
    flashPointingTo(c.destination);
    QuilBlockDesc d;
    d.version = c.version;
    d.storedSize = c.size;
    d.entries = {qe(1, 2, 0)};
    placeBlock(uint32_t(c.destination), buildQuilBlock(d));
    clearRecords();
    EXPECT_EQ(ZarnKovQuilLibConstructor(), EFI_SUCCESS);
    EXPECT_EQ(asserts(), c.reports);
    const HobsBuilt h = hobs();
    ASSERT_EQ(h.infos.size(), 1u);
    EXPECT_EQ(h.infos[0], info(c.size, c.destination));
    ASSERT_EQ(h.allocs.size(), 1u);
    EXPECT_EQ(h.allocs[0], allocation(c.destination));
  }
}

}  // namespace
