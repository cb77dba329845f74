// The HOB library: walks over a small fake list, creation through the simulated foundation, and the
// checks it reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Library/HobLib.h"
#include "Platform/Host/Machine.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::host::Fault;
using zarn::host::Machine;
using zarn::host::Service;
using zarn::test::debugRecord;

constexpr const char *kSource = "MdePkg/Library/PeiHobLib/HobLib";

constexpr EFI_GUID kGuidA = {0x11111111, 0x2222, 0x3333, {0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB}};
constexpr EFI_GUID kGuidB = {0x11111111, 0x2222, 0x3333, {0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBC}};

// A HOB list built byte by byte: each HOB is its header (type, length) followed by a body.
class FakeList {
 public:
  size_t add(uint16_t type, uint16_t length, const EFI_GUID *name = nullptr) {
    const size_t offset = bytes_.size();
    bytes_.resize(offset + std::max<size_t>(length, 8), 0);
    std::memcpy(&bytes_[offset], &type, 2);
    std::memcpy(&bytes_[offset + 2], &length, 2);
    // A name is written only as far as the HOB reaches.
    if (name && length > 8) std::memcpy(&bytes_[offset + 8], name, std::min<size_t>(16, length - 8u));
    return offset;
  }
  size_t end() { return add(0xFFFF, 8); }
  const void *at(size_t offset) const { return bytes_.data() + offset; }

 private:
  std::vector<uint8_t> bytes_;
};

class HobLibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.makeCurrent();
    debugRecord().clear();
  }
  std::vector<std::string> assertions() const { return debugRecord().expressions(); }
  // HOBs created by the code under test (the list starts with the platform's hand-off HOB and ends
  // with the end marker).
  std::vector<zarn::host::HobRecord> createdHobs() const {
    std::vector<zarn::host::HobRecord> all = machine.pei.hobs();
    return {all.begin() + 1, all.end() - 1};
  }
  Machine machine;
};

// --- walks over a fake list

TEST_F(HobLibTest, WalksFindByTypeAndByNameAndPassOverOthers) {
  FakeList list;
  const size_t handoff = list.add(0x0001, 56);
  const size_t guidA = list.add(0x0004, 32, &kGuidA);
  const size_t alloc = list.add(0x0002, 48);
  const size_t guidB = list.add(0x0004, 24, &kGuidB);
  const size_t guidA2 = list.add(0x0004, 40, &kGuidA);
  list.end();

  EXPECT_EQ(NextHobOfType(0x0002, list.at(handoff)), list.at(alloc));
  EXPECT_EQ(NextHobOfType(0x0004, list.at(alloc)), list.at(guidB));
  EXPECT_EQ(NextHobOfType(0x0003, list.at(handoff)), nullptr);
  EXPECT_EQ(NextGuidHob(&kGuidB, list.at(handoff)), list.at(guidB));
  // Started on a HOB with the wanted name, the walk answers that same HOB.
  EXPECT_EQ(NextGuidHob(&kGuidA, list.at(guidA)), list.at(guidA));
  EXPECT_EQ(NextGuidHob(&kGuidA, static_cast<const uint8_t *>(list.at(guidA)) + 32), list.at(guidA2));
  EXPECT_TRUE(assertions().empty());
}

TEST_F(HobLibTest, ListThatStartsWithTheEndMarkerHoldsNothing) {
  FakeList list;
  const size_t end = list.end();
  EXPECT_EQ(NextHobOfType(0x0004, list.at(end)), nullptr);
  EXPECT_EQ(NextGuidHob(&kGuidA, list.at(end)), nullptr);
}

TEST_F(HobLibTest, MalformedListsEndTheWalk) {
  struct Case {
    const char *name;
    uint16_t badLength;
  };
  for (const Case &c : {Case{"length 0", 0}, Case{"length 4", 4}, Case{"length 7", 7}}) {
    SCOPED_TRACE(c.name);
    FakeList list;
    const size_t first = list.add(0x0003, 16);
    list.add(0x0005, c.badLength);  // would loop in place or step backwards into its own header
    list.add(0x0004, 24, &kGuidA);
    list.end();
    EXPECT_EQ(NextHobOfType(0x0004, list.at(first)), nullptr);
    EXPECT_EQ(NextGuidHob(&kGuidA, list.at(first)), nullptr);
  }
}

