// The services table, the PPI database and the HOB list of the emulator boot. They answer exactly as the
// host's simulated foundation does, so that both targets can be compared byte for byte: calls through the
// table are counted per module and may be failed by an injected fault; the platform's own calls are not.
#include "Platform/Ia32/Boot/Foundation.h"

#include "Platform/Seam.h"

namespace {

constexpr UINT64 ServicesSignature = 0x5652455320494550ull;  // "PEI SERV"
constexpr UINT32 MaxDescriptorsPerList = 256;                 // a list that never terminates is refused
constexpr UINT16 GateInterrupt32 = 0x8E00;                    // present, DPL 0, 32-bit interrupt gate

UINT8 *HobBase() { return reinterpret_cast<UINT8 *>(static_cast<UINTN>(BootHobListBase)); }

VOID CopyBytes(VOID *To, const VOID *From, UINTN Length) {
  UINT8 *T = static_cast<UINT8 *>(To);
  const UINT8 *F = static_cast<const UINT8 *>(From);
  for (UINTN Index = 0; Index < Length; Index++) {
    T[Index] = F[Index];
  }
}

VOID FillBytes(VOID *To, UINT8 Value, UINTN Length) {
  UINT8 *T = static_cast<UINT8 *>(To);
  for (UINTN Index = 0; Index < Length; Index++) {
    T[Index] = Value;
  }
}

BOOLEAN SameGuid(const EFI_GUID &A, const EFI_GUID &B) {
  const UINT8 *X = reinterpret_cast<const UINT8 *>(&A);
  const UINT8 *Y = reinterpret_cast<const UINT8 *>(&B);
  for (UINTN Index = 0; Index < sizeof(EFI_GUID); Index++) {
    if (X[Index] != Y[Index]) {
      return FALSE;
    }
  }
  return TRUE;
}

// ---- HOB list --------------------------------------------------------------------------------------------

// Writes the end marker at HobEnd and keeps the hand-off HOB's memory fields current.
VOID WriteEnd() {
  BootState &S = State();
  const EFI_HOB_GENERIC_HEADER End = {EFI_HOB_TYPE_END_OF_HOB_LIST, sizeof(EFI_HOB_GENERIC_HEADER), 0};
  CopyBytes(HobBase() + S.HobEnd, &End, sizeof End);
  EFI_HOB_HANDOFF_INFO_TABLE Handoff;
  CopyBytes(&Handoff, HobBase(), sizeof Handoff);
  Handoff.EfiMemoryBottom = BootHobListBase;
  Handoff.EfiMemoryTop = BootHobListBase + BootHobListSize;
  Handoff.EfiFreeMemoryBottom = BootHobListBase + S.HobEnd + sizeof End;
  Handoff.EfiFreeMemoryTop = BootHobListBase + BootHobListSize;
  Handoff.EfiEndOfHobList = BootHobListBase + S.HobEnd;
  CopyBytes(HobBase(), &Handoff, sizeof Handoff);
}

VOID RecordHob(UINT32 Offset, UINT32 Length) {
  BootState &S = State();
  if (S.HobCount < BootMaxHobRecords) {
    S.Hobs[S.HobCount] = {Offset, Length, S.RunningModule};
  }
  S.HobCount++;
}

VOID StartHobList() {
  BootState &S = State();
  FillBytes(HobBase(), 0, BootHobListSize);
  EFI_HOB_HANDOFF_INFO_TABLE Handoff = {};
  Handoff.Header.HobType = EFI_HOB_TYPE_HANDOFF;
  Handoff.Header.HobLength = sizeof Handoff;
  Handoff.Version = 0x0009;
  CopyBytes(HobBase(), &Handoff, sizeof Handoff);
  S.HobCount = 0;
  RecordHob(0, sizeof Handoff);
  S.HobEnd = sizeof Handoff;
  WriteEnd();
}

// A new HOB with its header filled in and its body zero, or null when the list is full or Length < 8.
VOID *NewHob(UINT16 Type, UINT16 Length) {
  BootState &S = State();
  if (Length < sizeof(EFI_HOB_GENERIC_HEADER)) {
    return nullptr;
  }
  if (Length + sizeof(EFI_HOB_GENERIC_HEADER) > BootHobListSize - S.HobEnd) {
    return nullptr;
  }
  UINT8 *Hob = HobBase() + S.HobEnd;
  FillBytes(Hob, 0, Length);
  const EFI_HOB_GENERIC_HEADER Header = {Type, Length, 0};
  CopyBytes(Hob, &Header, sizeof Header);
  RecordHob(S.HobEnd, Length);
  S.HobEnd += Length;
  WriteEnd();
  return Hob;
}

// ---- PPI database ------------------------------------------------------------------------------------------

EFI_STATUS InstallList(const EFI_PEI_PPI_DESCRIPTOR *List) {
  BootState &S = State();
  if (List == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  // The whole list is checked first, so a bad list installs nothing.
  UINT32 Last = 0;
  for (;; Last++) {
    if (Last == MaxDescriptorsPerList) {
      return EFI_INVALID_PARAMETER;
    }
    const EFI_PEI_PPI_DESCRIPTOR &D = List[Last];
    if ((D.Flags & EFI_PEI_PPI_DESCRIPTOR_PPI) == 0 || D.Guid == nullptr) {
      return EFI_INVALID_PARAMETER;
    }
    if ((D.Flags & EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST) != 0) {
      break;
    }
  }
  if (S.PpiCount + Last + 1 > BootMaxPpis) {
    return EFI_OUT_OF_RESOURCES;
  }
  for (UINT32 Index = 0; Index <= Last; Index++) {
    S.Ppis[S.PpiCount++] = {*List[Index].Guid, List[Index].Ppi, &List[Index], S.RunningModule};
  }
  return EFI_SUCCESS;
}

EFI_STATUS Locate(const EFI_GUID *Guid, UINTN Instance, EFI_PEI_PPI_DESCRIPTOR **Descriptor, VOID **Ppi) {
  const BootState &S = State();
  if (Guid == nullptr || Ppi == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  for (UINT32 Index = 0; Index < S.PpiCount; Index++) {
    const BootPpiRecord &R = S.Ppis[Index];
    if (!SameGuid(R.Guid, *Guid)) {
      continue;
    }
    if (Instance-- != 0) {
      continue;
    }
    *Ppi = const_cast<VOID *>(R.Ppi);
    if (Descriptor != nullptr) {
      *Descriptor = const_cast<EFI_PEI_PPI_DESCRIPTOR *>(R.Descriptor);
    }
    return EFI_SUCCESS;
  }
  return EFI_NOT_FOUND;
}

// ---- Accounting and fault injection --------------------------------------------------------------------

BOOLEAN OwnServices(const EFI_PEI_SERVICES **Services) {
  return Services == FoundationServices() && *Services == &State().Table;
}

// Counts the call against every fault of the service; the first fault whose window holds it answers.
const BootFault *NextFault(UINT32 Service) {
  BootState &S = State();
  const BootFault *Hit = nullptr;
  for (UINT32 Index = 0; Index < S.FaultCount; Index++) {
    BootActiveFault &A = S.Faults[Index];
    if (A.Fault.Service != Service) {
      continue;
    }
    A.Seen++;
    if (Hit == nullptr && A.Seen > A.Fault.After && A.Seen - A.Fault.After <= A.Fault.Count) {
      Hit = &A.Fault;
    }
  }
  return Hit;
}

EFI_STATUS Finish(UINT32 Service, EFI_STATUS Status) {
  BootState &S = State();
  UINT32 Index = 0;
  while (Index < S.ServiceCount &&
         (S.Services[Index].Module != S.RunningModule || S.Services[Index].Service != Service)) {
    Index++;
  }
  if (Index == S.ServiceCount && Index < BootMaxServiceSummaries) {
    S.Services[Index] = {S.RunningModule, Service, 0, 0};
    S.ServiceCount++;
  }
  if (Index < S.ServiceCount) {
    S.Services[Index].Calls++;
    if (Status != EFI_SUCCESS) {
      S.Services[Index].Failed++;
    }
  }
  return Status;
}

// An injected error replaces the work; an injected warning replaces a success.
template <typename Work>
EFI_STATUS Serve(UINT32 Service, Work DoWork) {
  const BootFault *Fault = NextFault(Service);
  if (Fault != nullptr && EFI_ERROR(Fault->Status)) {
    return Finish(Service, Fault->Status);
  }
  const EFI_STATUS Status = DoWork();
  return Finish(Service, Fault != nullptr && Status == EFI_SUCCESS ? Fault->Status : Status);
}

// The services the images never call answer EFI_UNSUPPORTED (or an injected status).
EFI_STATUS Unsupported(const EFI_PEI_SERVICES **Services, UINT32 Service) {
  if (!OwnServices(Services)) {
    return EFI_UNSUPPORTED;
  }
  return Serve(Service, [] { return EFI_UNSUPPORTED; });
}

EFI_STATUS EFIAPI BootReInstallPpi(const EFI_PEI_SERVICES **Services, const EFI_PEI_PPI_DESCRIPTOR *,
                                   const EFI_PEI_PPI_DESCRIPTOR *) {
  return Unsupported(Services, BootServiceReInstallPpi);
}
EFI_STATUS EFIAPI BootNotifyPpi(const EFI_PEI_SERVICES **Services, const VOID *) {
  return Unsupported(Services, BootServiceNotifyPpi);
}
EFI_STATUS EFIAPI BootGetBootMode(const EFI_PEI_SERVICES **Services, UINT32 *) {
  return Unsupported(Services, BootServiceGetBootMode);
}
EFI_STATUS EFIAPI BootSetBootMode(const EFI_PEI_SERVICES **Services, UINT32) {
  return Unsupported(Services, BootServiceSetBootMode);
}

// ---- IDT -------------------------------------------------------------------------------------------------

VOID SetGate(UINT32 Vector, VOID (*Entry)(VOID)) {
  const UINT32 Offset = static_cast<UINT32>(reinterpret_cast<UINTN>(Entry));
  State().Idt[Vector] = {static_cast<UINT16>(Offset), BOOT_CODE_SELECTOR, GateInterrupt32,
                         static_cast<UINT16>(Offset >> 16)};
}

VOID LoadIdt() {
  IdtrRecord Idtr;
  Idtr.Limit = sizeof(State().Idt) - 1;
  Idtr.Base = reinterpret_cast<UINTN>(&State().Idt[0]);
  __asm__ __volatile__("lidt %0" : : "m"(Idtr) : "memory");
}

}  // namespace

const CHAR8 *BootModuleName(UINT32 Module) {
  switch (Module) {
    case BootModuleDramatlas:
      return "Dramatlas";
    case BootModuleQuilkeep:
      return "Quilkeep";
    default:
      return "platform";
  }
}

extern "C" {

EFI_STATUS EFIAPI BootInstallPpi(const EFI_PEI_SERVICES **Services, const EFI_PEI_PPI_DESCRIPTOR *List) {
  if (!OwnServices(Services)) {
    return EFI_INVALID_PARAMETER;
  }
  return Serve(BootServiceInstallPpi, [&] { return InstallList(List); });
}

EFI_STATUS EFIAPI BootLocatePpi(const EFI_PEI_SERVICES **Services, const EFI_GUID *Guid, UINTN Instance,
                                EFI_PEI_PPI_DESCRIPTOR **Descriptor, VOID **Ppi) {
  if (!OwnServices(Services)) {
    return EFI_INVALID_PARAMETER;
  }
  return Serve(BootServiceLocatePpi, [&] { return Locate(Guid, Instance, Descriptor, Ppi); });
}

EFI_STATUS EFIAPI BootGetHobList(const EFI_PEI_SERVICES **Services, VOID **HobList) {
  if (!OwnServices(Services)) {
    return EFI_INVALID_PARAMETER;
  }
  return Serve(BootServiceGetHobList, [&] {
    if (HobList == nullptr) {
      return EFI_INVALID_PARAMETER;
    }
    *HobList = HobBase();
    return EFI_SUCCESS;
  });
}

EFI_STATUS EFIAPI BootCreateHob(const EFI_PEI_SERVICES **Services, UINT16 Type, UINT16 Length, VOID **Hob) {
  if (!OwnServices(Services)) {
    return EFI_INVALID_PARAMETER;
  }
  return Serve(BootServiceCreateHob, [&] {
    if (Hob == nullptr) {
      return EFI_INVALID_PARAMETER;
    }
    VOID *Created = NewHob(Type, Length);
    if (Created == nullptr) {
      return EFI_OUT_OF_RESOURCES;
    }
    *Hob = Created;
    return EFI_SUCCESS;
  });
}

}  // extern "C"

VOID FoundationInitialize(const BootBlobHeader *Blob) {
  BootState &S = State();
  FillBytes(&S, 0, sizeof S);
  S.Blob = Blob;
  S.RunningModule = BootModulePlatform;

  EFI_PEI_SERVICES &T = S.Table;
  T.Hdr.Signature = ServicesSignature;
  T.Hdr.Revision = Blob->Revision;
  T.Hdr.HeaderSize = sizeof(EFI_PEI_SERVICES);
  T.InstallPpi = BootInstallPpi;
  T.ReInstallPpi = BootReInstallPpi;
  T.LocatePpi = BootLocatePpi;
  T.NotifyPpi = BootNotifyPpi;
  T.GetBootMode = BootGetBootMode;
  T.SetBootMode = BootSetBootMode;
  T.GetHobList = BootGetHobList;
  T.CreateHob = BootCreateHob;
  S.TablePointer = &S.Table;
  S.ServicesCell = static_cast<UINT32>(reinterpret_cast<UINTN>(FoundationServices()));

  StartHobList();

  const UINTN Entries = reinterpret_cast<UINTN>(&BootExceptionEntries);
  for (UINT32 Vector = 0; Vector < BootIdtEntries; Vector++) {
    SetGate(Vector, &BootUnexpectedEntry);
  }
  for (UINT32 Vector = 0; Vector < 32; Vector++) {
    SetGate(Vector, reinterpret_cast<VOID (*)(VOID)>(Entries + 16 * Vector));
  }
  SetGate(3, &BootBreakpointEntry);
  LoadIdt();
}

VOID FoundationInstallPlatformPpi(UINT32 Slot, const EFI_GUID *Guid, const VOID *Ppi) {
  BootState &S = State();
  EFI_PEI_PPI_DESCRIPTOR &D = S.PlatformDescriptors[Slot];
  D.Flags = EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST;
  D.Guid = Guid;
  D.Ppi = Ppi;
  const UINT32 Running = S.RunningModule;
  S.RunningModule = BootModulePlatform;
  InstallList(&D);
  S.RunningModule = Running;
}

const VOID *FoundationLocatePlatformPpi(const EFI_GUID *Guid) {
  VOID *Ppi = nullptr;
  return Locate(Guid, 0, nullptr, &Ppi) == EFI_SUCCESS ? Ppi : nullptr;
}

VOID FoundationInjectFault(const BootFault *Fault) {
  BootState &S = State();
  if (S.FaultCount < BootBlobMaxFaults) {
    S.Faults[S.FaultCount++] = {*Fault, 0};
  }
}
