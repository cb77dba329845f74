// CopyMem and ClearMem: direction rule, 4-byte units and tail, range checks, nothing touched after a
// failed check. Buffers sit against inaccessible pages so a byte read or written outside the range faults.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "Library/BaseMemoryLib.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::debugRecord;

// One read-write page between two inaccessible ones.
class GuardedPage {
 public:
  GuardedPage() {
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void *map = mmap(nullptr, 3 * page_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) throw std::runtime_error("mmap");
    base_ = static_cast<UINT8 *>(map);
    mprotect(base_ + page_, page_, PROT_READ | PROT_WRITE);
    std::memset(base_ + page_, 0xAA, page_);
  }
  ~GuardedPage() { munmap(base_, 3 * page_); }
  GuardedPage(const GuardedPage &) = delete;
  GuardedPage &operator=(const GuardedPage &) = delete;

  // The last `length` bytes of the page: the next byte faults.
  UINT8 *tail(size_t length) { return base_ + 2 * page_ - length; }
  UINT8 *head() { return base_ + page_; }
  void readOnly() { mprotect(base_ + page_, page_, PROT_READ); }

 private:
  size_t page_ = 0;
  UINT8 *base_ = nullptr;
};

std::vector<std::string> Reports() {
  std::vector<std::string> out;
  for (const auto &a : debugRecord().asserts) out.push_back(a.sourcePath + ": " + a.expression);
  return out;
}

const std::string kCopy = "MdePkg/Library/BaseMemoryLibRepStr/CopyMemWrapper: ";
const std::string kClear = "MdePkg/Library/BaseMemoryLibRepStr/ZeroMemWrapper: ";

// The highest addresses of the host's address space, where the 32-bit text says 0xFFFFFFFA.
VOID *TopMinus(UINTN n) { return reinterpret_cast<VOID *>(~static_cast<UINTN>(0) - n + 1); }

class MemoryLib : public ::testing::Test {
 protected:
  void SetUp() override { debugRecord().clear(); }
};

TEST_F(MemoryLib, OverlappingMovesKeepTheSourceBytes) {
  struct Case {
    int sourceOffset;
    int destinationOffset;
    const char *expected;  // the 16-byte buffer after moving the 10 bytes "0123456789"
  };
  const Case cases[] = {
      {2, 5, "..0120123456789."},  // up by 3: destination inside the source, copied downward
      {5, 2, "..0123456789789."},  // down by 3: copied upward
      {2, 3, "..00123456789..."},  // up by 1
      {3, 2, "..01234567899..."},  // down by 1, inside the first 4-byte unit
  };
  for (const Case &c : cases) {
    char buffer[17] = "................";
    std::memcpy(buffer + c.sourceOffset, "0123456789", 10);
    EXPECT_EQ(CopyMem(buffer + c.destinationOffset, buffer + c.sourceOffset, 10), buffer + c.destinationOffset);
    EXPECT_EQ(std::string(buffer, 16), c.expected) << c.sourceOffset << "->" << c.destinationOffset;
  }
  EXPECT_TRUE(Reports().empty());
}

TEST_F(MemoryLib, SevenByteCopyTouchesExactlySevenBytes) {
  GuardedPage from;
  GuardedPage to;
  UINT8 *source = from.tail(7);
  std::memcpy(source, "ABCDEFG", 7);
  UINT8 *destination = to.tail(7);
  EXPECT_EQ(CopyMem(destination, source, 7), destination);
  EXPECT_EQ(std::memcmp(destination, "ABCDEFG", 7), 0);
  EXPECT_EQ(destination[-1], 0xAA);

  // The same against the start of the destination page: bytes from 7 on stay as they were.
  EXPECT_EQ(CopyMem(to.head(), source, 7), to.head());
  EXPECT_EQ(std::memcmp(to.head(), "ABCDEFG\xAA", 8), 0);
}

TEST_F(MemoryLib, CopyMemWithNothingToDo) {
  EXPECT_EQ(CopyMem(nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(CopyMem(nullptr, TopMinus(1), 0), nullptr);

  // Equal buffers: nothing written, so a read-only page survives.
  GuardedPage page;
  page.readOnly();
  EXPECT_EQ(CopyMem(page.head(), page.head(), 64), page.head());
  EXPECT_TRUE(Reports().empty());
}

TEST_F(MemoryLib, CopyMemRangeChecks) {
  GuardedPage page;
  UINT8 *buffer = page.head();
  struct Case {
    VOID *destination;
    const VOID *source;
    UINTN length;
    std::vector<std::string> reports;
  };
  const std::string destinationCheck = kCopy + "(Length - 1) <= (0xFFFFFFFF - (UINTN)DestinationBuffer)";
  const std::string sourceCheck = kCopy + "(Length - 1) <= (0xFFFFFFFF - (UINTN)SourceBuffer)";
  const Case cases[] = {
      {TopMinus(6), buffer, 7, {destinationCheck}},
      {buffer, TopMinus(6), 7, {sourceCheck}},
      {TopMinus(2), TopMinus(3), 4, {destinationCheck, sourceCheck}},
      {buffer, buffer + 64, ~static_cast<UINTN>(0), {destinationCheck, sourceCheck}},
  };
  for (const Case &c : cases) {
    debugRecord().clear();
    EXPECT_EQ(CopyMem(c.destination, c.source, c.length), c.destination);
    EXPECT_EQ(Reports(), c.reports);
  }
  // After a failed check nothing was written.
  for (size_t i = 0; i < 256; i++) ASSERT_EQ(buffer[i], 0xAA) << i;
}

TEST_F(MemoryLib, CopyMemWithANullBufferCopiesNothing) {
  UINT8 buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(CopyMem(buffer, nullptr, 8), buffer);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(CopyMem(nullptr, buffer, 8), nullptr);
}

TEST_F(MemoryLib, ClearMemUnitsAndTail) {
  for (const size_t length : {1u, 3u, 4u, 7u, 8u, 13u}) {
    GuardedPage page;
    UINT8 *buffer = page.tail(length);
    EXPECT_EQ(ClearMem(buffer, length), buffer);
    for (size_t i = 0; i < length; i++) EXPECT_EQ(buffer[i], 0) << length << ":" << i;
    EXPECT_EQ(buffer[-1], 0xAA) << length;
  }
  EXPECT_TRUE(Reports().empty());
}

TEST_F(MemoryLib, ClearMemChecks) {
  GuardedPage page;
  page.readOnly();
  EXPECT_EQ(ClearMem(page.head(), 0), page.head());
  EXPECT_EQ(ClearMem(nullptr, 0), nullptr);
  EXPECT_TRUE(Reports().empty());

  // One byte past the top of the address space; nothing is written.
  EXPECT_EQ(ClearMem(TopMinus(6), 7), TopMinus(6));
  EXPECT_EQ(Reports(), std::vector<std::string>{kClear + "Length <= (0xFFFFFFFF - (UINTN)Buffer + 1)"});

  // A null buffer fails both checks: the bound wraps to 0.
  debugRecord().clear();
  EXPECT_EQ(ClearMem(nullptr, 3), nullptr);
  EXPECT_EQ(Reports(), (std::vector<std::string>{kClear + "Buffer != ((void *) 0)",
                                                 kClear + "Length <= (0xFFFFFFFF - (UINTN)Buffer + 1)"}));
}

}  // namespace
