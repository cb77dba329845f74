// The foundation's services as modules reach them: through the table behind the services pointer.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Platform/Host/Machine.h"
#include "Platform/Seam.h"

namespace zarn::host {
namespace {

constexpr EFI_GUID kGuidA = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr EFI_GUID kGuidB = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 9}};  // differs in the last byte
constexpr UINT32 kPpi = 0x00000010u;
constexpr UINT32 kPpiLast = 0x80000010u;

struct Table {
  Machine machine;
  const EFI_PEI_SERVICES **ps = machine.pei.servicesPointer();
  EFI_STATUS install(const EFI_PEI_PPI_DESCRIPTOR *list) { return (*ps)->InstallPpi(ps, list); }
  EFI_STATUS locate(const EFI_GUID &g, UINTN instance, VOID **ppi, EFI_PEI_PPI_DESCRIPTOR **d = nullptr) {
    return (*ps)->LocatePpi(ps, &g, instance, d, ppi);
  }
  EFI_STATUS create(UINT16 type, UINT16 length, VOID **hob) { return (*ps)->CreateHob(ps, type, length, hob); }
  // Walks the list the way firmware does: from GetHobList, by HobLength, to the end marker.
  std::vector<std::pair<UINT16, UINT16>> walk() {
    VOID *list = nullptr;
    EXPECT_EQ((*ps)->GetHobList(ps, &list), EFI_SUCCESS);
    std::vector<std::pair<UINT16, UINT16>> out;
    const auto *p = static_cast<const UINT8 *>(list);
    for (int guard = 0; guard < 1000; ++guard) {
      EFI_HOB_GENERIC_HEADER h;  // copied: a HOB after one of odd length is not aligned
      std::memcpy(&h, p, sizeof h);
      out.emplace_back(h.HobType, h.HobLength);
      if (h.HobType == 0xFFFF) break;
      p += h.HobLength;
    }
    return out;
  }
};

TEST(PeiFoundation, InstallsListsAndLocatesByGuidAndInstance) {
  Table t;
  static const UINT32 a0 = 0, b0 = 1, a1 = 2, a2 = 3;
  const EFI_PEI_PPI_DESCRIPTOR first[] = {{kPpi, &kGuidA, &a0}, {kPpi, &kGuidB, &b0}, {kPpiLast, &kGuidA, &a1}};
  const EFI_PEI_PPI_DESCRIPTOR second[] = {{kPpiLast, &kGuidA, &a2}};
  t.machine.pei.setRunningModule("Quilkeep");
  ASSERT_EQ(t.install(first), EFI_SUCCESS);
  ASSERT_EQ(t.install(second), EFI_SUCCESS);

  const UINT32 *expected[] = {&a0, &a1, &a2};
  for (UINTN i = 0; i < 3; ++i) {
    VOID *ppi = nullptr;
    EFI_PEI_PPI_DESCRIPTOR *d = nullptr;
    EXPECT_EQ(t.locate(kGuidA, i, &ppi, &d), EFI_SUCCESS) << i;
    EXPECT_EQ(ppi, expected[i]) << i;
    EXPECT_EQ(d ? d->Ppi : nullptr, expected[i]) << i;
  }
  VOID *ppi = nullptr;
  EXPECT_EQ(t.locate(kGuidB, 0, &ppi), EFI_SUCCESS);  // descriptor out-pointer not requested
  EXPECT_EQ(ppi, &b0);

  VOID *untouched = &ppi;
  EXPECT_EQ(t.locate(kGuidA, 3, &untouched), EFI_NOT_FOUND);
  EXPECT_EQ(t.locate(kGuidB, 1, &untouched), EFI_NOT_FOUND);
  EXPECT_EQ(untouched, &ppi);

  ASSERT_EQ(t.machine.pei.ppis().size(), 4u);
  EXPECT_EQ(t.machine.pei.ppis()[1].installer, "Quilkeep");
  EXPECT_EQ(t.machine.pei.calls().back().module, "Quilkeep");
}

