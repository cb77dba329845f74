// The simulated I/O port bus and MMIO map: devices bound to port ranges or address ranges, an ordered
// trace of every access. Unclaimed ports and addresses read all ones.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zarn::host {

// A device model: registers at offsets from its binding, reached with 1-, 2- or 4-byte accesses.
// An access of a width or at an offset the device does not have throws DeviceError.
class Device {
 public:
  virtual ~Device() = default;
  virtual uint32_t read(uint32_t offset, unsigned width) = 0;
  virtual void write(uint32_t offset, unsigned width, uint32_t value) = 0;
  virtual void reset() = 0;
};

struct DeviceError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct IoAccess {
  uint16_t port;
  unsigned width;  // 1, 2 or 4
  uint32_t value;
  bool write;
  bool interruptsEnabled;  // the interrupt flag at the moment of the access
  bool operator==(const IoAccess &) const = default;
};

class IoBus {
 public:
  // Binds ports [base, base + count) to device; the device sees offsets from base.
  void attach(uint16_t base, uint16_t count, Device &device);
  void detach(Device &device);
  uint32_t read(uint16_t port, unsigned width);
  void write(uint16_t port, unsigned width, uint32_t value);

  const std::vector<IoAccess> &trace() const { return trace_; }
  void clearTrace() { trace_.clear(); }
  // Supplies the interrupt flag recorded with each access.
  void setInterruptFlagSource(std::function<bool()> source) { interruptFlag_ = std::move(source); }

 private:
  struct Binding {
    uint16_t base;
    uint16_t count;
    Device *device;
  };
  const Binding *find(uint16_t port, unsigned width) const;
  std::vector<Binding> bindings_;
  std::vector<IoAccess> trace_;
  std::function<bool()> interruptFlag_;
};

struct MmioAccess {
  uint64_t address;
  uint8_t value;
  bool write;
  bool operator==(const MmioAccess &) const = default;
};

// Single-byte memory-mapped registers (a memory-mapped UART).
class MmioBus {
 public:
  void attach(uint64_t base, uint32_t size, Device &device);
  uint8_t read8(uint64_t address);
  void write8(uint64_t address, uint8_t value);
  const std::vector<MmioAccess> &trace() const { return trace_; }

 private:
  struct Binding {
    uint64_t base;
    uint32_t size;
    Device *device;
  };
  const Binding *find(uint64_t address) const;
  std::vector<Binding> bindings_;
  std::vector<MmioAccess> trace_;
};

}  // namespace zarn::host
