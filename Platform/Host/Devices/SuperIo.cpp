#include "Platform/Host/Devices/SuperIo.h"

#include <string>

#include "Platform/Host/Devices/Hex.h"

namespace zarn::host {

namespace {
constexpr uint32_t kIndexPort = 0;
constexpr uint32_t kDataPort = 1;
constexpr uint8_t kConfigControl = 0x02;  // bit 0 resets the logical devices; reads back 0
// The identity the simulated chip reports; nothing in the boot path reads it.
constexpr uint8_t kChipIdValue = 0x5A;
constexpr uint8_t kChipRevisionValue = 0x01;
using detail::hex;
}  // namespace

SuperIo::SuperIo(std::vector<uint8_t> logicalDevices) {
  for (uint8_t ld : logicalDevices) devices_[ld] = {};
  reset();
}

void SuperIo::reset() {
  index_ = 0;
  selected_ = 0;
  configControl_ = 0;
  resetLogicalDevices();
}

void SuperIo::resetLogicalDevices() {
  for (auto &[ld, regs] : devices_) {
    regs = {};
    regs[kInterruptType] = 0x02;
  }
}

bool SuperIo::isLogicalDeviceRegister(uint8_t reg) {
  return reg == kActivate || reg == kIoBaseHigh || reg == kIoBaseLow || reg == kInterrupt || reg == kInterruptType;
}

SuperIo::Registers &SuperIo::device(uint8_t logicalDevice) {
  auto it = devices_.find(logicalDevice);
  if (it == devices_.end()) throw DeviceError("Super I/O: no logical device " + hex(logicalDevice));
  return it->second;
}

const SuperIo::Registers &SuperIo::device(uint8_t logicalDevice) const {
  return const_cast<SuperIo *>(this)->device(logicalDevice);
}

uint8_t SuperIo::get(uint8_t logicalDevice, uint8_t reg) const {
  if (!isLogicalDeviceRegister(reg)) throw DeviceError("Super I/O: no logical-device register " + hex(reg));
  return device(logicalDevice)[reg];
}

void SuperIo::set(uint8_t logicalDevice, uint8_t reg, uint8_t value) {
  if (!isLogicalDeviceRegister(reg)) throw DeviceError("Super I/O: no logical-device register " + hex(reg));
  device(logicalDevice)[reg] = value;
}

uint16_t SuperIo::ioBase(uint8_t logicalDevice) const {
  const Registers &regs = device(logicalDevice);
  return static_cast<uint16_t>(regs[kIoBaseHigh] << 8 | regs[kIoBaseLow]);
}

bool SuperIo::decodes(uint16_t base) const {
  for (const auto &[ld, regs] : devices_) {
    if ((regs[kActivate] & 0x01) && ioBase(ld) == base) return true;
  }
  return false;
}

uint32_t SuperIo::read(uint32_t offset, unsigned width) {
  if (width != 1) throw DeviceError("Super I/O: only byte accesses");
  if (offset == kIndexPort) return index_;
  if (offset != kDataPort) throw DeviceError("Super I/O: no port at offset " + std::to_string(offset));
  switch (index_) {
    case kConfigControl:
      return configControl_;
    case kLogicalDeviceSelect:
      return selected_;
    case kChipId:
      return kChipIdValue;
    case kChipRevision:
      return kChipRevisionValue;
    default:
      if (isLogicalDeviceRegister(index_)) return device(selected_)[index_];
      // Registers the model does not carry are an error, so that a stray access shows up in a test.
      throw DeviceError("Super I/O: register " + hex(index_) + " not modelled");
  }
}

void SuperIo::write(uint32_t offset, unsigned width, uint32_t value) {
  if (width != 1) throw DeviceError("Super I/O: only byte accesses");
  const uint8_t byte = static_cast<uint8_t>(value);
  if (offset == kIndexPort) {
    index_ = byte;
    return;
  }
  if (offset != kDataPort) throw DeviceError("Super I/O: no port at offset " + std::to_string(offset));
  switch (index_) {
    case kConfigControl:
      // Bit 0 returns every logical device to its power-on values and clears itself.
      if (byte & 0x01) resetLogicalDevices();
      configControl_ = byte & 0xFE;
      return;
    case kLogicalDeviceSelect:
      // Any number is latched; the registers of a device the chip lacks fail when accessed.
      selected_ = byte;
      return;
    case kChipId:
    case kChipRevision:
      throw DeviceError("Super I/O: register " + hex(index_) + " is read-only");
    default:
      if (!isLogicalDeviceRegister(index_)) throw DeviceError("Super I/O: register " + hex(index_) + " not modelled");
      device(selected_)[index_] = byte;
  }
}

void attachSuperIo(IoBus &bus, SuperIo &superIo) { bus.attach(SuperIo::kBasePort, SuperIo::kPortCount, superIo); }

}  // namespace zarn::host
