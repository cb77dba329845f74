#include "Platform/Host/Devices/Cmos.h"

#include <string>

#include "Platform/Host/Devices/Hex.h"

namespace zarn::host {

namespace {
constexpr uint32_t kIndexPort = 0;
constexpr uint32_t kDataPort = 1;
constexpr uint32_t kUpperIndexPort = 2;
constexpr uint32_t kUpperDataPort = 3;
}  // namespace

Cmos::Cmos() {
  // Power-on contents of a freshly powered clock: divider on with a 1024 Hz rate (A = 0x26),
  // 24-hour binary-coded time (B = 0x02), no flags pending (C), RAM and time valid (D bit 7). The
  // clock does not tick: the time registers are plain bytes that tests may set.
  ram_[kRegisterA] = 0x26;
  ram_[kRegisterB] = 0x02;
  ram_[kRegisterC] = 0x00;
  ram_[kRegisterD] = 0x80;
  reset();
}

void Cmos::reset() {
  indexPort_ = 0;
  upperIndex_ = 0;
}

std::vector<Cmos::Access> Cmos::reads() const {
  std::vector<Access> out;
  for (const Access &a : accesses_) {
    if (!a.write) out.push_back(a);
  }
  return out;
}

uint8_t Cmos::readRegister(uint8_t reg) {
  const uint8_t value = ram_[reg];
  if (reg == kRegisterC) ram_[reg] = 0;  // the interrupt flags clear when read
  accesses_.push_back({reg, value, false});
  return value;
}

void Cmos::writeRegister(uint8_t reg, uint8_t value) {
  if (reg == kRegisterC || reg == kRegisterD) {
    throw DeviceError("CMOS: register " + detail::hex(reg) + " is read-only");
  }
  accesses_.push_back({reg, value, true});
  // Register A bit 7 (update in progress) is read-only; the clock never updates here.
  ram_[reg] = reg == kRegisterA ? static_cast<uint8_t>(value & 0x7F) : value;
}

uint32_t Cmos::read(uint32_t offset, unsigned width) {
  if (width != 1) throw DeviceError("CMOS: only byte accesses");
  switch (offset) {
    case kDataPort:
      return readRegister(index());
    case kUpperDataPort:
      return readRegister(static_cast<uint8_t>(0x80 | upperIndex_));
    case kIndexPort:
    case kUpperIndexPort:
      // The index registers are write-only on the real part; a read returns nothing meaningful.
      throw DeviceError("CMOS: index ports are write-only");
    default:
      throw DeviceError("CMOS: no port at offset " + detail::hex(offset));
  }
}

void Cmos::write(uint32_t offset, unsigned width, uint32_t value) {
  if (width != 1) throw DeviceError("CMOS: only byte accesses");
  const uint8_t byte = static_cast<uint8_t>(value);
  switch (offset) {
    case kIndexPort:
      indexPort_ = byte;
      return;
    case kUpperIndexPort:
      // The upper bank takes the low seven bits; bit 7 carries no NMI meaning here.
      upperIndex_ = byte & 0x7F;
      return;
    case kDataPort:
      writeRegister(index(), byte);
      return;
    case kUpperDataPort:
      writeRegister(static_cast<uint8_t>(0x80 | upperIndex_), byte);
      return;
    default:
      throw DeviceError("CMOS: no port at offset " + detail::hex(offset));
  }
}

void attachCmos(IoBus &bus, Cmos &cmos) { bus.attach(Cmos::kBasePort, Cmos::kPortCount, cmos); }

}  // namespace zarn::host
