#include "Platform/Host/Modules/DebugPrintProducer.h"

#include <algorithm>

#include "Guid/ZarnGuids.h"
#include "Library/PrintLib.h"
#include "Platform/Host/Machine.h"

namespace zarn::host {

namespace {

// OutputMessage receives no context, so installed producers are found through the current machine.
std::vector<DebugPrintProducer *> &installedProducers() {
  static std::vector<DebugPrintProducer *> producers;
  return producers;
}

}  // namespace

DebugPrintProducer::~DebugPrintProducer() { std::erase(installedProducers(), this); }

void DebugPrintProducer::install(Machine &machine) {
  machine_ = &machine;
  if (std::find(installedProducers().begin(), installedProducers().end(), this) == installedProducers().end()) {
    installedProducers().push_back(this);
  }
  machine.pei.installPpi(gZarnDebugPrintPpiGuid, &ppi_);
}

std::vector<std::string> DebugPrintProducer::texts() const {
  std::vector<std::string> out;
  for (const ModuleMessageRecord &m : messages_) out.push_back(m.text);
  return out;
}

VOID EFIAPI DebugPrintProducer::OutputMessage(UINT64 MessageClass, const CHAR8 *Format, va_list Arguments) {
  Machine *machine = Machine::currentOrNull();
  if (!machine) return;
  // The caller reached the first PPI under the GUID on its machine: that producer records.
  const void *located = machine->pei.locatePpi(gZarnDebugPrintPpiGuid);
  DebugPrintProducer *producer = nullptr;
  for (DebugPrintProducer *p : installedProducers()) {
    if (p->machine_ == machine && (!producer || &p->ppi_ == located)) producer = p;
  }
  if (!producer) return;
  CHAR8 buffer[kBufferSize] = {};
  if (Format) AsciiVFormat(buffer, sizeof buffer, Format, Arguments);
  producer->messages_.push_back(
      {machine->pei.runningModule(), MessageClass, Format ? Format : "", std::string(buffer)});
}

}  // namespace zarn::host
