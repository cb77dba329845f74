// CMOS/RTC: 256 bytes of battery-backed RAM behind an index/data port pair. Ports 0x70/0x71 reach
// bytes 0x00-0x7F; bit 7 of the index written to 0x70 is the NMI-disable bit, not part of the
// register number. Ports 0x72/0x73 reach the upper bank 0x80-0xFF.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "Platform/Host/IoBus.h"

namespace zarn::host {

class Cmos : public Device {
 public:
  static constexpr uint16_t kBasePort = 0x70;  // 0x70 index, 0x71 data, 0x72 upper index, 0x73 upper data
  static constexpr uint16_t kPortCount = 4;

  // RTC status registers: A and B are read/write, C and D are read-only; reading C clears it.
  static constexpr uint8_t kRegisterA = 0x0A;
  static constexpr uint8_t kRegisterB = 0x0B;
  static constexpr uint8_t kRegisterC = 0x0C;
  static constexpr uint8_t kRegisterD = 0x0D;

  // One data-port access, in order: the register reached (0x00-0xFF) and the byte read or written.
  struct Access {
    uint8_t reg;
    uint8_t value;
    bool write;
    bool operator==(const Access &) const = default;
  };

  Cmos();

  uint32_t read(uint32_t offset, unsigned width) override;
  void write(uint32_t offset, unsigned width, uint32_t value) override;
  // A platform reset leaves the battery-backed RAM and the clock as they are; it clears the index
  // registers and the NMI-disable latch (the firmware selects a register before every access).
  void reset() override;

  // Presets and inspection, bypassing the ports and the access record.
  uint8_t get(uint8_t reg) const { return ram_[reg]; }
  void set(uint8_t reg, uint8_t value) { ram_[reg] = value; }
  // The byte last written to port 0x70, its register number (bits 0-6) and its NMI-disable bit.
  uint8_t indexPort() const { return indexPort_; }
  uint8_t index() const { return indexPort_ & 0x7F; }
  bool nmiDisabled() const { return (indexPort_ & 0x80) != 0; }

  const std::vector<Access> &accesses() const { return accesses_; }
  // The data-port reads alone, in order.
  std::vector<Access> reads() const;
  void clearAccesses() { accesses_.clear(); }

 private:
  uint8_t readRegister(uint8_t reg);
  void writeRegister(uint8_t reg, uint8_t value);

  std::array<uint8_t, 256> ram_{};
  uint8_t indexPort_ = 0;
  uint8_t upperIndex_ = 0;
  std::vector<Access> accesses_;
};

// Binds the CMOS to ports 0x70-0x73.
void attachCmos(IoBus &bus, Cmos &cmos);

}  // namespace zarn::host
