#include "Platform/Host/Modules/MemoryInitModule.h"

#include <algorithm>

#include "Guid/ZarnGuids.h"
#include "Platform/Host/Machine.h"

namespace zarn::host {

namespace {

// GetHoleMap receives only the services pointer, so installed modules are found through it.
std::vector<MemoryInitModule *> &installedModules() {
  static std::vector<MemoryInitModule *> modules;
  return modules;
}

template <typename T>
void padTo(std::vector<T> &v, size_t n) {
  if (v.size() < n) v.resize(n, T{});
}

}  // namespace

MemoryInitModule::MemoryInitModule(MemoryInitConfig config) : config_(std::move(config)) {}

MemoryInitModule::~MemoryInitModule() { std::erase(installedModules(), this); }

void MemoryInitModule::update() {
  const size_t units = size_t{config_.counts[0]} * config_.counts[1];
  const size_t items = units * config_.counts[2];
  MemoryConfigArrays &a = config_.arrays;
  padTo(a.array0, units);
  padTo(a.array1, items);
  padTo(a.array2, units);
  padTo(a.array3, units);
  padTo(a.array4, units);
  for (std::vector<uint8_t> &b : a.bytes) padTo(b, items);

  ppi_ = {};
  ppi_.Value32 = config_.value32;
  ppi_.Value16 = config_.value16;
  ppi_.Value8Valid = config_.value8Valid;
  ppi_.Value8 = config_.value8;
  ppi_.Value32B = config_.value32B;
  ppi_.GetHoleMap = &MemoryInitModule::GetHoleMap;
  ppi_.Dim0Count = config_.counts[0];
  ppi_.Dim1Count = config_.counts[1];
  ppi_.Dim2Count = config_.counts[2];
  ppi_.Dim3Count = config_.counts[3];
  ppi_.Scalars = config_.scalars;
  const void *sources[MEMORY_CONFIG_ARRAY_COUNT] = {a.array0.data(), a.array1.data(), a.array2.data(),
                                                    a.array3.data(), a.array4.data()};
  for (size_t n = 5; n < MEMORY_CONFIG_ARRAY_COUNT; ++n) sources[n] = a.bytes[n - 5].data();
  for (size_t n = 0; n < MEMORY_CONFIG_ARRAY_COUNT; ++n) {
    ppi_.ArraySource[n] = config_.nullSource[n] ? nullptr : sources[n];
  }

  holeMap_.assign(std::max<size_t>(config_.holes.size(), 1), HoleMapEntry{});
  for (size_t i = 0; i < config_.holes.size(); ++i) {
    holeMap_[i] = HoleMapEntry{config_.holes[i].base, config_.holes[i].size, config_.holes[i].type, 0};
  }
}

void MemoryInitModule::install(Machine &machine) {
  update();
  machine_ = &machine;
  services_ = machine.pei.servicesPointer();
  if (std::find(installedModules().begin(), installedModules().end(), this) == installedModules().end()) {
    installedModules().push_back(this);
  }
  machine.pei.installPpi(gMemoryInformationPpiGuid, &ppi_);
}

EFI_STATUS MemoryInitModule::answerHoleMap(UINT32 *numOfHoles, UINT64 *topOfMemory, HoleMapEntry **holeMapPtr) {
  ++holeMapCalls_;
  if (config_.holeMapStatus != EFI_SUCCESS) return config_.holeMapStatus;
  if (!numOfHoles || !topOfMemory || !holeMapPtr) return EFI_INVALID_PARAMETER;
  *numOfHoles = static_cast<UINT32>(config_.holes.size());
  *topOfMemory = config_.topOfMemory;
  *holeMapPtr = config_.nullHoleMap ? nullptr : holeMap_.data();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI MemoryInitModule::GetHoleMap(const EFI_PEI_SERVICES **PeiServices, UINT32 *NumOfHoles,
                                               UINT64 *TopOfMemory, HoleMapEntry **HoleMapPtr) {
  // The module whose PPI the machine hands out first answers, as a caller that located it expects.
  MemoryInitModule *answering = nullptr;
  for (MemoryInitModule *m : installedModules()) {
    if (m->services_ != PeiServices) continue;
    if (!answering || m->machine_->pei.locatePpi(gMemoryInformationPpiGuid) == &m->ppi_) answering = m;
  }
  if (!answering) return EFI_NOT_FOUND;
  return answering->answerHoleMap(NumOfHoles, TopOfMemory, HoleMapPtr);
}

}  // namespace zarn::host
