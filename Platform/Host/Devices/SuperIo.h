// Super I/O configuration interface: an index port (0x4E) and a data port (0x4F). Register 0x07
// selects a logical device; each logical device has an activate register (0x30), an I/O base
// (0x60 high byte, 0x61 low byte), an interrupt number (0x70) and an interrupt type (0x71).
// The chip accepts configuration accesses at any time: it has no entry/exit key sequence, which is
// what the platform's start-up code expects of it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "Platform/Host/IoBus.h"

namespace zarn::host {

class SuperIo : public Device {
 public:
  static constexpr uint16_t kBasePort = 0x4E;  // 0x4E index, 0x4F data
  static constexpr uint16_t kPortCount = 2;

  // Global registers.
  static constexpr uint8_t kLogicalDeviceSelect = 0x07;
  static constexpr uint8_t kChipId = 0x20;
  static constexpr uint8_t kChipRevision = 0x21;
  // Registers of the selected logical device.
  static constexpr uint8_t kActivate = 0x30;
  static constexpr uint8_t kIoBaseHigh = 0x60;
  static constexpr uint8_t kIoBaseLow = 0x61;
  static constexpr uint8_t kInterrupt = 0x70;
  static constexpr uint8_t kInterruptType = 0x71;

  // The two UARTs of the chip.
  static constexpr uint8_t kUartB = 2;  // decodes the second serial port (0x2F8) once set up
  static constexpr uint8_t kUartA = 3;  // decodes the first serial port (0x3F8) once set up

  // Logical devices the chip has; the default is the two UARTs.
  explicit SuperIo(std::vector<uint8_t> logicalDevices = {kUartB, kUartA});

  uint32_t read(uint32_t offset, unsigned width) override;
  void write(uint32_t offset, unsigned width, uint32_t value) override;
  // Power-on values: logical device 0 selected, every logical device inactive with base 0 and
  // interrupt 0, interrupt type 0x02 (edge, active high).
  void reset() override;

  // Presets and inspection of a logical device's registers, bypassing the ports. Throws DeviceError
  // for a logical device or register the chip does not have.
  uint8_t get(uint8_t logicalDevice, uint8_t reg) const;
  void set(uint8_t logicalDevice, uint8_t reg, uint8_t value);
  uint8_t selectedLogicalDevice() const { return selected_; }

  // Decoding as configured: a logical device decodes its I/O base while bit 0 of its activate
  // register is set. The other activate bits are kept as written (the real part reads them as 0),
  // so a test can present values such as 0x81.
  bool active(uint8_t logicalDevice) const { return (get(logicalDevice, kActivate) & 0x01) != 0; }
  uint16_t ioBase(uint8_t logicalDevice) const;
  // True when some active logical device decodes the given I/O base.
  bool decodes(uint16_t ioBase) const;

 private:
  using Registers = std::array<uint8_t, 256>;
  static bool isLogicalDeviceRegister(uint8_t reg);
  void resetLogicalDevices();
  Registers &device(uint8_t logicalDevice);
  const Registers &device(uint8_t logicalDevice) const;

  std::map<uint8_t, Registers> devices_;
  uint8_t index_ = 0;
  uint8_t selected_ = 0;
  uint8_t configControl_ = 0;
};

// Binds the Super I/O to ports 0x4E-0x4F.
void attachSuperIo(IoBus &bus, SuperIo &superIo);

}  // namespace zarn::host
