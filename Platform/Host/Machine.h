// One simulated boot: processor, I/O bus, MMIO map, physical memory and the PEI foundation. The seam
// functions the firmware calls forward to the machine made current with makeCurrent().
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "Platform/Host/Cpu.h"
#include "Platform/Host/Image.h"
#include "Platform/Host/IoBus.h"
#include "Platform/Host/PeiFoundation.h"
#include "Platform/Host/PhysicalMemory.h"

namespace zarn::host {

// One PlatformConstructorDone report: the module running, the constructor's name, its status.
struct ConstructorRecord {
  std::string module;
  std::string constructor;
  EFI_STATUS status;
};

// One dispatched image and the status its entry point returned.
struct DispatchRecord {
  std::string module;
  EFI_STATUS status;
};

class Machine {
 public:
  static constexpr uint16_t kIdtEntries = 256;
  static constexpr uint16_t kIdtLimit = kIdtEntries * 16 - 1;

  // A machine with no DRAM, an erased flash window, MM0 = 0, interrupts masked, an IDT of its own whose
  // services cell (the pointer-sized cell just below the IDT base) holds the foundation's services pointer.
  // The second form gives the HOB list `hobCapacity` bytes (fuzz targets, which build a machine per input,
  // keep it small).
  Machine() : Machine(PeiFoundation::kDefaultHobCapacity) {}
  explicit Machine(size_t hobCapacity);
  ~Machine();
  Machine(const Machine &) = delete;
  Machine &operator=(const Machine &) = delete;

  Cpu cpu;
  IoBus io;  // records the CPU's interrupt flag with each access
  MmioBus mmio;
  PhysicalMemory memory;
  PeiFoundation pei;

  // The machine the seam forwards to. current() aborts with a message when none is current.
  void makeCurrent();
  static Machine &current();
  static Machine *currentOrNull();

  // The services cell below the machine's own IDT base. A test may store null or any value there.
  uintptr_t servicesCell() const { return idt_[0]; }
  void setServicesCell(uintptr_t value) { idt_[0] = value; }
  uintptr_t idtBase() const { return reinterpret_cast<uintptr_t>(&idt_[1]); }

  // Images loaded through the machine stay loaded as long as it lives (their PPIs point into them).
  Image &load(const std::string &path);
  // Loads and dispatches each image in order; returns each entry's status (also in dispatches()).
  std::vector<EFI_STATUS> dispatchAll(const std::vector<std::string> &paths);

  // Boot records, in order.
  const std::vector<ConstructorRecord> &constructors() const { return constructors_; }
  const std::vector<DispatchRecord> &dispatches() const { return dispatches_; }
  void recordConstructor(std::string name, EFI_STATUS status);
  void recordDispatch(std::string module, EFI_STATUS status);

 private:
  // Cell at index 0, then the gates; only the cell and the base address matter to the firmware.
  uint64_t idt_[1 + kIdtEntries * 2] = {};
  std::vector<ConstructorRecord> constructors_;
  std::vector<DispatchRecord> dispatches_;
  std::deque<Image> images_;
};

}  // namespace zarn::host
