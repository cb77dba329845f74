// PeimEntryPoint of an image built with _gPeimRevision 0x00010050: the services table revision is checked
// (unsigned) before the constructors run, and a failed check does not stop the sequence.
#include <gtest/gtest.h>

#include "Library/PeimEntryPoint.h"
#include "Platform/Host/Machine.h"
#include "tests/MdePkg/Library/PeimEntryPoint/TestImage.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::test::debugRecord;
using zarn::test::image::GetTrace;
using zarn::test::image::Plan;
using zarn::test::image::Reset;

TEST(PeimEntryPointRevision, TableRevisionBelowTheRequiredOneIsReported) {
  struct Case {
    UINT32 revision;
    bool reported;
  };
  const Case cases[] = {
      {0x00000000u, true}, {0x0001004Fu, true}, {0x00010050u, false}, {0x00020000u, false}, {0x80000000u, false},
  };
  for (const Case &c : cases) {
    zarn::host::Machine machine;
    machine.makeCurrent();
    machine.pei.setRevision(c.revision);
    Reset(Plan{{EFI_SUCCESS}, EFI_WARN_STALE_DATA});
    EXPECT_EQ(PeimEntryPoint(nullptr, machine.pei.servicesPointer()), EFI_WARN_STALE_DATA);
    EXPECT_EQ(GetTrace().steps, (std::vector<std::string>{"constructor 0", "entry"}));
    if (c.reported) {
      ASSERT_EQ(debugRecord().asserts.size(), 1u) << std::hex << c.revision;
      EXPECT_EQ(debugRecord().asserts[0].sourcePath, "MdePkg/Library/PeimEntryPoint/PeimEntryPoint");
      EXPECT_EQ(debugRecord().asserts[0].expression, "(*PeiServices)->Hdr.Revision >= _gPeimRevision");
    } else {
      EXPECT_TRUE(debugRecord().asserts.empty()) << std::hex << c.revision;
    }
  }
}

}  // namespace
