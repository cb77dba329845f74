// The built Quilkeep image: discovery in its constructor list, then the entry installing the accessor PPI.
#include <gtest/gtest.h>

#include "tests/Kov/QuilDrv/Quilkeep/QuilkeepBoot.h"

using namespace zarn::builders;
using zarn::host::Fault;
using zarn::host::Service;
using zarn::test::QuilkeepBoot;
using zarn::test::Strings;

namespace {

QuilBlockDesc oneEntryBlock() {
  QuilBlockDesc d;
  QuilEntryDesc e;
  e.group = 1;
  e.type = 16;
  e.size = 0x1C0;
  e.fields = {Field::u8(0x30, 0x5A)};
  d.entries = {e};
  return d;
}

TEST(QuilkeepImage, DiscoversTheBlockThenInstallsTheAccessorPpi) {
  QuilkeepBoot boot;
  boot.install(oneEntryBlock());
  EXPECT_EQ(boot.run(), EFI_SUCCESS);

  std::vector<std::string> constructors;
  for (const auto &c : boot.machine.constructors()) {
    EXPECT_EQ(c.status, EFI_SUCCESS);
    constructors.push_back(c.constructor);
  }
  EXPECT_EQ(constructors, (Strings{"SerialInitialize", "AcpiTimerLibConstructor", "ZarnKovQuilLibConstructor"}));
  EXPECT_EQ(boot.messages(), (Strings{"ZarnKovQuilLibConstructor\n", "Init QUIL HOB Info struct\n",
                                      "QUIL Addr 10000000\n", "QUIL HOB Build Success\n", "QuilkeepDriverEntry >>\n",
                                      "\tInstall PPI\n", "QuilkeepDriverEntry <<\n"}));

  std::vector<Bytes> created;
  for (const auto &h : boot.machine.pei.hobs()) {
    if (h.creator == "Quilkeep") created.emplace_back(h.bytes.begin(), h.bytes.end());
  }
  ASSERT_EQ(created.size(), 2u);
  const Bytes infoData(created[0].begin() + 24, created[0].end());
  EXPECT_EQ(infoData, (Bytes{1, 0, 0, 0, 0xD0, 0x01, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0}));
  EXPECT_EQ(created[1].size(), 48u);

  // One PPI, installed by the image, under a descriptor of the image.
  size_t installed = 0;
  for (const auto &p : boot.machine.pei.ppis()) {
    if (!zarn::host::sameGuid(p.guid, gZarnQuilAccessorPpiGuid)) continue;
    installed++;
    EXPECT_EQ(p.installer, "Quilkeep");
    EXPECT_EQ(p.descriptor->Flags, 0x80000010u);
    EXPECT_EQ(p.descriptor->Ppi, p.ppi);
  }
  EXPECT_EQ(installed, 1u);
  ASSERT_NE(boot.ppi, nullptr);
  UINT8 value = 0;
  EXPECT_EQ(boot.ppi->GetDornInstanceTrov(&value), EFI_SUCCESS);
  EXPECT_EQ(value, 0x5A);
  EXPECT_EQ(boot.assertions(), Strings{});
}

TEST(QuilkeepImage, InstallPpiFailureIsReportedAndTheEntryStillSucceeds) {
  QuilkeepBoot boot;
  boot.install(oneEntryBlock());
  boot.machine.pei.injectFault(Fault{Service::InstallPpi, EFI_OUT_OF_RESOURCES});
  EXPECT_EQ(boot.run(), EFI_SUCCESS);
  EXPECT_EQ(boot.ppi, nullptr);
  const Strings all = boot.messages();
  EXPECT_EQ(Strings(all.end() - 4, all.end()),
            (Strings{"QuilkeepDriverEntry >>\n", "\tInstall PPI\n", "InstallPpi fail\n", "QuilkeepDriverEntry <<\n"}));
  EXPECT_EQ(boot.assertions(), Strings{"Kov/QuilDrv/Quilkeep/Quilkeep: 0"});
}

TEST(QuilkeepImage, ExcludedLineDiscoversNothingAndAccessorsFindNoBlock) {
  QuilkeepBoot boot;
  boot.install(oneEntryBlock());
  boot.setProcessor(ProcessorLineExcluded);
  EXPECT_EQ(boot.run(), EFI_SUCCESS);
  for (const auto &h : boot.machine.pei.hobs()) EXPECT_NE(h.creator, "Quilkeep");
  EXPECT_EQ(boot.messages(), (Strings{"ZarnKovQuilLibConstructor\n", "QuilkeepDriverEntry >>\n", "\tInstall PPI\n",
                                      "QuilkeepDriverEntry <<\n"}));
  ASSERT_NE(boot.ppi, nullptr);
  UINT32 dword = 0x12345678;
  EXPECT_EQ(boot.ppi->GetG3T2DwordTrov(0, &dword), EFI_NOT_FOUND);
  EXPECT_EQ(dword, 0x12345678u);
}

}  // namespace
