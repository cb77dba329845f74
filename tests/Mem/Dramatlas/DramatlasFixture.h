// Shared by the Dramatlas tests: a machine with the platform's memory-initialization and debug-print
// modules, and a little-endian byte builder for expected records.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Guid/ZarnGuids.h"
#include "Platform/Host/Machine.h"
#include "Platform/Host/Modules/DebugPrintProducer.h"
#include "Platform/Host/Modules/MemoryInitModule.h"
#include "tests/support/RecordingDebugLib.h"

namespace zarn::test {

// Appends little-endian values; expected records are written with it field by field.
struct Bytes {
  std::vector<uint8_t> v;
  Bytes &le(uint64_t value, unsigned width) {
    for (unsigned i = 0; i < width; ++i) v.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
  }
  Bytes &u8(uint64_t value) { return le(value, 1); }
  Bytes &u16(uint64_t value) { return le(value, 2); }
  Bytes &u32(uint64_t value) { return le(value, 4); }
  Bytes &u64(uint64_t value) { return le(value, 8); }
};

inline std::vector<uint8_t> toVector(std::span<const uint8_t> s) { return {s.begin(), s.end()}; }

class DramatlasFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.makeCurrent();
    debugRecord().clear();
    // Body bytes of new HOBs start as 0xAA, so anything the builders leave unwritten shows.
    machine.pei.setHobFill(0xAA);
    host::MemoryInitConfig &c = memoryInit.config();
    c.value32 = 0x11223344;
    c.value16 = 0x5566;
    c.value8Valid = 0;
    c.value8 = 0x77;
    c.value32B = 0x8899AABB;
  }

  std::vector<std::span<const uint8_t>> memInfoHobs() const { return machine.pei.guidHobData(gZarnMemoryInfoHobGuid); }
  std::vector<std::span<const uint8_t>> configHobs() const {
    return machine.pei.guidHobData(gMemoryConfigInfoDataHobGuid);
  }
  size_t createdHobCount() const { return machine.pei.hobs().size() - 2; }  // less hand-off and end
  size_t readyPpiCount() const {
    size_t n = 0;
    for (const host::PpiRecord &p : machine.pei.ppis()) n += host::sameGuid(p.guid, gMemoryHobsReadyPpiGuid);
    return n;
  }
  std::vector<std::string> texts() const { return printer.texts(); }
  std::string holeMapText() const {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "    HoleMapPtr: %X\r\n",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(memoryInit.holeMapAddress())));
    return buffer;
  }

  host::Machine machine;
  host::MemoryInitModule memoryInit;
  host::DebugPrintProducer printer;
};

}  // namespace zarn::test