TEST_F(HobLibTest, GuidHobTooShortForItsNameIsPassedOver) {
  // The second half of this name reads like the end marker's header, so a walk that took the short
  // HOB's name from beyond its end would see a match.
  constexpr EFI_GUID kEndLike = {0x01020304, 0x0506, 0x0708, {0xFF, 0xFF, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00}};
  FakeList list;
  const size_t shortHob = list.add(0x0004, 16, &kEndLike);
  list.end();
  EXPECT_EQ(NextGuidHob(&kEndLike, list.at(shortHob)), nullptr);

  FakeList two;
  const size_t first = two.add(0x0004, 16, &kGuidA);
  const size_t real = two.add(0x0004, 24, &kGuidA);
  two.end();
  EXPECT_EQ(NextGuidHob(&kGuidA, two.at(first)), two.at(real));
}

TEST_F(HobLibTest, NullStartOrNameGivesNull) {
  EXPECT_EQ(NextHobOfType(0x0004, nullptr), nullptr);
  EXPECT_EQ(assertions(), std::vector<std::string>{"HobStart != ((void *) 0)"});
  EXPECT_EQ(debugRecord().asserts[0].sourcePath, kSource);
  debugRecord().clear();

  FakeList list;
  const size_t guid = list.add(0x0004, 24, &kGuidA);
  list.end();
  EXPECT_EQ(NextGuidHob(nullptr, list.at(guid)), nullptr);
}

// --- the list through the foundation

TEST_F(HobLibTest, HobListStartAndFirstGuidHobUseTheFoundationsList) {
  EXPECT_EQ(HobListStart(), machine.pei.hobList());
  EXPECT_EQ(FirstGuidHob(&kGuidA), nullptr);
  const uint8_t data[3] = {1, 2, 3};
  uint8_t *area = static_cast<uint8_t *>(AddGuidDataHob(&kGuidA, data, 3));
  ASSERT_NE(area, nullptr);
  EXPECT_EQ(static_cast<uint8_t *>(FirstGuidHob(&kGuidA)) + 24, area);
  EXPECT_EQ(FirstGuidHob(&kGuidB), nullptr);
  EXPECT_TRUE(assertions().empty());
}

TEST_F(HobLibTest, HobListStartAnswersNullWhenGetHobListFails) {
  machine.pei.injectFault({Service::GetHobList, EFI_DEVICE_ERROR});
  EXPECT_EQ(HobListStart(), nullptr);
  EXPECT_EQ(assertions(), (std::vector<std::string>{"!EFI_ERROR (Status)", "HobList != ((void *) 0)"}));
  ASSERT_EQ(debugRecord().messages.size(), 1u);
  EXPECT_EQ(debugRecord().messages[0].level, 0x80000000u);
  for (const auto &a : debugRecord().asserts) EXPECT_EQ(a.sourcePath, kSource);
}

// --- creation

TEST_F(HobLibTest, AddGuidHobOfNoDataIsJustTheHeader) {
  uint8_t *area = static_cast<uint8_t *>(AddGuidHob(&kGuidA, 0));
  const auto hobs = createdHobs();
  ASSERT_EQ(hobs.size(), 1u);
  EXPECT_EQ(hobs[0].type, 0x0004);
  EXPECT_EQ(hobs[0].bytes.size(), 24u);
  EXPECT_EQ(area, hobs[0].bytes.data() + 24);
  EXPECT_EQ(std::memcmp(hobs[0].bytes.data() + 8, &kGuidA, 16), 0);
  EXPECT_TRUE(assertions().empty());
}

TEST_F(HobLibTest, AddGuidHobLengthLimit) {
  machine.pei.resetHobList(size_t{128} * 1024);
  ASSERT_NE(AddGuidHob(&kGuidA, 0xFFE0), nullptr);
  EXPECT_TRUE(assertions().empty());
  ASSERT_EQ(createdHobs().size(), 1u);
  EXPECT_EQ(createdHobs()[0].bytes.size(), 0xFFF8u);

  // One byte more cannot be expressed in a 16-bit HOB length: refused without asking for a HOB.
  EXPECT_EQ(AddGuidHob(&kGuidA, 0xFFE1), nullptr);
  EXPECT_EQ(assertions(), std::vector<std::string>{"DataLength <= (0xFFF8 - sizeof (EFI_HOB_GUID_TYPE))"});
  EXPECT_EQ(debugRecord().asserts[0].sourcePath, kSource);
  EXPECT_EQ(machine.pei.callCount(Service::CreateHob), 1u);
  EXPECT_EQ(AddGuidHob(&kGuidA, 0xFFFFFFF0u), nullptr);
  EXPECT_EQ(createdHobs().size(), 1u);
}

