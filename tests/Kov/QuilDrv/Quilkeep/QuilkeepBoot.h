// One boot of the built Quilkeep image on the standard board: processor line, flash image and output
// block set up first, then the image dispatched and its accessor PPI located.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Guid/ZarnGuids.h"
#include "Library/ZarnKovProcessorLines.h"
#include "Platform/Host/Devices/StandardPlatform.h"
#include "Platform/Host/Machine.h"
#include "Platform/Host/Modules/DebugPrintProducer.h"
#include "Ppi/QuilAccessor.h"
#include "tools/builders/FlashImage.h"
#include "tools/builders/QuilBlock.h"

namespace zarn::test {

using Strings = std::vector<std::string>;

struct QuilkeepBoot {
  static constexpr uint64_t kBlock = 0x10000000;

  QuilkeepBoot() {
    machine.makeCurrent();
    producer.install(machine);
    setProcessor(ProcessorLineB);
  }

  void setProcessor(uint32_t signature) { machine.cpu.setCpuid(0x80000001u, {signature | 0x00000021u, 0, 0, 0}); }

  // The standard flash with the type 0x61 entry naming `destination`, and the block there in DRAM.
  void install(const builders::QuilBlockDesc &block, uint64_t destination = kBlock) {
    builders::BiosEntryDesc e;
    e.type = 0x61;
    e.destination = destination;
    machine.memory.setFlashImage(builders::buildFlashImage(builders::standardFlash({e})));
    machine.memory.addDram(destination & ~uint64_t(0xFFFF), 0x100000);
    machine.memory.write(destination, builders::buildQuilBlock(block));
  }

  // Dispatches the image; the accessor PPI (null when not installed) is in `ppi` afterwards.
  EFI_STATUS run() {
    const EFI_STATUS status = machine.load(ZARN_IMAGE_DIR "/Quilkeep.so").dispatch(machine);
    ppi = static_cast<const ZARN_QUIL_ACCESSOR_PPI *>(machine.pei.locatePpi(gZarnQuilAccessorPpiGuid));
    return status;
  }

  // Module messages with CR LF turned back into LF; each must carry Quilkeep's class.
  Strings messages() const {
    Strings out;
    for (const auto &m : producer.messages()) {
      EXPECT_EQ(m.messageClass, 0x0000000080000000ull) << m.text;
      std::string t = m.text;
      for (size_t at; (at = t.find("\r\n")) != std::string::npos;) t.erase(at, 1);
      out.push_back(t);
    }
    return out;
  }

  // Assertion reports on the first UART, as "source: expression".
  Strings assertions() const {
    Strings out;
    const std::string text = board.firstUart.transmittedText();
    for (size_t at = 0; (at = text.find("ASSERT [Quilkeep] ", at)) != std::string::npos;) {
      const size_t open = text.find('(', at), close = text.find("): ", at), end = text.find('\r', at);
      out.push_back(text.substr(at + 18, open - at - 18) + ": " + text.substr(close + 3, end - close - 3));
      at = end;
    }
    return out;
  }

  uint64_t physical(const void *p) const { return machine.memory.physicalOf(p).value_or(0xBAD); }

  host::Machine machine;
  host::StandardPlatform board{machine.io, machine.mmio};
  host::DebugPrintProducer producer;
  const ZARN_QUIL_ACCESSOR_PPI *ppi = nullptr;
};

}  // namespace zarn::test
