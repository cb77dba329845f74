// A platform module that installs the debug-print PPI under gZarnDebugPrintPpiGuid. Each message the
// firmware forwards is formatted with the project's own print engine (line feeds become CR LF) and
// recorded with the module that was running, its class and its format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Ppi/DebugPrint.h"
#include "ZarnBase.h"

namespace zarn::host {

class Machine;

struct ModuleMessageRecord {
  std::string module;  // the image running when the message came; empty when none was
  uint64_t messageClass;
  std::string format;
  std::string text;    // formatted
  bool operator==(const ModuleMessageRecord &) const = default;
};

class DebugPrintProducer {
 public:
  // Size of the buffer each message is formatted into (the engine cuts longer text).
  static constexpr size_t kBufferSize = 1024;

  DebugPrintProducer() = default;
  ~DebugPrintProducer();
  DebugPrintProducer(const DebugPrintProducer &) = delete;
  DebugPrintProducer &operator=(const DebugPrintProducer &) = delete;

  // Installs the PPI through the foundation's platform API (never counted or faulted); may be called
  // at any time, also between two messages of a running module. The producer must outlive the
  // machine's use of the PPI.
  void install(Machine &machine);

  const std::vector<ModuleMessageRecord> &messages() const { return messages_; }
  // The formatted texts alone, in arrival order.
  std::vector<std::string> texts() const;
  void clear() { messages_.clear(); }

  const ZARN_DEBUG_PRINT_PPI &ppi() const { return ppi_; }

 private:
  static VOID EFIAPI OutputMessage(UINT64 MessageClass, const CHAR8 *Format, va_list Arguments);

  ZARN_DEBUG_PRINT_PPI ppi_ = {&DebugPrintProducer::OutputMessage};
  Machine *machine_ = nullptr;
  std::vector<ModuleMessageRecord> messages_;
};

}  // namespace zarn::host
