// The PEI services table and PPI descriptor in the PI layouts (slots through CreateHob).
#pragma once

#include "ZarnBase.h"

struct EFI_TABLE_HEADER {
  UINT64 Signature;
  UINT32 Revision;
  UINT32 HeaderSize;
  UINT32 CRC32;
  UINT32 Reserved;
};
static_assert(sizeof(EFI_TABLE_HEADER) == 24, "table header");
static_assert(offsetof(EFI_TABLE_HEADER, Revision) == 8, "table header");

enum : UINT32 {
  EFI_PEI_PPI_DESCRIPTOR_PPI = 0x00000010u,
  EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST = 0x80000000u,
};

struct EFI_PEI_PPI_DESCRIPTOR {
  UINT32 Flags;
  const EFI_GUID *Guid;
  const VOID *Ppi;
};

struct EFI_PEI_SERVICES;

typedef EFI_STATUS(EFIAPI *EFI_PEI_INSTALL_PPI)(const EFI_PEI_SERVICES **PeiServices,
                                                const EFI_PEI_PPI_DESCRIPTOR *PpiList);
typedef EFI_STATUS(EFIAPI *EFI_PEI_REINSTALL_PPI)(const EFI_PEI_SERVICES **PeiServices,
                                                  const EFI_PEI_PPI_DESCRIPTOR *OldPpi,
                                                  const EFI_PEI_PPI_DESCRIPTOR *NewPpi);
typedef EFI_STATUS(EFIAPI *EFI_PEI_LOCATE_PPI)(const EFI_PEI_SERVICES **PeiServices, const EFI_GUID *Guid,
                                               UINTN Instance, EFI_PEI_PPI_DESCRIPTOR **PpiDescriptor,
                                               VOID **Ppi);
typedef EFI_STATUS(EFIAPI *EFI_PEI_NOTIFY_PPI)(const EFI_PEI_SERVICES **PeiServices, const VOID *NotifyList);
typedef EFI_STATUS(EFIAPI *EFI_PEI_GET_BOOT_MODE)(const EFI_PEI_SERVICES **PeiServices, UINT32 *BootMode);
typedef EFI_STATUS(EFIAPI *EFI_PEI_SET_BOOT_MODE)(const EFI_PEI_SERVICES **PeiServices, UINT32 BootMode);
typedef EFI_STATUS(EFIAPI *EFI_PEI_GET_HOB_LIST)(const EFI_PEI_SERVICES **PeiServices, VOID **HobList);
typedef EFI_STATUS(EFIAPI *EFI_PEI_CREATE_HOB)(const EFI_PEI_SERVICES **PeiServices, UINT16 Type, UINT16 Length,
                                               VOID **Hob);

struct EFI_PEI_SERVICES {
  EFI_TABLE_HEADER Hdr;
  EFI_PEI_INSTALL_PPI InstallPpi;
  EFI_PEI_REINSTALL_PPI ReInstallPpi;
  EFI_PEI_LOCATE_PPI LocatePpi;
  EFI_PEI_NOTIFY_PPI NotifyPpi;
  EFI_PEI_GET_BOOT_MODE GetBootMode;
  EFI_PEI_SET_BOOT_MODE SetBootMode;
  EFI_PEI_GET_HOB_LIST GetHobList;
  EFI_PEI_CREATE_HOB CreateHob;
};

#if ZARN_IA32
static_assert(sizeof(EFI_PEI_PPI_DESCRIPTOR) == 12, "PPI descriptor on IA32");
static_assert(offsetof(EFI_PEI_SERVICES, Hdr.Revision) == 8, "services table on IA32");
static_assert(offsetof(EFI_PEI_SERVICES, InstallPpi) == 24, "services table on IA32");
static_assert(offsetof(EFI_PEI_SERVICES, LocatePpi) == 32, "services table on IA32");
static_assert(offsetof(EFI_PEI_SERVICES, GetHobList) == 48, "services table on IA32");
static_assert(offsetof(EFI_PEI_SERVICES, CreateHob) == 52, "services table on IA32");
#endif
