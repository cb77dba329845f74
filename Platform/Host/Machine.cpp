#include "Platform/Host/Machine.h"

#include <cstdio>
#include <cstdlib>

namespace zarn::host {

namespace {
Machine *gCurrent = nullptr;
}

static_assert(sizeof(uint64_t) >= sizeof(uintptr_t), "the services cell holds a host pointer");

Machine::Machine(size_t hobCapacity) : pei(hobCapacity) {
  io.setInterruptFlagSource([this] { return cpu.interruptFlag(); });
  cpu.setIdtr(kIdtLimit, idtBase());
  setServicesCell(reinterpret_cast<uintptr_t>(pei.servicesPointer()));
}

Machine::~Machine() {
  if (gCurrent == this) gCurrent = nullptr;
}

void Machine::makeCurrent() { gCurrent = this; }

Machine *Machine::currentOrNull() { return gCurrent; }

Machine &Machine::current() {
  if (!gCurrent) {
    std::fprintf(stderr, "zarn host: firmware reached the platform with no current machine "
                         "(construct a zarn::host::Machine and call makeCurrent())\n");
    std::abort();
  }
  return *gCurrent;
}

Image &Machine::load(const std::string &path) { return images_.emplace_back(path); }

std::vector<EFI_STATUS> Machine::dispatchAll(const std::vector<std::string> &paths) {
  std::vector<Image *> loaded;
  for (const std::string &p : paths) loaded.push_back(&load(p));
  std::vector<EFI_STATUS> statuses;
  for (Image *image : loaded) statuses.push_back(image->dispatch(*this));
  return statuses;
}

void Machine::recordConstructor(std::string name, EFI_STATUS status) {
  constructors_.push_back({pei.runningModule(), std::move(name), status});
}

void Machine::recordDispatch(std::string module, EFI_STATUS status) {
  dispatches_.push_back({std::move(module), status});
}

}  // namespace zarn::host
