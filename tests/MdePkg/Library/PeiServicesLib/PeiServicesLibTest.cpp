// The three service wrappers: they reach the foundation through the services cell, pass its status back
// unchanged, and call nothing when there is no services table.
#include <gtest/gtest.h>

#include <cstring>

#include "Library/PeiServicesLib.h"
#include "Platform/Host/Machine.h"
#include "tests/support/RecordingDebugLib.h"

namespace {

using zarn::host::Fault;
using zarn::host::Service;
using zarn::test::debugRecord;

constexpr EFI_GUID kTestPpiGuid = {0x5A17E001, 0x0C0D, 0x4E55, {0x9A, 0x01, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};

class ServicesLib : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.makeCurrent();
    debugRecord().clear();
  }
  zarn::host::Machine machine;
};

TEST_F(ServicesLib, WrappersReachTheFoundation) {
  static const UINT32 ppiValue = 0x00000400u;
  machine.pei.installPpi(kTestPpiGuid, &ppiValue);

  VOID *ppi = nullptr;
  EFI_PEI_PPI_DESCRIPTOR *descriptor = nullptr;
  EXPECT_EQ(ServicesLocatePpi(&kTestPpiGuid, 0, &descriptor, &ppi), EFI_SUCCESS);
  EXPECT_EQ(ppi, &ppiValue);
  ASSERT_NE(descriptor, nullptr);
  EXPECT_EQ(descriptor->Ppi, &ppiValue);
  EXPECT_EQ(ServicesLocatePpi(&kTestPpiGuid, 1, nullptr, &ppi), EFI_NOT_FOUND);

  VOID *list = nullptr;
  EXPECT_EQ(ServicesGetHobList(&list), EFI_SUCCESS);
  EXPECT_EQ(list, machine.pei.hobList());

  VOID *hob = nullptr;
  EXPECT_EQ(ServicesCreateHob(0x0004, 40, &hob), EFI_SUCCESS);
  ASSERT_NE(hob, nullptr);
  const auto *header = static_cast<const EFI_HOB_GENERIC_HEADER *>(hob);
  EXPECT_EQ(header->HobType, 0x0004);
  EXPECT_EQ(header->HobLength, 40);

  EXPECT_EQ(machine.pei.callCount(Service::LocatePpi), 2u);
  EXPECT_EQ(machine.pei.callCount(Service::GetHobList), 1u);
  EXPECT_EQ(machine.pei.callCount(Service::CreateHob), 1u);
  EXPECT_TRUE(debugRecord().asserts.empty());
}

TEST_F(ServicesLib, FailingAndWarningStatusesComeBackUnchanged) {
  static const UINT32 ppiValue = 1;
  machine.pei.installPpi(kTestPpiGuid, &ppiValue);
  const EFI_STATUS statuses[] = {EFI_NOT_FOUND, EFI_DEVICE_ERROR, EFI_OUT_OF_RESOURCES, 0x8000ABCDu,
                                 EFI_WARN_STALE_DATA};
  for (const EFI_STATUS status : statuses) {
    machine.pei.clearFaults();
    machine.pei.injectFault({Service::LocatePpi, status});
    machine.pei.injectFault({Service::GetHobList, status});
    machine.pei.injectFault({Service::CreateHob, status});
    VOID *out = nullptr;
    EXPECT_EQ(ServicesLocatePpi(&kTestPpiGuid, 0, nullptr, &out), status) << std::hex << status;
    EXPECT_EQ(ServicesGetHobList(&out), status) << std::hex << status;
    EXPECT_EQ(ServicesCreateHob(0x0004, 32, &out), status) << std::hex << status;
  }
}

TEST_F(ServicesLib, NoServicesTableAnswersNotFoundWithoutACall) {
  machine.setServicesCell(0);
  VOID *out = nullptr;
  EXPECT_EQ(ServicesLocatePpi(&kTestPpiGuid, 0, nullptr, &out), EFI_NOT_FOUND);
  EXPECT_EQ(ServicesGetHobList(&out), EFI_NOT_FOUND);
  EXPECT_EQ(ServicesCreateHob(0x0004, 32, &out), EFI_NOT_FOUND);
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(machine.pei.calls().empty());
  // Each read of the null cell was reported.
  EXPECT_EQ(debugRecord().expressions(), std::vector<std::string>(3, "PeiServices != ((void *) 0)"));

  // A cell that points to a null table pointer is refused the same way, without a report of its own.
  debugRecord().clear();
  static const EFI_PEI_SERVICES *nullTable = nullptr;
  machine.setServicesCell(reinterpret_cast<uintptr_t>(&nullTable));
  EXPECT_EQ(ServicesGetHobList(&out), EFI_NOT_FOUND);
  EXPECT_TRUE(machine.pei.calls().empty());
  EXPECT_TRUE(debugRecord().asserts.empty());
}

}  // namespace