TEST(PeiFoundation, RefusesBadDescriptorListsWholly) {
  static const UINT32 x = 0;
  const EFI_PEI_PPI_DESCRIPTOR noPpiFlag[] = {{kPpi, &kGuidA, &x}, {0x80000000u, &kGuidB, &x}};
  const EFI_PEI_PPI_DESCRIPTOR nullGuid[] = {{kPpiLast, nullptr, &x}};
  const std::vector<EFI_PEI_PPI_DESCRIPTOR> neverTerminated(300, {kPpi, &kGuidA, &x});
  const EFI_PEI_PPI_DESCRIPTOR *cases[] = {noPpiFlag, nullGuid, neverTerminated.data(), nullptr};
  for (const EFI_PEI_PPI_DESCRIPTOR *list : cases) {
    Table t;
    EXPECT_EQ(t.install(list), EFI_INVALID_PARAMETER);
    EXPECT_TRUE(t.machine.pei.ppis().empty());
  }
}

TEST(PeiFoundation, HobListStartsWithHandOffAndEndsWithEndMarker) {
  Table t;
  EXPECT_EQ(t.walk(), (std::vector<std::pair<UINT16, UINT16>>{{0x0001, 56}, {0xFFFF, 8}}));

  VOID *guidHob = nullptr, *allocHob = nullptr, *oddHob = nullptr;
  ASSERT_EQ(t.create(0x0004, 24, &guidHob), EFI_SUCCESS);
  ASSERT_EQ(t.create(0x0002, 48, &allocHob), EFI_SUCCESS);
  ASSERT_EQ(t.create(0x0004, 25, &oddHob), EFI_SUCCESS);  // the length is kept as asked, not rounded
  EXPECT_EQ(t.walk(), (std::vector<std::pair<UINT16, UINT16>>{
                          {0x0001, 56}, {0x0004, 24}, {0x0002, 48}, {0x0004, 25}, {0xFFFF, 8}}));
  EXPECT_EQ(static_cast<UINT8 *>(allocHob), static_cast<UINT8 *>(guidHob) + 24);

  // The hand-off HOB tracks the end of the list.
  VOID *list = nullptr;
  (*t.ps)->GetHobList(t.ps, &list);
  const auto *handoff = static_cast<const EFI_HOB_HANDOFF_INFO_TABLE *>(list);
  EXPECT_EQ(handoff->EfiEndOfHobList, reinterpret_cast<uintptr_t>(oddHob) + 25);

  const std::vector<HobRecord> view = t.machine.pei.hobs();
  ASSERT_EQ(view.size(), 5u);
  EXPECT_EQ(view.back().type, 0xFFFF);
  EXPECT_EQ(view[3].bytes.size(), 25u);
}

