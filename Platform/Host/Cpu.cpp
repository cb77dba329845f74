#include "Platform/Host/Cpu.h"

namespace zarn::host {

CpuidAnswer Cpu::cpuid(uint32_t leaf) {
  cpuidQueries_.push_back(leaf);
  const auto it = cpuid_.find(leaf);
  return it == cpuid_.end() ? CpuidAnswer{} : it->second;
}

uint64_t Cpu::readMm0() {
  mmx_.push_back({false, mm0_});
  return mm0_;
}

void Cpu::writeMm0(uint64_t value) {
  mmx_.push_back({true, value});
  mm0_ = value;
}

void Cpu::breakpoint(size_t ioTracePosition) {
  breakpoints_.push_back({ioTracePosition});
  if (onBreakpoint) onBreakpoint();
}

void Cpu::pause(volatile uint32_t *loopFlag) {
  if (loopFlag != loopFlag_) turns_ = 0;  // a loop on another flag is another loop
  loopFlag_ = loopFlag;
  ++turns_;
  const bool planned = releaseAfter_ != 0 && turns_ >= releaseAfter_;
  const bool bound = turns_ >= loopBound_;
  if (!planned && !bound) return;
  deadLoops_.push_back({turns_, !planned});
  turns_ = 0;
  loopFlag_ = nullptr;
  *loopFlag = 1;
}

}  // namespace zarn::host
