// The simulated processor: CPUID answers, IDTR, MM0, the interrupt flag, INT3 and a debugger for the
// marker dead loop. Every firmware-visible access is recorded so tests can see what the code did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace zarn::host {

struct CpuidAnswer {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
  bool operator==(const CpuidAnswer &) const = default;
};

struct MmxAccess {
  bool write;
  uint64_t value;  // the value read or written
  bool operator==(const MmxAccess &) const = default;
};

struct BreakpointRecord {
  size_t ioTracePosition;  // number of I/O accesses made before the INT3
};

struct DeadLoopRecord {
  uint64_t turns;  // PAUSE executions before the loop was released
  bool boundHit;   // released by the safety bound, not by a planned release
};

class Cpu {
 public:
  // A loop nobody plans to release is released after this many turns, and recorded with boundHit.
  static constexpr uint64_t kDefaultLoopBound = 1'000'000;

  // CPUID: answers by leaf; a leaf never set answers all zeros. The firmware reads leaf 1 (EBX bits
  // 28-30) and leaf 0x80000001 (EAX).
  void setCpuid(uint32_t leaf, CpuidAnswer answer) { cpuid_[leaf] = answer; }
  void clearCpuid() { cpuid_.clear(); }
  CpuidAnswer cpuid(uint32_t leaf);  // what the firmware's CPUID sees; counted in cpuidQueries()
  const std::vector<uint32_t> &cpuidQueries() const { return cpuidQueries_; }

  // IDTR as SIDT stores it. The machine points it at its own IDT buffer; a test may point it elsewhere.
  void setIdtr(uint16_t limit, uintptr_t base) { idtLimit_ = limit, idtBase_ = base; }
  uint16_t idtLimit() const { return idtLimit_; }
  uintptr_t idtBase() const { return idtBase_; }

  // MM0 as the firmware sees it (each access recorded) and as the platform sets it (not recorded).
  uint64_t readMm0();
  void writeMm0(uint64_t value);
  uint64_t mm0() const { return mm0_; }
  void setMm0(uint64_t value) { mm0_ = value; }
  const std::vector<MmxAccess> &mmxAccesses() const { return mmx_; }

  // The interrupt flag, EFLAGS bit 9. EFLAGS reads answer 0x2 | IF << 9 (bit 1 always reads 1).
  bool interruptFlag() const { return interruptFlag_; }
  void setInterruptFlag(bool enabled) { interruptFlag_ = enabled; }
  uint64_t eflags() const { return 0x2u | (interruptFlag_ ? 0x200u : 0u); }

  // INT3: recorded, then the optional hook runs (a test may inspect or change the machine there), then
  // execution resumes.
  void breakpoint(size_t ioTracePosition);
  const std::vector<BreakpointRecord> &breakpoints() const { return breakpoints_; }
  std::function<void()> onBreakpoint;

  // Dead-loop debugger. PAUSE is executed once per turn of a loop spinning on *loopFlag; the debugger
  // releases the loop by writing 1 to *loopFlag after `releaseAfterTurns` turns when set, otherwise
  // after the safety bound (recorded as boundHit), so a loop never hangs a test.
  void pause(volatile uint32_t *loopFlag);
  void releaseLoopsAfter(uint64_t turns) { releaseAfter_ = turns; }
  void setLoopBound(uint64_t turns) { loopBound_ = turns; }
  const std::vector<DeadLoopRecord> &deadLoops() const { return deadLoops_; }

 private:
  std::map<uint32_t, CpuidAnswer> cpuid_;
  std::vector<uint32_t> cpuidQueries_;
  uint16_t idtLimit_ = 0;
  uintptr_t idtBase_ = 0;
  uint64_t mm0_ = 0;
  std::vector<MmxAccess> mmx_;
  bool interruptFlag_ = false;
  std::vector<BreakpointRecord> breakpoints_;
  uint64_t releaseAfter_ = 0;  // 0: no planned release
  uint64_t loopBound_ = kDefaultLoopBound;
  uint64_t turns_ = 0;  // turns of the loop now running
  volatile uint32_t *loopFlag_ = nullptr;
  std::vector<DeadLoopRecord> deadLoops_;
};

}  // namespace zarn::host