TEST(PeiFoundation, CreateHobRefusesShortLengthsAndAFullList) {
  Table t;
  t.machine.pei.resetHobList(56 + 8 + 32);  // room for 32 bytes of HOBs besides the end marker
  VOID *hob = &t;
  EXPECT_EQ(t.create(0x0004, 7, &hob), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(t.create(0x0004, 0, &hob), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(hob, &t);
  EXPECT_EQ(t.create(0x0004, 24, &hob), EFI_SUCCESS);
  EXPECT_EQ(t.create(0x0004, 16, &hob), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(t.create(0x0004, 8, &hob), EFI_SUCCESS);  // fills the buffer exactly
  EXPECT_EQ(t.create(0x0004, 8, &hob), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(t.walk(), (std::vector<std::pair<UINT16, UINT16>>{{0x0001, 56}, {0x0004, 24}, {0x0004, 8}, {0xFFFF, 8}}));
}

TEST(PeiFoundation, UnusedSlotsAnswerUnsupported) {
  Table t;
  UINT32 mode = 0;
  EXPECT_EQ((*t.ps)->ReInstallPpi(t.ps, nullptr, nullptr), EFI_UNSUPPORTED);
  EXPECT_EQ((*t.ps)->NotifyPpi(t.ps, nullptr), EFI_UNSUPPORTED);
  EXPECT_EQ((*t.ps)->GetBootMode(t.ps, &mode), EFI_UNSUPPORTED);
  EXPECT_EQ((*t.ps)->SetBootMode(t.ps, 0), EFI_UNSUPPORTED);
}

TEST(PeiFoundation, ServicesPointerSitsBelowIdtBaseAndRevisionIsSettable) {
  Table t;
  t.machine.makeCurrent();
  IdtrRecord idtr{};
  PlatformReadIdtr(&idtr);
  const auto cell = [&] { return *reinterpret_cast<const uintptr_t *>(idtr.Base - sizeof(void *)); };
  EXPECT_EQ(cell(), reinterpret_cast<uintptr_t>(t.ps));
  t.machine.setServicesCell(0);
  EXPECT_EQ(cell(), 0u);
  t.machine.setServicesCell(0x12345678);
  EXPECT_EQ(cell(), 0x12345678u);

  EXPECT_EQ((*t.ps)->Hdr.Signature, 0x5652455320494550ull);
  t.machine.pei.setRevision(0x00010020);
  EXPECT_EQ((*t.ps)->Hdr.Revision, 0x00010020u);
}

// Four LocatePpi calls for an installed PPI under one injected fault.
struct LocateFaultCase {
  Fault fault;
  std::vector<EFI_STATUS> statuses;
};

TEST(PeiFoundation, InjectedFaultsShapeLocatePpiAnswers) {
  const LocateFaultCase cases[] = {
      {{Service::LocatePpi, EFI_NOT_FOUND}, {EFI_NOT_FOUND, EFI_NOT_FOUND, EFI_NOT_FOUND, EFI_NOT_FOUND}},
      {{Service::LocatePpi, EFI_DEVICE_ERROR, 1, 2}, {EFI_SUCCESS, EFI_DEVICE_ERROR, EFI_DEVICE_ERROR, EFI_SUCCESS}},
      {{Service::LocatePpi, EFI_WARN_STALE_DATA, 0, 1}, {EFI_WARN_STALE_DATA, EFI_SUCCESS, EFI_SUCCESS, EFI_SUCCESS}},
      {{Service::CreateHob, EFI_NOT_FOUND}, {EFI_SUCCESS, EFI_SUCCESS, EFI_SUCCESS, EFI_SUCCESS}},
  };
  static const UINT32 value = 0;
  for (const LocateFaultCase &c : cases) {
    Table t;
    t.machine.pei.installPpi(kGuidA, &value);
    t.machine.pei.injectFault(c.fault);
    for (size_t i = 0; i < c.statuses.size(); ++i) {
      VOID *ppi = nullptr;
      EXPECT_EQ(t.locate(kGuidA, 0, &ppi), c.statuses[i]) << i;
      // An error answer writes nothing; success and warnings do the work.
      EXPECT_EQ(ppi, EFI_ERROR(c.statuses[i]) ? nullptr : &value) << i;
    }
  }
}

TEST(PeiFoundation, InjectedFaultsShapeCreateHob) {
  Table t;
  t.machine.pei.injectFault({Service::CreateHob, EFI_OUT_OF_RESOURCES, 0, 1});
  t.machine.pei.injectFault({Service::CreateHob, EFI_WARN_BUFFER_TOO_SMALL, 1, 1});
  VOID *hob = nullptr;
  EXPECT_EQ(t.create(0x0004, 24, &hob), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(hob, nullptr);
  EXPECT_EQ(t.create(0x0004, 32, &hob), EFI_WARN_BUFFER_TOO_SMALL);
  EXPECT_NE(hob, nullptr);
  EXPECT_EQ(t.create(0x0004, 40, &hob), EFI_SUCCESS);
  EXPECT_EQ(t.walk(), (std::vector<std::pair<UINT16, UINT16>>{{0x0001, 56}, {0x0004, 32}, {0x0004, 40}, {0xFFFF, 8}}));
}

TEST(PeiFoundation, PlatformCallsNeitherCountNorFault) {
  Table t;
  static const UINT32 value = 0;
  t.machine.pei.injectFault({Service::LocatePpi, EFI_NOT_FOUND, 1, 1});
  t.machine.pei.injectFault({Service::CreateHob, EFI_OUT_OF_RESOURCES});
  t.machine.pei.installPpi(kGuidA, &value);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(t.machine.pei.locatePpi(kGuidA), &value);
  EXPECT_NE(t.machine.pei.createHob(0x0004, 24), nullptr);
  EXPECT_EQ(t.machine.pei.callCount(Service::LocatePpi), 0u);

  VOID *ppi = nullptr;
  EXPECT_EQ(t.locate(kGuidA, 0, &ppi), EFI_SUCCESS);
  EXPECT_EQ(t.locate(kGuidA, 0, &ppi), EFI_NOT_FOUND);
  EXPECT_EQ(t.locate(kGuidA, 0, &ppi), EFI_SUCCESS);
  EXPECT_EQ(t.machine.pei.callCount(Service::LocatePpi), 3u);
}

}  // namespace
}  // namespace zarn::host
