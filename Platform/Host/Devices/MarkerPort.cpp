#include "Platform/Host/Devices/MarkerPort.h"

#include <string>

#include "Platform/Host/Devices/Hex.h"

namespace zarn::host {

uint32_t MarkerPort::read(uint32_t offset, unsigned width) {
  // A write-only latch: real boards let the read float. Nothing in the boot path reads it.
  throw DeviceError("marker port: " + std::to_string(width) + "-byte read at " + detail::hex(kBasePort + offset) +
                    "; the port is write-only");
}

void MarkerPort::write(uint32_t offset, unsigned width, uint32_t value) {
  if ((width != 1 && width != 2 && width != 4) || offset % width != 0 || offset + width > kPortCount) {
    throw DeviceError("marker port: " + std::to_string(width) + "-byte write at " + detail::hex(kBasePort + offset));
  }
  const uint32_t mask = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
  writes_.push_back({static_cast<uint16_t>(kBasePort + offset), width, value & mask});
}

std::vector<uint32_t> MarkerPort::values32() const {
  std::vector<uint32_t> out;
  for (const Write &w : writes_) {
    if (w.width == 4) out.push_back(w.value);
  }
  return out;
}

std::vector<uint8_t> MarkerPort::bytes() const {
  std::vector<uint8_t> out;
  for (const Write &w : writes_) {
    for (unsigned i = 0; i < w.width; ++i) out.push_back(static_cast<uint8_t>(w.value >> (8 * i)));
  }
  return out;
}

void attachMarkerPort(IoBus &bus, MarkerPort &port) { bus.attach(MarkerPort::kBasePort, MarkerPort::kPortCount, port); }

}  // namespace zarn::host