TEST_F(HobLibTest, NullNameOrDataIsRefused) {
  EXPECT_EQ(AddGuidHob(nullptr, 4), nullptr);
  EXPECT_EQ(assertions(), std::vector<std::string>{"Guid != ((void *) 0)"});
  debugRecord().clear();

  EXPECT_EQ(AddGuidDataHob(&kGuidA, nullptr, 4), nullptr);
  EXPECT_EQ(assertions(), std::vector<std::string>{"Data != ((void *) 0) || DataLength == 0"});
  EXPECT_TRUE(createdHobs().empty());
  debugRecord().clear();

  EXPECT_NE(AddGuidDataHob(&kGuidA, nullptr, 0), nullptr);
  EXPECT_TRUE(assertions().empty());
}

TEST_F(HobLibTest, AddGuidDataHobCopiesTheData) {
  const uint8_t data[5] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01};
  machine.pei.setHobFill(0x5A);
  ASSERT_NE(AddGuidDataHob(&kGuidB, data, 5), nullptr);
  const auto hobs = createdHobs();
  ASSERT_EQ(hobs.size(), 1u);
  EXPECT_EQ(hobs[0].bytes.size(), 29u);
  EXPECT_EQ(std::vector<uint8_t>(hobs[0].bytes.begin() + 24, hobs[0].bytes.end()),
            (std::vector<uint8_t>{0xDE, 0xAD, 0xBE, 0xEF, 0x01}));
}

TEST_F(HobLibTest, FailingCreateHobGivesNoHob) {
  machine.pei.injectFault({Service::CreateHob, EFI_OUT_OF_RESOURCES});
  EXPECT_EQ(NewHob(0x0004, 32), nullptr);
  EXPECT_EQ(AddGuidHob(&kGuidA, 8), nullptr);
  EXPECT_EQ(AddGuidDataHob(&kGuidA, "x", 1), nullptr);
  AddMemoryAllocationHob(0x1000, 0x1000, 10);
  EXPECT_TRUE(createdHobs().empty());
  EXPECT_EQ(assertions(), std::vector<std::string>(4, "Hob != ((void *) 0)"));
}

TEST_F(HobLibTest, MemoryAllocationHob) {
  struct Case {
    uint64_t base;
    uint64_t length;
    bool reported;
  };
  const Case cases[] = {
      {0x1000, 0x1000000, false},
      {0x1000, 0x800, true},
      {0x1001, 0x1000, true},
      {0x100000000000ull, 0x1000, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.length);
    machine.pei.resetHobList(4096);
    machine.pei.setHobFill(0xAA);
    debugRecord().clear();
    AddMemoryAllocationHob(c.base, c.length, 10);
    const std::vector<std::string> expected =
        c.reported ? std::vector<std::string>{"((BaseAddress & (0x00001000 - 1)) == 0) && "
                                              "((Length & (0x00001000 - 1)) == 0)"}
                   : std::vector<std::string>{};
    EXPECT_EQ(assertions(), expected);
    const auto hobs = createdHobs();
    ASSERT_EQ(hobs.size(), 1u);  // built whether or not the check fired
    std::vector<uint8_t> want(48, 0);
    want[0] = 0x02;
    want[2] = 48;
    for (int i = 0; i < 8; ++i) want[24 + i] = static_cast<uint8_t>(c.base >> (8 * i));
    for (int i = 0; i < 8; ++i) want[32 + i] = static_cast<uint8_t>(c.length >> (8 * i));
    want[40] = 10;
    EXPECT_EQ(std::vector<uint8_t>(hobs[0].bytes.begin(), hobs[0].bytes.end()), want);
  }
}

// --- GUIDs

TEST_F(HobLibTest, GuidEqualAndCopyAtAnyAlignment) {
  alignas(8) uint8_t buffer[40] = {};
  EFI_GUID *odd = reinterpret_cast<EFI_GUID *>(buffer + 3);
  EXPECT_EQ(GuidCopy(odd, &kGuidA), odd);
  EXPECT_EQ(std::memcmp(buffer + 3, &kGuidA, 16), 0);
  EXPECT_EQ(buffer[2], 0);
  EXPECT_EQ(buffer[19], 0);
  EXPECT_EQ(GuidEqual(odd, &kGuidA), TRUE);
  EXPECT_EQ(GuidEqual(&kGuidA, &kGuidB), FALSE);  // differ in the last byte only
  EFI_GUID firstHalf = kGuidA;
  firstHalf.Data1 ^= 1;
  EXPECT_EQ(GuidEqual(&firstHalf, &kGuidA), FALSE);
}

}  // namespace
