// The simulated PEI foundation: a services table in the PI layout, a PPI database and a HOB list.
// Modules reach it through the services table; every such call is counted and may be failed by fault
// injection. The platform (tests, the tool, the platform's own modules) uses the direct API, which never
// counts and never faults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "Pi/PiHob.h"
#include "Pi/PiPeiCis.h"
#include "ZarnBase.h"

namespace zarn::host {

enum class Service : unsigned { InstallPpi, ReInstallPpi, LocatePpi, NotifyPpi, GetBootMode, SetBootMode, GetHobList, CreateHob };
const char *serviceName(Service service);

// Makes calls of one service through the table answer `status`: the first `after` calls (counted from
// injection) behave normally, the next `count` calls get the injected answer. An error status performs
// nothing and writes no out-value; a warning status performs the service and, when it succeeded,
// answers the warning instead of EFI_SUCCESS (a failing service keeps its own error).
struct Fault {
  static constexpr uint32_t kAll = 0xFFFFFFFFu;
  Service service;
  EFI_STATUS status;
  uint32_t after = 0;
  uint32_t count = kAll;
};

struct ServiceCall {
  Service service;
  EFI_STATUS status;       // what the caller got
  EFI_GUID guid;           // LocatePpi: the GUID sought; InstallPpi: the first GUID of the list; else zero
  std::string module;      // the module running when the call came
};

struct PpiRecord {
  EFI_GUID guid;                              // copied at install time
  const void *ppi;
  const EFI_PEI_PPI_DESCRIPTOR *descriptor;   // the installer's descriptor (image data or platform-owned)
  std::string installer;                      // running module, or "platform"
};

struct HobRecord {
  size_t offset;                      // from the start of the list
  uint16_t type;                      // as the header reads now
  std::span<const uint8_t> bytes;     // the whole HOB as created (header included)
  std::string creator;                // running module, or "platform"
};

// Byte-wise GUID equality (the host's own; firmware uses GuidEqual).
inline bool sameGuid(const EFI_GUID &a, const EFI_GUID &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class PeiFoundation {
 public:
  static constexpr uint64_t kSignature = 0x5652455320494550ull;  // "PEI SERV"
  static constexpr uint32_t kDefaultRevision = (1u << 16) | 70u;
  static constexpr size_t kDefaultHobCapacity = 256 * 1024;  // room for several HOBs of the 16-bit maximum length
  static constexpr size_t kMaxDescriptorsPerList = 256;  // a list that never terminates is refused

  explicit PeiFoundation(size_t hobCapacity = kDefaultHobCapacity);
  PeiFoundation(const PeiFoundation &) = delete;
  PeiFoundation &operator=(const PeiFoundation &) = delete;

  // The services pointer modules receive: a pointer to the pointer to the table.
  const EFI_PEI_SERVICES **servicesPointer() { return &tablePointer_; }
  const EFI_PEI_SERVICES &table() const { return block_.table; }
  void setRevision(uint32_t revision) { block_.table.Hdr.Revision = revision; }

  // Fault injection and call accounting (table calls only).
  void injectFault(const Fault &fault) { faults_.push_back({fault, 0}); }
  void clearFaults() { faults_.clear(); }
  const std::vector<ServiceCall> &calls() const { return calls_; }
  size_t callCount(Service service) const;

  // The module being dispatched; recorded with HOBs, PPIs and calls. Empty string: none (platform).
  void setRunningModule(std::string name) { runningModule_ = std::move(name); }
  const std::string &runningModule() const { return runningModule_; }

  // --- Direct platform API: never counted, never faulted. ---
  // Installs a descriptor list (walked to the TERMINATE_LIST entry); the list must outlive the foundation.
  EFI_STATUS installPpi(const EFI_PEI_PPI_DESCRIPTOR *list);
  // Installs one PPI under a descriptor the foundation owns; `ppi` must outlive the foundation.
  const EFI_PEI_PPI_DESCRIPTOR *installPpi(const EFI_GUID &guid, const void *ppi);
  // The interface of the instance-th PPI with this GUID (counted from 0), or null.
  const void *locatePpi(const EFI_GUID &guid, size_t instance = 0, const EFI_PEI_PPI_DESCRIPTOR **descriptor = nullptr) const;
  // A new HOB with its type and length filled in and the rest set to the fill byte, or null when the
  // list is full or length < 8.
  void *createHob(uint16_t type, uint16_t length);
  void *hobList() { return storage_.get(); }
  // Starts a fresh list (hand-off HOB and end marker) in a buffer of `capacity` bytes. Every HOB pointer
  // handed out before becomes invalid.
  void resetHobList(size_t capacity);
  // The byte that fills the body of each new HOB (0 by default; a poison value shows unwritten bytes).
  void setHobFill(uint8_t fill) { hobFill_ = fill; }

  // Read-only views for tests and the tool.
  const std::vector<PpiRecord> &ppis() const { return ppis_; }
  std::vector<HobRecord> hobs() const;  // hand-off HOB first, end marker last
  // Data areas (bytes from offset 24) of the GUID-extension HOBs named `guid`, in list order.
  std::vector<std::span<const uint8_t>> guidHobData(const EFI_GUID &guid) const;
  size_t hobCapacity() const { return capacity_; }
  size_t hobBytesUsed() const { return endOffset_ + sizeof(EFI_HOB_GENERIC_HEADER); }

 private:
  struct ServicesBlock {
    EFI_PEI_SERVICES table;  // first: the table's address is the block's
    PeiFoundation *owner;
  };
  struct ActiveFault {
    Fault fault;
    uint64_t seen;
  };
  struct CreatedHob {
    size_t offset;
    size_t length;
    std::string creator;
  };
  static PeiFoundation *ownerOf(const EFI_PEI_SERVICES **services);
  const Fault *nextFault(Service service);
  EFI_STATUS finish(Service service, EFI_STATUS status, const EFI_GUID *guid);
  EFI_STATUS installList(const EFI_PEI_PPI_DESCRIPTOR *list);
  EFI_STATUS locate(const EFI_GUID *guid, UINTN instance, EFI_PEI_PPI_DESCRIPTOR **descriptor, VOID **ppi) const;
  void writeEnd();
  std::string creatorName() const { return runningModule_.empty() ? "platform" : runningModule_; }

  static EFI_STATUS EFIAPI InstallPpiService(const EFI_PEI_SERVICES **, const EFI_PEI_PPI_DESCRIPTOR *);
  static EFI_STATUS EFIAPI ReInstallPpiService(const EFI_PEI_SERVICES **, const EFI_PEI_PPI_DESCRIPTOR *,
                                               const EFI_PEI_PPI_DESCRIPTOR *);
  static EFI_STATUS EFIAPI LocatePpiService(const EFI_PEI_SERVICES **, const EFI_GUID *, UINTN,
                                            EFI_PEI_PPI_DESCRIPTOR **, VOID **);
  static EFI_STATUS EFIAPI NotifyPpiService(const EFI_PEI_SERVICES **, const VOID *);
  static EFI_STATUS EFIAPI GetBootModeService(const EFI_PEI_SERVICES **, UINT32 *);
  static EFI_STATUS EFIAPI SetBootModeService(const EFI_PEI_SERVICES **, UINT32);
  static EFI_STATUS EFIAPI GetHobListService(const EFI_PEI_SERVICES **, VOID **);
  static EFI_STATUS EFIAPI CreateHobService(const EFI_PEI_SERVICES **, UINT16, UINT16, VOID **);

  ServicesBlock block_;
  const EFI_PEI_SERVICES *tablePointer_;
  std::vector<ActiveFault> faults_;
  std::vector<ServiceCall> calls_;
  std::string runningModule_;
  std::vector<PpiRecord> ppis_;
  std::deque<EFI_PEI_PPI_DESCRIPTOR> ownedDescriptors_;
  std::deque<EFI_GUID> ownedGuids_;
  std::unique_ptr<uint64_t[]> storage_;  // 8-byte aligned HOB buffer
  size_t capacity_ = 0;
  size_t endOffset_ = 0;  // where the end marker sits
  std::vector<CreatedHob> created_;
  uint8_t hobFill_ = 0;
};

}  // namespace zarn::host
