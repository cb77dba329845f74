#include "Platform/Host/PeiFoundation.h"

#include <algorithm>
#include <stdexcept>

namespace zarn::host {

const char *serviceName(Service service) {
  switch (service) {
    case Service::InstallPpi: return "InstallPpi";
    case Service::ReInstallPpi: return "ReInstallPpi";
    case Service::LocatePpi: return "LocatePpi";
    case Service::NotifyPpi: return "NotifyPpi";
    case Service::GetBootMode: return "GetBootMode";
    case Service::SetBootMode: return "SetBootMode";
    case Service::GetHobList: return "GetHobList";
    case Service::CreateHob: return "CreateHob";
  }
  return "?";
}

PeiFoundation::PeiFoundation(size_t hobCapacity) {
  EFI_PEI_SERVICES &t = block_.table;
  t = {};
  t.Hdr.Signature = kSignature;
  t.Hdr.Revision = kDefaultRevision;
  t.Hdr.HeaderSize = sizeof(EFI_PEI_SERVICES);
  t.InstallPpi = InstallPpiService;
  t.ReInstallPpi = ReInstallPpiService;
  t.LocatePpi = LocatePpiService;
  t.NotifyPpi = NotifyPpiService;
  t.GetBootMode = GetBootModeService;
  t.SetBootMode = SetBootModeService;
  t.GetHobList = GetHobListService;
  t.CreateHob = CreateHobService;
  block_.owner = this;
  tablePointer_ = &block_.table;
  resetHobList(hobCapacity);
}

size_t PeiFoundation::callCount(Service service) const {
  return static_cast<size_t>(std::count_if(calls_.begin(), calls_.end(), [&](const ServiceCall &c) { return c.service == service; }));
}

// ---------------------------------------------------------------- PPI database

EFI_STATUS PeiFoundation::installList(const EFI_PEI_PPI_DESCRIPTOR *list) {
  if (!list) return EFI_INVALID_PARAMETER;
  // Check the whole list first so that a bad list installs nothing.
  size_t n = 0;
  for (;; ++n) {
    if (n == kMaxDescriptorsPerList) return EFI_INVALID_PARAMETER;
    const EFI_PEI_PPI_DESCRIPTOR &d = list[n];
    if (!(d.Flags & EFI_PEI_PPI_DESCRIPTOR_PPI) || !d.Guid) return EFI_INVALID_PARAMETER;
    if (d.Flags & EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST) break;
  }
  for (size_t i = 0; i <= n; ++i) ppis_.push_back({*list[i].Guid, list[i].Ppi, &list[i], creatorName()});
  return EFI_SUCCESS;
}

EFI_STATUS PeiFoundation::installPpi(const EFI_PEI_PPI_DESCRIPTOR *list) { return installList(list); }

const EFI_PEI_PPI_DESCRIPTOR *PeiFoundation::installPpi(const EFI_GUID &guid, const void *ppi) {
  const EFI_GUID *g = &ownedGuids_.emplace_back(guid);
  const EFI_PEI_PPI_DESCRIPTOR *d = &ownedDescriptors_.emplace_back(
      EFI_PEI_PPI_DESCRIPTOR{EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST, g, ppi});
  ppis_.push_back({guid, ppi, d, creatorName()});
  return d;
}

EFI_STATUS PeiFoundation::locate(const EFI_GUID *guid, UINTN instance, EFI_PEI_PPI_DESCRIPTOR **descriptor,
                                 VOID **ppi) const {
  if (!guid || !ppi) return EFI_INVALID_PARAMETER;
  for (const PpiRecord &r : ppis_) {
    if (!sameGuid(r.guid, *guid)) continue;
    if (instance-- != 0) continue;
    *ppi = const_cast<VOID *>(r.ppi);
    if (descriptor) *descriptor = const_cast<EFI_PEI_PPI_DESCRIPTOR *>(r.descriptor);
    return EFI_SUCCESS;
  }
  return EFI_NOT_FOUND;
}

const void *PeiFoundation::locatePpi(const EFI_GUID &guid, size_t instance,
                                     const EFI_PEI_PPI_DESCRIPTOR **descriptor) const {
  VOID *ppi = nullptr;
  EFI_PEI_PPI_DESCRIPTOR *d = nullptr;
  if (locate(&guid, instance, &d, &ppi) != EFI_SUCCESS) return nullptr;
  if (descriptor) *descriptor = d;
  return ppi;
}

// ---------------------------------------------------------------- HOB list

void PeiFoundation::resetHobList(size_t capacity) {
  if (capacity < sizeof(EFI_HOB_HANDOFF_INFO_TABLE) + sizeof(EFI_HOB_GENERIC_HEADER)) {
    throw std::invalid_argument("HOB list capacity too small for the hand-off HOB and the end marker");
  }
  capacity_ = capacity;
  storage_ = std::make_unique<uint64_t[]>((capacity + 7) / 8);
  std::memset(storage_.get(), 0, capacity);
  created_.clear();
  EFI_HOB_HANDOFF_INFO_TABLE handoff{};
  handoff.Header.HobType = EFI_HOB_TYPE_HANDOFF;
  handoff.Header.HobLength = sizeof handoff;
  handoff.Version = 0x0009;
  std::memcpy(storage_.get(), &handoff, sizeof handoff);
  created_.push_back({0, sizeof handoff, "platform"});
  endOffset_ = sizeof handoff;
  writeEnd();
}

// Writes the end marker at endOffset_ and keeps the hand-off HOB's memory fields current.
void PeiFoundation::writeEnd() {
  auto *base = reinterpret_cast<uint8_t *>(storage_.get());
  const EFI_HOB_GENERIC_HEADER end{EFI_HOB_TYPE_END_OF_HOB_LIST, sizeof(EFI_HOB_GENERIC_HEADER), 0};
  std::memcpy(base + endOffset_, &end, sizeof end);
  const auto at = [&](size_t offset) { return static_cast<EFI_PHYSICAL_ADDRESS>(reinterpret_cast<uintptr_t>(base + offset)); };
  EFI_HOB_HANDOFF_INFO_TABLE handoff;
  std::memcpy(&handoff, base, sizeof handoff);
  handoff.EfiMemoryBottom = at(0);
  handoff.EfiMemoryTop = at(capacity_);
  handoff.EfiFreeMemoryBottom = at(endOffset_ + sizeof end);
  handoff.EfiFreeMemoryTop = at(capacity_);
  handoff.EfiEndOfHobList = at(endOffset_);
  std::memcpy(base, &handoff, sizeof handoff);
}

void *PeiFoundation::createHob(uint16_t type, uint16_t length) {
  if (length < sizeof(EFI_HOB_GENERIC_HEADER)) return nullptr;
  if (length + sizeof(EFI_HOB_GENERIC_HEADER) > capacity_ - endOffset_) return nullptr;
  auto *hob = reinterpret_cast<uint8_t *>(storage_.get()) + endOffset_;
  std::memset(hob, hobFill_, length);
  const EFI_HOB_GENERIC_HEADER header{type, length, 0};
  std::memcpy(hob, &header, sizeof header);
  created_.push_back({endOffset_, length, creatorName()});
  endOffset_ += length;
  writeEnd();
  return hob;
}

std::vector<HobRecord> PeiFoundation::hobs() const {
  const auto *base = reinterpret_cast<const uint8_t *>(storage_.get());
  std::vector<HobRecord> out;
  const auto add = [&](size_t offset, size_t length, const std::string &creator) {
    uint16_t type;
    std::memcpy(&type, base + offset, sizeof type);
    out.push_back({offset, type, {base + offset, length}, creator});
  };
  for (const CreatedHob &h : created_) add(h.offset, h.length, h.creator);
  add(endOffset_, sizeof(EFI_HOB_GENERIC_HEADER), "platform");
  return out;
}

std::vector<std::span<const uint8_t>> PeiFoundation::guidHobData(const EFI_GUID &guid) const {
  std::vector<std::span<const uint8_t>> out;
  for (const HobRecord &h : hobs()) {
    if (h.type != EFI_HOB_TYPE_GUID_EXTENSION || h.bytes.size() < sizeof(EFI_HOB_GUID_TYPE)) continue;
    EFI_GUID name;
    std::memcpy(&name, h.bytes.data() + offsetof(EFI_HOB_GUID_TYPE, Name), sizeof name);
    if (sameGuid(name, guid)) out.push_back(h.bytes.subspan(sizeof(EFI_HOB_GUID_TYPE)));
  }
  return out;
}

// ---------------------------------------------------------------- the services table

PeiFoundation *PeiFoundation::ownerOf(const EFI_PEI_SERVICES **services) {
  if (!services || !*services) return nullptr;
  return reinterpret_cast<const ServicesBlock *>(*services)->owner;
}

const Fault *PeiFoundation::nextFault(Service service) {
  const Fault *hit = nullptr;
  for (ActiveFault &a : faults_) {
    if (a.fault.service != service) continue;
    ++a.seen;
    if (!hit && a.seen > a.fault.after && a.seen - a.fault.after <= a.fault.count) hit = &a.fault;
  }
  return hit;
}

EFI_STATUS PeiFoundation::finish(Service service, EFI_STATUS status, const EFI_GUID *guid) {
  calls_.push_back({service, status, guid ? *guid : EFI_GUID{}, runningModule_});
  return status;
}

// Runs one table call: an injected error replaces the work; an injected warning replaces a success.
template <typename Work>
static EFI_STATUS serve(const Fault *fault, Work work) {
  if (fault && EFI_ERROR(fault->status)) return fault->status;
  const EFI_STATUS status = work();
  return fault && status == EFI_SUCCESS ? fault->status : status;
}

EFI_STATUS EFIAPI PeiFoundation::InstallPpiService(const EFI_PEI_SERVICES **services,
                                                   const EFI_PEI_PPI_DESCRIPTOR *list) {
  PeiFoundation *self = ownerOf(services);
  if (!self) return EFI_INVALID_PARAMETER;
  const EFI_STATUS status = serve(self->nextFault(Service::InstallPpi), [&] { return self->installList(list); });
  return self->finish(Service::InstallPpi, status, list ? list->Guid : nullptr);
}

EFI_STATUS EFIAPI PeiFoundation::LocatePpiService(const EFI_PEI_SERVICES **services, const EFI_GUID *guid,
                                                  UINTN instance, EFI_PEI_PPI_DESCRIPTOR **descriptor, VOID **ppi) {
  PeiFoundation *self = ownerOf(services);
  if (!self) return EFI_INVALID_PARAMETER;
  const EFI_STATUS status =
      serve(self->nextFault(Service::LocatePpi), [&] { return self->locate(guid, instance, descriptor, ppi); });
  return self->finish(Service::LocatePpi, status, guid);
}

EFI_STATUS EFIAPI PeiFoundation::GetHobListService(const EFI_PEI_SERVICES **services, VOID **hobList) {
  PeiFoundation *self = ownerOf(services);
  if (!self) return EFI_INVALID_PARAMETER;
  const EFI_STATUS status = serve(self->nextFault(Service::GetHobList), [&] {
    if (!hobList) return EFI_INVALID_PARAMETER;
    *hobList = self->hobList();
    return EFI_SUCCESS;
  });
  return self->finish(Service::GetHobList, status, nullptr);
}

EFI_STATUS EFIAPI PeiFoundation::CreateHobService(const EFI_PEI_SERVICES **services, UINT16 type, UINT16 length,
                                                  VOID **hob) {
  PeiFoundation *self = ownerOf(services);
  if (!self) return EFI_INVALID_PARAMETER;
  const EFI_STATUS status = serve(self->nextFault(Service::CreateHob), [&] {
    if (!hob) return EFI_INVALID_PARAMETER;
    void *created = self->createHob(type, length);
    if (!created) return EFI_OUT_OF_RESOURCES;
    *hob = created;
    return EFI_SUCCESS;
  });
  return self->finish(Service::CreateHob, status, nullptr);
}

// The services the deliverables never call answer EFI_UNSUPPORTED (or an injected status).
EFI_STATUS EFIAPI PeiFoundation::ReInstallPpiService(const EFI_PEI_SERVICES **services, const EFI_PEI_PPI_DESCRIPTOR *,
                                                     const EFI_PEI_PPI_DESCRIPTOR *) {
  PeiFoundation *self = ownerOf(services);
  if (!self) return EFI_UNSUPPORTED;
  return self->finish(Service::ReInstallPpi, serve(self->nextFault(Service::ReInstallPpi), [] { return EFI_UNSUPPORTED; }), nullptr);
}

EFI_STATUS EFIAPI PeiFoundation::NotifyPpiService(const EFI_PEI_SERVICES **services, const VOID *) {
  PeiFoundation *self = ownerOf(services);
  if (!self) return EFI_UNSUPPORTED;
  return self->finish(Service::NotifyPpi, serve(self->nextFault(Service::NotifyPpi), [] { return EFI_UNSUPPORTED; }), nullptr);
}

EFI_STATUS EFIAPI PeiFoundation::GetBootModeService(const EFI_PEI_SERVICES **services, UINT32 *) {
  PeiFoundation *self = ownerOf(services);
  if (!self) return EFI_UNSUPPORTED;
  return self->finish(Service::GetBootMode, serve(self->nextFault(Service::GetBootMode), [] { return EFI_UNSUPPORTED; }), nullptr);
}

EFI_STATUS EFIAPI PeiFoundation::SetBootModeService(const EFI_PEI_SERVICES **services, UINT32) {
  PeiFoundation *self = ownerOf(services);
  if (!self) return EFI_UNSUPPORTED;
  return self->finish(Service::SetBootMode, serve(self->nextFault(Service::SetBootMode), [] { return EFI_UNSUPPORTED; }), nullptr);
}

}  // namespace zarn::host
