#include "Platform/Host/IoBus.h"

#include <stdexcept>

namespace zarn::host {

void IoBus::attach(uint16_t base, uint16_t count, Device &device) {
  for (const Binding &b : bindings_) {
    if (base < b.base + b.count && b.base < base + count) {
      throw DeviceError("I/O ports " + std::to_string(base) + " already claimed");
    }
  }
  bindings_.push_back({base, count, &device});
}

void IoBus::detach(Device &device) {
  std::erase_if(bindings_, [&](const Binding &b) { return b.device == &device; });
}

const IoBus::Binding *IoBus::find(uint16_t port, unsigned width) const {
  for (const Binding &b : bindings_) {
    if (port >= b.base && port + width <= static_cast<unsigned>(b.base) + b.count) return &b;
  }
  return nullptr;
}

uint32_t IoBus::read(uint16_t port, unsigned width) {
  const uint32_t ones = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
  const Binding *b = find(port, width);
  const uint32_t value = b ? (b->device->read(port - b->base, width) & ones) : ones;
  trace_.push_back({port, width, value, false, interruptFlag_ ? interruptFlag_() : false});
  return value;
}

void IoBus::write(uint16_t port, unsigned width, uint32_t value) {
  trace_.push_back({port, width, value, true, interruptFlag_ ? interruptFlag_() : false});
  if (const Binding *b = find(port, width)) b->device->write(port - b->base, width, value);
}

void MmioBus::attach(uint64_t base, uint32_t size, Device &device) { bindings_.push_back({base, size, &device}); }

const MmioBus::Binding *MmioBus::find(uint64_t address) const {
  for (const Binding &b : bindings_) {
    if (address >= b.base && address - b.base < b.size) return &b;
  }
  return nullptr;
}

uint8_t MmioBus::read8(uint64_t address) {
  const Binding *b = find(address);
  const uint8_t value = b ? static_cast<uint8_t>(b->device->read(static_cast<uint32_t>(address - b->base), 1)) : 0xFF;
  trace_.push_back({address, value, false});
  return value;
}

void MmioBus::write8(uint64_t address, uint8_t value) {
  trace_.push_back({address, value, true});
  if (const Binding *b = find(address)) b->device->write(static_cast<uint32_t>(address - b->base), 1, value);
}

}  // namespace zarn::host
