// Diagnostic marker port at 0xE8-0xEB: a write-only latch that records every value written to it.
// A 32-bit write at 0xE8 puts its bytes on 0xE8-0xEB lowest first; byte and word writes are
// recorded at the port they reach.
#pragma once

#include <cstdint>
#include <vector>

#include "Platform/Host/IoBus.h"

namespace zarn::host {

class MarkerPort : public Device {
 public:
  static constexpr uint16_t kBasePort = 0xE8;
  static constexpr uint16_t kPortCount = 4;

  struct Write {
    uint16_t port;
    unsigned width;
    uint32_t value;
    bool operator==(const Write &) const = default;
  };

  uint32_t read(uint32_t offset, unsigned width) override;
  void write(uint32_t offset, unsigned width, uint32_t value) override;
  // Nothing to reset: the record is the test's, cleared with clear().
  void reset() override {}

  const std::vector<Write> &writes() const { return writes_; }
  // The values of the 32-bit writes, in order.
  std::vector<uint32_t> values32() const;
  // Every byte written, in order, each write's bytes lowest port first.
  std::vector<uint8_t> bytes() const;
  void clear() { writes_.clear(); }

 private:
  std::vector<Write> writes_;
};

// Binds the marker port to ports 0xE8-0xEB.
void attachMarkerPort(IoBus &bus, MarkerPort &port);

}  // namespace zarn::host
