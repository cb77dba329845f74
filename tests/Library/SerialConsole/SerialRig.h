// A simulated board for the serial console tests, and views of the port trace.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "Library/SerialConsole.h"
#include "Platform/Host/Devices/StandardPlatform.h"
#include "Platform/Host/Machine.h"

namespace zarn::host {
inline void PrintTo(const IoAccess &a, std::ostream *os) {
  *os << (a.write ? "W " : "R ") << std::hex << a.port << '/' << a.width << '=' << a.value;
}
}  // namespace zarn::host

namespace zarn::test {

struct SerialRig {
  explicit SerialRig(const host::StandardPlatformOptions &options = {}) : board(machine.io, machine.mmio, options) {
    machine.makeCurrent();
  }
  host::Machine machine;
  host::StandardPlatform board;
};

// A byte-wide access in a port range, for comparing against literal sequences.
struct PortAccess {
  uint16_t port;
  uint32_t value;
  bool write;
  bool operator==(const PortAccess &) const = default;
};
inline void PrintTo(const PortAccess &a, std::ostream *os) {
  *os << (a.write ? "W " : "R ") << std::hex << a.port << '=' << a.value;
}
inline PortAccess Rd(uint16_t port, uint32_t value) { return {port, value, false}; }
inline PortAccess Wr(uint16_t port, uint32_t value) { return {port, value, true}; }

// The accesses to [first, first + count), in order.
inline std::vector<PortAccess> accessesIn(const host::IoBus &io, uint16_t first, uint16_t count) {
  std::vector<PortAccess> out;
  for (const host::IoAccess &a : io.trace()) {
    if (a.port >= first && a.port < first + count) out.push_back({a.port, a.value, a.write});
  }
  return out;
}

inline std::vector<PortAccess> writesIn(const host::IoBus &io, uint16_t first, uint16_t count) {
  std::vector<PortAccess> out;
  for (const PortAccess &a : accessesIn(io, first, count)) {
    if (a.write) out.push_back(a);
  }
  return out;
}

// The transmit path in short: "I" IIR read of 0x3F8, "L1"/"L2" LSR reads of 0x3F8/0x2F8,
// "a"/"b" THR writes to 0x3F8/0x2F8, "M1"/"M2" MSR reads.
inline std::vector<std::string> transmitSteps(const host::IoBus &io) {
  std::vector<std::string> out;
  for (const host::IoAccess &a : io.trace()) {
    if (!a.write && a.port == 0x3FA) out.push_back("I");
    if (!a.write && a.port == 0x3FD) out.push_back("L1");
    if (!a.write && a.port == 0x2FD) out.push_back("L2");
    if (!a.write && a.port == 0x3FE) out.push_back("M1");
    if (!a.write && a.port == 0x2FE) out.push_back("M2");
    if (a.write && a.port == 0x3F8) out.push_back("a");
    if (a.write && a.port == 0x2F8) out.push_back("b");
  }
  return out;
}

inline const UINT8 *bytes(const std::string &s) { return reinterpret_cast<const UINT8 *>(s.data()); }

}  // namespace zarn::test
