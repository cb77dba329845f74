// PeimEntryPoint with the deliverables' constants: no revision check, constructor failures reported and
// passed over, the module entry's status returned.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include "Library/PeimEntryPoint.h"
#include "tests/MdePkg/Library/PeimEntryPoint/TestImage.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::DebugEvent;
using zarn::test::debugRecord;
using zarn::test::image::GetTrace;
using zarn::test::image::Plan;
using zarn::test::image::Reset;

const std::vector<std::string> kThreeAndEntry = {"constructor 0", "constructor 1", "constructor 2", "entry"};

TEST(PeimEntryPoint, RevisionZeroNeverReadsTheServicesTable) {
  // Services pointer into an inaccessible page: any read of it would fault.
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  void *noAccess = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(noAccess, MAP_FAILED);
  const auto **services = static_cast<const EFI_PEI_SERVICES **>(noAccess);
  auto *fileHandle = reinterpret_cast<EFI_PEI_FILE_HANDLE>(0x5000);

  Reset(Plan{{EFI_SUCCESS, EFI_SUCCESS, EFI_SUCCESS}, EFI_NOT_FOUND});
  EXPECT_EQ(PeimEntryPoint(fileHandle, services), EFI_NOT_FOUND);
  EXPECT_EQ(GetTrace().steps, kThreeAndEntry);
  // Both arguments reach the constructor list and the module entry unchanged.
  EXPECT_EQ(GetTrace().listFileHandle, fileHandle);
  EXPECT_EQ(GetTrace().listServices, services);
  EXPECT_EQ(GetTrace().entryFileHandle, fileHandle);
  EXPECT_EQ(GetTrace().entryServices, services);
  EXPECT_TRUE(debugRecord().events.empty());
  munmap(noAccess, page);
}

TEST(PeimEntryPoint, FailingConstructorIsReportedAndTheSequenceGoesOn) {
  const EFI_PEI_SERVICES *table = nullptr;
  Reset(Plan{{EFI_DEVICE_ERROR, EFI_SUCCESS, EFI_SUCCESS}, EFI_SUCCESS});
  EXPECT_EQ(PeimEntryPoint(nullptr, &table), EFI_SUCCESS);
  EXPECT_EQ(GetTrace().steps, kThreeAndEntry);

  const auto &record = debugRecord();
  EXPECT_EQ(record.events, (std::vector<DebugEvent>{DebugEvent::Message, DebugEvent::Assert}));
  ASSERT_EQ(record.messages.size(), 1u);
  EXPECT_EQ(record.messages[0].level, 0x80000000u);
  EXPECT_EQ(record.messages[0].text, "\nASSERT_EFI_ERROR (Status = %r)\n");
  ASSERT_EQ(record.asserts.size(), 1u);
  EXPECT_EQ(record.asserts[0].expression, "!EFI_ERROR (Status)");
  // The check belongs to the image definition that runs the list.
  EXPECT_EQ(record.asserts[0].sourcePath, "tests/PeimEntryPointTests");
}

TEST(PeimEntryPoint, OnlyErrorsAreReportedAndNoneReachesTheResult) {
  struct Case {
    std::vector<EFI_STATUS> constructors;
    EFI_STATUS entry;
    size_t reports;  // failed-status reports (one message and one assertion each)
  };
  const Case cases[] = {
      {{EFI_SUCCESS, EFI_SUCCESS, EFI_SUCCESS}, EFI_SUCCESS, 0},
      {{EFI_WARN_BUFFER_TOO_SMALL, EFI_WARN_STALE_DATA, 0x7FFFFFFFu}, EFI_SUCCESS, 0},
      {{EFI_DEVICE_ERROR, EFI_NOT_FOUND, EFI_UNSUPPORTED}, EFI_SUCCESS, 3},
      {{EFI_SUCCESS, EFI_SUCCESS, 0x80000000u}, EFI_OUT_OF_RESOURCES, 1},
      {{EFI_DEVICE_ERROR, EFI_SUCCESS, EFI_SUCCESS}, EFI_WARN_STALE_DATA, 1},
  };
  for (const Case &c : cases) {
    const EFI_PEI_SERVICES *table = nullptr;
    Reset(Plan{c.constructors, c.entry});
    EXPECT_EQ(PeimEntryPoint(nullptr, &table), c.entry);
    EXPECT_EQ(GetTrace().steps, kThreeAndEntry);
    EXPECT_EQ(debugRecord().messages.size(), c.reports);
    EXPECT_EQ(debugRecord().asserts.size(), c.reports);
  }
}

}  // namespace
