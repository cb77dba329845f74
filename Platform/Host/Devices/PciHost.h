// PCI host bridge with configuration mechanism 1: the 32-bit address register at 0xCF8 and the data
// window 0xCFC-0xCFF, in front of a 4 KiB configuration space per function.
//
// Address register (32-bit accesses to 0xCF8 only): bit 31 enable, bits 24-27 register bits 8-11
// (the extended form), 16-23 bus, 11-15 device, 8-10 function, 2-7 register bits 2-7. Bits 0-1 and
// 28-30 read as 0. A data access of 1, 2 or 4 bytes at 0xCFC + k reaches register
// (address bits 2-7) + k of the addressed function, naturally aligned.
//
// Extended registers 0x100-0xFFF: bits 24-27 count only while an extended-configuration enable
// register holds bit 0 = 1. Those registers are the 32-bit register 0x44 of function 4 of the devices
// 0x18-0x1F on bus 0 (one per processor node); any of them that exists enables the extended form for
// the whole host. While none is set, bits 24-27 are ignored and the access reaches the standard
// register (address bits 2-7) — the reserved bits of the address word then have no effect.
//
// Functions answer at their own bus number: the bus numbers in bridges are registers for the firmware
// to read and program, not routing. The firmware's bridge walk reads them but never depends on a
// configuration cycle being forwarded, and flat decoding keeps the scenarios small.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "Platform/Host/IoBus.h"

namespace zarn::host {

struct PciLocation {
  uint8_t bus = 0;
  uint8_t device = 0;    // 0-31
  uint8_t function = 0;  // 0-7
  auto operator<=>(const PciLocation &) const = default;
};

// Read-only identity of a function: vendor and device ids, class code (base class << 16 | subclass << 8
// | programming interface) and revision.
struct PciIdentity {
  uint16_t vendorId;
  uint16_t deviceId;
  uint32_t classCode;
  uint8_t revision = 0;
};

// The vendor id the simulated machine's own functions report.
inline constexpr uint16_t kSimulatedPciVendorId = 0x5A52;

enum class PciBarKind { Io, Memory32 };

struct PciBridgeSetup {
  uint8_t primaryBus = 0;
  uint8_t secondaryBus = 0;
  uint8_t subordinateBus = 0;
  // 32-bit I/O addressing: bits 0-3 of registers 0x1C/0x1D read 1 and the upper halves at 0x30/0x32
  // are writable; otherwise they read 0 and the upper halves are hard-wired 0.
  bool io32 = true;
  PciIdentity identity{kSimulatedPciVendorId, 0x0B01, 0x060400};
};

class PciHost : public Device {
 public:
  static constexpr uint16_t kBasePort = 0xCF8;  // 0xCF8-0xCFB address register, 0xCFC-0xCFF data
  static constexpr uint16_t kPortCount = 8;
  static constexpr uint16_t kExtendedEnableRegister = 0x44;
  static constexpr uint8_t kExtendedEnableFirstDevice = 0x18;
  static constexpr uint8_t kExtendedEnableFunction = 4;

  // A configuration access decoded from the address register, as the function saw it.
  struct ConfigAccess {
    PciLocation location;
    uint16_t reg;
    unsigned width;
    uint32_t value;
    bool write;
    bool present;  // false: no such function (reads all ones, writes dropped)
    bool operator==(const ConfigAccess &) const = default;
  };

  PciHost();
  ~PciHost() override;

  uint32_t read(uint32_t offset, unsigned width) override;
  void write(uint32_t offset, unsigned width, uint32_t value) override;
  // Address register 0; every function back to its power-on contents (identity, presets).
  void reset() override;

  // Topology. Each throws DeviceError when the location is taken or the function is missing.
  // A plain function (header type 0; `multiFunction` sets header bit 7).
  void addFunction(PciLocation at, const PciIdentity &identity, bool multiFunction = false);
  // A PCI-to-PCI bridge (header type 1).
  void addBridge(PciLocation at, const PciBridgeSetup &setup = {});
  // A base address register (index 0-5; 0-1 on a bridge) decoding `size` bytes (a power of two, at
  // least 4 for I/O and 16 for memory). Its type bits are read-only; the address bits below `size`
  // read 0; the rest take what is written. `address` 0 means no address assigned yet.
  void addBar(PciLocation at, unsigned index, PciBarKind kind, uint32_t size, uint32_t address = 0);
  // A power-management capability whose control/status register is at `controlStatus` (even,
  // 0x44-0xFC): bits 0-1 are the power state (0 = D0 ... 3 = D3hot), the only writable bits. The
  // capability header (id 0x01) sits 4 bytes below it and is linked into the capability list.
  void addPowerManagement(PciLocation at, uint16_t controlStatus, uint8_t powerState = 0);
  // The extended-configuration enable function of processor node `node` (0-7): bus 0, device
  // 0x18 + node, function 4, register 0x44 0 at power-on.
  void addExtendedConfigEnable(uint8_t node);
  // A 16550-compatible serial controller (class 0x070002) with BAR 0 of `kind` decoding 8 bytes
  // (I/O) or 4 KiB (memory), at `address` (0: not assigned).
  void addSerialController(PciLocation at, PciBarKind kind, uint32_t address = 0);

  bool present(PciLocation at) const;
  bool extendedConfigEnabled() const;
  uint32_t addressRegister() const { return address_; }
  uint8_t powerState(PciLocation at) const;

  // Registers of a function, bypassing the ports and the write masks. A preset describes the function
  // as the boot finds it: it also becomes the value reset() returns to.
  uint8_t config8(PciLocation at, uint16_t reg) const;
  uint16_t config16(PciLocation at, uint16_t reg) const;
  uint32_t config32(PciLocation at, uint16_t reg) const;
  void setConfig8(PciLocation at, uint16_t reg, uint8_t value);
  void setConfig16(PciLocation at, uint16_t reg, uint16_t value);
  void setConfig32(PciLocation at, uint16_t reg, uint32_t value);

  // Bridge windows as addresses: the I/O window in 4 KiB units (upper halves at 0x30/0x32 used when
  // the bridge has 32-bit I/O), the memory window in 1 MiB units.
  void setBridgeBuses(PciLocation at, uint8_t primary, uint8_t secondary, uint8_t subordinate);
  void setBridgeIoWindow(PciLocation at, uint32_t base, uint32_t limit);
  void setBridgeMemoryWindow(PciLocation at, uint32_t base, uint32_t limit);

  const std::vector<ConfigAccess> &configAccesses() const { return accesses_; }
  void clearConfigAccesses() { accesses_.clear(); }

 private:
  struct Function {
    std::array<uint8_t, 4096> live{};
    std::array<uint8_t, 4096> powerOn{};
    std::array<uint8_t, 4096> writable{};  // per-byte write mask
    uint8_t headerType = 0;
  };
  Function &function(PciLocation at);
  const Function &function(PciLocation at) const;
  Function &create(PciLocation at, const PciIdentity &identity, uint8_t headerType);
  void preset(Function &f, uint16_t reg, unsigned width, uint32_t value);
  uint16_t decodeRegister(uint32_t dataOffset) const;
  PciLocation decodeLocation() const;

  uint32_t address_ = 0;
  std::map<PciLocation, std::unique_ptr<Function>> functions_;
  std::vector<ConfigAccess> accesses_;
};

// Binds the host bridge to ports 0xCF8-0xCFF.
void attachPciHost(IoBus &bus, PciHost &host);

}  // namespace zarn::host
