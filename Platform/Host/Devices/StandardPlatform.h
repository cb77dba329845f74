// The standard device set of the simulated board, created and bound in one step: CMOS/RTC at
// 0x70-0x73, Super I/O at 0x4E/0x4F, 16550 UARTs at 0x3F8 and 0x2F8, the PCI host bridge at
// 0xCF8-0xCFF with its standard functions, the marker port at 0xE8, and optionally a memory-mapped
// UART. The object owns the devices and must outlive every use of the buses it was bound to.
#pragma once

#include <cstdint>
#include <optional>

#include "Platform/Host/Devices/Cmos.h"
#include "Platform/Host/Devices/MarkerPort.h"
#include "Platform/Host/Devices/PciHost.h"
#include "Platform/Host/Devices/SuperIo.h"
#include "Platform/Host/Devices/Uart16550.h"
#include "Platform/Host/IoBus.h"

namespace zarn::host {

struct UartOptions {
  // An absent UART is not bound at all, so its ports read all ones like any unclaimed port.
  bool present = true;
  // Line settings and divisor as earlier firmware left them; unset: the power-on values
  // (LCR 0, divisor latch 0).
  std::optional<uint8_t> lineControl;
  std::optional<uint16_t> divisor;
  std::optional<uint8_t> fifoControl;
  // The transmitter never reports empty (LSR bits 5 and 6 stay clear).
  bool heldBusy = false;
  unsigned spacing = 1;

  static UartOptions absent() { return {.present = false}; }
  // Already programmed by earlier firmware: LCR and divisor as given, FIFOs on.
  static UartOptions programmed(uint8_t lcr, uint16_t divisor) {
    return {.lineControl = lcr, .divisor = divisor, .fifoControl = 0x01};
  }
};

struct StandardPlatformOptions {
  UartOptions firstUart;   // 0x3F8
  UartOptions secondUart;  // 0x2F8

  // CMOS: the run-time debug level in bytes 0x7A-0x7D (little-endian), the baud selection byte 0x6F
  // and byte 0x0E, whose bit 7 set means the clock lost power and the contents are invalid.
  uint32_t cmosDebugLevel = 0;
  uint8_t cmosBaudSelect = 0x00;
  uint8_t cmosDiagnosticStatus = 0x00;

  // Super I/O activate registers (0x30) of logical devices 3 and 2 as the boot finds them.
  uint8_t superIoUartAActivate = 0x00;  // logical device 3
  uint8_t superIoUartBActivate = 0x00;  // logical device 2

  // Processor node n (0-7): extended-configuration enable functions exist at bus 0 devices 0x18 and
  // 0x18 + n, function 4.
  uint8_t extendedEnableNode = 0;

  // A memory-mapped UART at this physical address, bound on the MMIO bus.
  std::optional<uint64_t> mmioUartBase;
  unsigned mmioUartSpacing = 1;
};

class StandardPlatform {
 public:
  // Standard PCI functions on bus 0.
  static constexpr PciLocation kHostBridge{0, 0x00, 0};
  static constexpr PciLocation kIsaBridge{0, 0x1F, 0};
  // Decodes the ACPI I/O range; register 0x44 is its decode enable.
  static constexpr PciLocation kAcpiDecode{0, 0x1F, 2};

  StandardPlatform(IoBus &io, MmioBus &mmio, const StandardPlatformOptions &options = {});
  ~StandardPlatform();
  StandardPlatform(const StandardPlatform &) = delete;
  StandardPlatform &operator=(const StandardPlatform &) = delete;

  // Every device back to power-on, then the options applied again.
  void reset();

  const StandardPlatformOptions &options() const { return options_; }

  Cmos cmos;
  SuperIo superIo;
  Uart16550 firstUart;   // 0x3F8
  Uart16550 secondUart;  // 0x2F8
  PciHost pci;
  MarkerPort marker;
  // Present when options.mmioUartBase is set.
  std::optional<Uart16550> mmioUart;

 private:
  void applyOptions();

  IoBus &io_;
  StandardPlatformOptions options_;
};

}  // namespace zarn::host
