#include "Platform/Host/Devices/PciHost.h"

#include <string>

#include "Platform/Host/Devices/Hex.h"

namespace zarn::host {

namespace {

using detail::hex;

constexpr uint32_t kEnableBit = 0x80000000u;
// Bits of the address register that hold something; bits 0-1 and 28-30 are hard-wired 0.
constexpr uint32_t kAddressRegisterBits = 0x8FFFFFFCu;

std::string where(PciLocation at) { return hex(at.bus) + ":" + hex(at.device) + "." + std::to_string(at.function); }

uint32_t allOnes(unsigned width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }

// Write masks of the standard header; everything from 0x40 on is device-specific and writable.
// Status bits (0x06) are read-only here because the model never raises an error to clear.
void headerMasks(std::array<uint8_t, 4096> &m, uint8_t headerType, bool io32) {
  m.fill(0xFF);
  for (unsigned r = 0; r < 0x40; ++r) m[r] = 0x00;
  m[0x04] = 0xFF;  // command bits 0-7
  m[0x05] = 0x07;  // command bits 8-10
  m[0x0C] = 0xFF;  // cache line size
  m[0x0D] = 0xFF;  // latency timer
  m[0x3C] = 0xFF;  // interrupt line
  if (headerType == 1) {
    for (unsigned r = 0x18; r <= 0x1B; ++r) m[r] = 0xFF;  // primary, secondary, subordinate, latency
    m[0x1C] = 0xF0;                                       // I/O base bits 12-15
    m[0x1D] = 0xF0;                                       // I/O limit bits 12-15
    m[0x20] = 0xF0;                                       // memory base bits 20-23
    m[0x21] = 0xFF;                                       // memory base bits 24-31
    m[0x22] = 0xF0;
    m[0x23] = 0xFF;
    m[0x24] = 0xF0;  // prefetchable window, 32-bit only
    m[0x25] = 0xFF;
    m[0x26] = 0xF0;
    m[0x27] = 0xFF;
    if (io32) {
      for (unsigned r = 0x30; r <= 0x33; ++r) m[r] = 0xFF;  // I/O base and limit bits 16-31
    }
    m[0x3E] = 0xFF;  // bridge control bits 0-11
    m[0x3F] = 0x0F;
  }
}

}  // namespace

PciHost::PciHost() { reset(); }
PciHost::~PciHost() = default;

void PciHost::reset() {
  address_ = 0;
  for (auto &[at, f] : functions_) f->live = f->powerOn;
}

PciHost::Function &PciHost::function(PciLocation at) {
  auto it = functions_.find(at);
  if (it == functions_.end()) throw DeviceError("PCI: no function at " + where(at));
  return *it->second;
}

const PciHost::Function &PciHost::function(PciLocation at) const { return const_cast<PciHost *>(this)->function(at); }

bool PciHost::present(PciLocation at) const { return functions_.contains(at); }

void PciHost::preset(Function &f, uint16_t reg, unsigned width, uint32_t value) {
  if (reg % width != 0 || reg + width > 4096) throw DeviceError("PCI: register " + hex(reg) + " out of range");
  for (unsigned i = 0; i < width; ++i) {
    f.live[reg + i] = f.powerOn[reg + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

PciHost::Function &PciHost::create(PciLocation at, const PciIdentity &id, uint8_t headerType) {
  if (at.device > 31 || at.function > 7) throw DeviceError("PCI: bad location " + where(at));
  if (present(at)) throw DeviceError("PCI: function " + where(at) + " already exists");
  auto f = std::make_unique<Function>();
  f->headerType = headerType & 0x7F;
  headerMasks(f->writable, f->headerType, false);
  preset(*f, 0x00, 2, id.vendorId);
  preset(*f, 0x02, 2, id.deviceId);
  preset(*f, 0x08, 4, id.classCode << 8 | id.revision);
  preset(*f, 0x0E, 1, headerType);
  Function &ref = *f;
  functions_.emplace(at, std::move(f));
  return ref;
}

void PciHost::addFunction(PciLocation at, const PciIdentity &identity, bool multiFunction) {
  create(at, identity, multiFunction ? 0x80 : 0x00);
}

void PciHost::addBridge(PciLocation at, const PciBridgeSetup &setup) {
  Function &f = create(at, setup.identity, 0x01);
  headerMasks(f.writable, 1, setup.io32);
  const uint8_t ioCapability = setup.io32 ? 0x01 : 0x00;
  preset(f, 0x1C, 1, ioCapability);
  preset(f, 0x1D, 1, ioCapability);
  setBridgeBuses(at, setup.primaryBus, setup.secondaryBus, setup.subordinateBus);
}

void PciHost::addBar(PciLocation at, unsigned index, PciBarKind kind, uint32_t size, uint32_t address) {
  Function &f = function(at);
  const unsigned bars = f.headerType == 1 ? 2 : 6;
  const uint32_t minimum = kind == PciBarKind::Io ? 4 : 16;
  if (index >= bars) throw DeviceError("PCI: function " + where(at) + " has no BAR " + std::to_string(index));
  if (size < minimum || (size & (size - 1)) != 0) throw DeviceError("PCI: BAR size " + hex(size) + " invalid");
  if (address & (size - 1)) throw DeviceError("PCI: BAR address " + hex(address) + " not aligned to its size");
  const uint16_t reg = static_cast<uint16_t>(0x10 + 4 * index);
  const uint32_t typeBits = kind == PciBarKind::Io ? 0x1 : 0x0;  // I/O; memory 32-bit non-prefetchable
  const uint32_t mask = ~(size - 1) & (kind == PciBarKind::Io ? 0xFFFFFFFCu : 0xFFFFFFF0u);
  for (unsigned i = 0; i < 4; ++i) f.writable[reg + i] = static_cast<uint8_t>(mask >> (8 * i));
  preset(f, reg, 4, address | typeBits);
}

void PciHost::addPowerManagement(PciLocation at, uint16_t controlStatus, uint8_t powerState) {
  Function &f = function(at);
  if (controlStatus < 0x44 || controlStatus > 0xFC || controlStatus % 2 != 0) {
    throw DeviceError("PCI: power-management register " + hex(controlStatus) + " not in 0x44-0xFC");
  }
  const uint16_t capability = static_cast<uint16_t>(controlStatus - 4);
  // Capability id 0x01, next = the previous head of the list, capabilities version 3 (no D1/D2).
  const uint8_t head = f.powerOn[0x34];
  preset(f, capability, 1, 0x01);
  preset(f, capability + 1, 1, head);
  preset(f, capability + 2, 2, 0x0003);
  preset(f, 0x34, 1, capability);
  preset(f, 0x06, 1, f.powerOn[0x06] | 0x10);  // status: capabilities list present
  for (unsigned r = capability; r < capability + 8u; ++r) f.writable[r] = 0x00;
  f.writable[controlStatus] = 0x03;
  preset(f, controlStatus, 2, powerState & 0x03);
}

void PciHost::addExtendedConfigEnable(uint8_t node) {
  if (node > 7) throw DeviceError("PCI: processor node " + std::to_string(node) + " out of range 0-7");
  addFunction({0, static_cast<uint8_t>(kExtendedEnableFirstDevice + node), kExtendedEnableFunction},
              {kSimulatedPciVendorId, 0x0B04, 0x060000}, true);
}

void PciHost::addSerialController(PciLocation at, PciBarKind kind, uint32_t address) {
  addFunction(at, {kSimulatedPciVendorId, 0x0B50, 0x070002});
  addBar(at, 0, kind, kind == PciBarKind::Io ? 8 : 4096, address);
}

uint8_t PciHost::powerState(PciLocation at) const {
  const Function &f = function(at);
  // Follow the capability list to the power-management capability.
  uint8_t cap = (f.live[0x06] & 0x10) ? f.live[0x34] : 0;
  for (unsigned hops = 0; cap >= 0x40 && hops < 48; ++hops) {
    if (f.live[cap] == 0x01) return f.live[cap + 4] & 0x03;
    cap = f.live[cap + 1];
  }
  throw DeviceError("PCI: function " + where(at) + " has no power-management capability");
}

bool PciHost::extendedConfigEnabled() const {
  for (uint8_t d = kExtendedEnableFirstDevice; d < kExtendedEnableFirstDevice + 8; ++d) {
    auto it = functions_.find({0, d, kExtendedEnableFunction});
    if (it != functions_.end() && (it->second->live[kExtendedEnableRegister] & 0x01)) return true;
  }
  return false;
}

uint8_t PciHost::config8(PciLocation at, uint16_t reg) const {
  return static_cast<uint8_t>(config32(at, reg & ~3) >> (8 * (reg & 3)));
}

uint16_t PciHost::config16(PciLocation at, uint16_t reg) const {
  if (reg & 1) throw DeviceError("PCI: 16-bit register " + hex(reg) + " not aligned");
  return static_cast<uint16_t>(config32(at, reg & ~3) >> (8 * (reg & 2)));
}

uint32_t PciHost::config32(PciLocation at, uint16_t reg) const {
  if (reg & 3 || reg >= 4096) throw DeviceError("PCI: 32-bit register " + hex(reg) + " not aligned or out of range");
  const Function &f = function(at);
  return f.live[reg] | f.live[reg + 1] << 8 | f.live[reg + 2] << 16 | static_cast<uint32_t>(f.live[reg + 3]) << 24;
}

void PciHost::setConfig8(PciLocation at, uint16_t reg, uint8_t value) { preset(function(at), reg, 1, value); }
void PciHost::setConfig16(PciLocation at, uint16_t reg, uint16_t value) { preset(function(at), reg, 2, value); }
void PciHost::setConfig32(PciLocation at, uint16_t reg, uint32_t value) { preset(function(at), reg, 4, value); }

void PciHost::setBridgeBuses(PciLocation at, uint8_t primary, uint8_t secondary, uint8_t subordinate) {
  Function &f = function(at);
  if (f.headerType != 1) throw DeviceError("PCI: function " + where(at) + " is not a bridge");
  preset(f, 0x18, 1, primary);
  preset(f, 0x19, 1, secondary);
  preset(f, 0x1A, 1, subordinate);
}

void PciHost::setBridgeIoWindow(PciLocation at, uint32_t base, uint32_t limit) {
  Function &f = function(at);
  if (f.headerType != 1) throw DeviceError("PCI: function " + where(at) + " is not a bridge");
  const bool io32 = (f.powerOn[0x1C] & 0x0F) == 0x01;
  if (!io32 && (base | limit) > 0xFFFF) throw DeviceError("PCI: bridge " + where(at) + " has 16-bit I/O only");
  const uint8_t capability = io32 ? 0x01 : 0x00;
  preset(f, 0x1C, 1, ((base >> 8) & 0xF0) | capability);
  preset(f, 0x1D, 1, ((limit >> 8) & 0xF0) | capability);
  if (io32) {
    preset(f, 0x30, 2, base >> 16);
    preset(f, 0x32, 2, limit >> 16);
  }
}

void PciHost::setBridgeMemoryWindow(PciLocation at, uint32_t base, uint32_t limit) {
  Function &f = function(at);
  if (f.headerType != 1) throw DeviceError("PCI: function " + where(at) + " is not a bridge");
  preset(f, 0x20, 2, (base >> 16) & 0xFFF0);
  preset(f, 0x22, 2, (limit >> 16) & 0xFFF0);
}

PciLocation PciHost::decodeLocation() const {
  return {static_cast<uint8_t>(address_ >> 16), static_cast<uint8_t>((address_ >> 11) & 0x1F),
          static_cast<uint8_t>((address_ >> 8) & 0x07)};
}

uint16_t PciHost::decodeRegister(uint32_t dataOffset) const {
  uint16_t reg = static_cast<uint16_t>((address_ & 0xFC) | (dataOffset - 4));
  if (extendedConfigEnabled()) reg |= static_cast<uint16_t>(((address_ >> 24) & 0x0F) << 8);
  return reg;
}

// Only 32-bit accesses at 0xCF8 are the address register. On real chipsets byte and word accesses to
// 0xCF8-0xCFB pass on as ordinary I/O (often to a reset-control register at 0xCF9); nothing of the
// kind is modelled, so such an access is an error. Data accesses must be naturally aligned.
static void checkAccess(uint32_t offset, unsigned width) {
  if (width != 1 && width != 2 && width != 4) throw DeviceError("PCI host: width " + std::to_string(width));
  if (offset < 4) {
    if (offset != 0 || width != 4) {
      throw DeviceError("PCI host: " + std::to_string(width) + "-byte access at " + hex(0xCF8 + offset) +
                        "; the address register takes 32-bit accesses only");
    }
    return;
  }
  if (offset >= 8 || (offset - 4) % width != 0) {
    throw DeviceError("PCI host: unaligned " + std::to_string(width) + "-byte data access at " + hex(0xCF8 + offset));
  }
}

uint32_t PciHost::read(uint32_t offset, unsigned width) {
  checkAccess(offset, width);
  if (offset == 0) return address_;
  // Without the enable bit a data-port access is no configuration cycle and nothing claims it.
  if (!(address_ & kEnableBit)) return allOnes(width);
  const PciLocation at = decodeLocation();
  const uint16_t reg = decodeRegister(offset);
  auto it = functions_.find(at);
  uint32_t value = allOnes(width);
  if (it != functions_.end()) {
    value = 0;
    for (unsigned i = 0; i < width; ++i) value |= static_cast<uint32_t>(it->second->live[reg + i]) << (8 * i);
  }
  accesses_.push_back({at, reg, width, value, false, it != functions_.end()});
  return value;
}

void PciHost::write(uint32_t offset, unsigned width, uint32_t value) {
  checkAccess(offset, width);
  if (offset == 0) {
    address_ = value & kAddressRegisterBits;
    return;
  }
  if (!(address_ & kEnableBit)) return;
  const PciLocation at = decodeLocation();
  const uint16_t reg = decodeRegister(offset);
  auto it = functions_.find(at);
  const uint32_t written = value & allOnes(width);
  accesses_.push_back({at, reg, width, written, true, it != functions_.end()});
  if (it == functions_.end()) return;  // master abort: the write goes nowhere
  Function &f = *it->second;
  for (unsigned i = 0; i < width; ++i) {
    const uint8_t byte = static_cast<uint8_t>(written >> (8 * i));
    f.live[reg + i] = static_cast<uint8_t>((f.live[reg + i] & ~f.writable[reg + i]) | (byte & f.writable[reg + i]));
  }
}

void attachPciHost(IoBus &bus, PciHost &host) { bus.attach(PciHost::kBasePort, PciHost::kPortCount, host); }

}  // namespace zarn::host
