// A simulated machine set up for the output block: processor line, flash image, block in DRAM, info
// HOB and a debug-print producer that records the modules' messages. Shared by the Quilkeep tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Guid/ZarnGuids.h"
#include "Library/ZarnKovProcessorLines.h"
#include "Platform/Host/Machine.h"
#include "Platform/Host/Modules/DebugPrintProducer.h"
#include "tests/support/RecordingDebugLib.h"
#include "tools/builders/FlashImage.h"
#include "tools/builders/QuilBlock.h"

namespace zarn::test {

using Strings = std::vector<std::string>;

class QuilTestMachine : public ::testing::Test {
 public:
  void SetUp() override {
    machine.makeCurrent();
    producer.install(machine);
    debugRecord().clear();
    setProcessor(ProcessorLineA);
  }

  // A fresh boot for the next row of a table: new machine at the same place, producer reinstalled.
  void reset() {
    machine.~Machine();
    new (&machine) host::Machine();
    producer.clear();
    SetUp();
  }

  void setProcessor(uint32_t signature) { machine.cpu.setCpuid(0x80000001u, {signature | 0x00000012u, 0, 0, 0}); }

  // A DRAM region holding `block` at `address` (the region is at least 64 KiB and page-aligned).
  void placeBlock(uint64_t address, const builders::Bytes &block, uint64_t regionSize = 0x100000) {
    const uint64_t base = address & ~uint64_t(0xFFFF);
    machine.memory.addDram(base, regionSize);
    machine.memory.write(address, block);
  }

  // The standard flash image whose level-1 BIOS directory has the block's type 0x61 entry (and `more`).
  void flashPointingTo(uint64_t destination, std::vector<builders::BiosEntryDesc> more = {}) {
    builders::BiosEntryDesc e;
    e.type = 0x61;
    e.destination = destination;
    more.insert(more.begin(), e);
    machine.memory.setFlashImage(builders::buildFlashImage(builders::standardFlash(std::move(more))));
  }

  // Publishes an info HOB the way discovery would; returns its record.
  const void *publishInfo(uint64_t address, uint32_t size, uint8_t supported = 1, uint16_t dataLength = 16) {
    auto *hob = static_cast<uint8_t *>(machine.pei.createHob(0x0004, uint16_t(24 + dataLength)));
    std::memcpy(hob + 8, &gZarnQuilInfoHobGuid, 16);
    uint8_t record[16] = {supported};
    std::memcpy(record + 4, &size, 4);
    std::memcpy(record + 8, &address, 8);
    std::memcpy(hob + 24, record, dataLength < 16 ? dataLength : 16);
    return hob + 24;
  }

  // The messages received so far, with the print engine's CR LF turned back into LF; every one must
  // carry Quilkeep's class.
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
  Strings asserts() const { return debugRecord().expressions(); }
  void clearRecords() {
    producer.clear();
    debugRecord().clear();
  }

  host::Machine machine;
  host::DebugPrintProducer producer;
};

}  // namespace zarn::test
