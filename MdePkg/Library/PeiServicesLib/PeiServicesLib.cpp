// Wrappers for the services library code uses without being handed the services pointer. Each passes
// the service's status back unchanged. With no services table (null cell, already reported by
// ReadPeiServicesTablePointer, or a null table pointer) they answer EFI_NOT_FOUND and call nothing.
#include "Library/PeiServicesLib.h"

namespace {

const EFI_PEI_SERVICES *ServicesTable(const EFI_PEI_SERVICES **PeiServices) {
  return PeiServices != nullptr ? *PeiServices : nullptr;
}

}  // namespace

EFI_STATUS ServicesLocatePpi(const EFI_GUID *Guid, UINTN Instance, EFI_PEI_PPI_DESCRIPTOR **PpiDescriptor, VOID **Ppi) {
  const EFI_PEI_SERVICES **PeiServices = ReadPeiServicesTablePointer();
  const EFI_PEI_SERVICES *Table = ServicesTable(PeiServices);
  if (Table == nullptr) {
    return EFI_NOT_FOUND;
  }
  return Table->LocatePpi(PeiServices, Guid, Instance, PpiDescriptor, Ppi);
}

EFI_STATUS ServicesGetHobList(VOID **HobList) {
  const EFI_PEI_SERVICES **PeiServices = ReadPeiServicesTablePointer();
  const EFI_PEI_SERVICES *Table = ServicesTable(PeiServices);
  if (Table == nullptr) {
    return EFI_NOT_FOUND;
  }
  return Table->GetHobList(PeiServices, HobList);
}

EFI_STATUS ServicesCreateHob(UINT16 Type, UINT16 Length, VOID **Hob) {
  const EFI_PEI_SERVICES **PeiServices = ReadPeiServicesTablePointer();
  const EFI_PEI_SERVICES *Table = ServicesTable(PeiServices);
  if (Table == nullptr) {
    return EFI_NOT_FOUND;
  }
  return Table->CreateHob(PeiServices, Type, Length, Hob);
}
