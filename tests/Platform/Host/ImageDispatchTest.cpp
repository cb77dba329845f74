// Both deliverable images, each with its own libraries, dispatched in order on one machine.
#include <gtest/gtest.h>

#include "Platform/Host/Machine.h"

namespace zarn::host {
namespace {

TEST(ImageDispatch, BothImagesRunInOrderOnOneMachine) {
  Machine machine;
  const std::vector<EFI_STATUS> statuses =
      machine.dispatchAll({ZARN_IMAGE_DIR "/Dramatlas.so", ZARN_IMAGE_DIR "/Quilkeep.so"});
  ASSERT_EQ(statuses.size(), 2u);
  ASSERT_EQ(machine.dispatches().size(), 2u);
  EXPECT_EQ(machine.dispatches()[0].module, "Dramatlas");
  EXPECT_EQ(machine.dispatches()[1].module, "Quilkeep");
  EXPECT_EQ(machine.dispatches()[0].status, statuses[0]);
  EXPECT_EQ(machine.dispatches()[1].status, statuses[1]);
  // Quilkeep's entry answers the status of its InstallPpi, which succeeds here.
  EXPECT_EQ(statuses[1], EFI_SUCCESS);
  EXPECT_EQ(Machine::currentOrNull(), &machine);
  EXPECT_EQ(machine.pei.runningModule(), "");
}

TEST(ImageDispatch, MissingImageIsAClearError) {
  Machine machine;
  EXPECT_THROW(machine.load(ZARN_IMAGE_DIR "/NoSuchImage.so"), std::runtime_error);
}

}  // namespace
}  // namespace zarn::host
