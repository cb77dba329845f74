#include "Platform/Host/Devices/StandardPlatform.h"

namespace zarn::host {

namespace {

void applyUartOptions(Uart16550 &uart, const UartOptions &o) {
  if (o.lineControl) uart.setLineControl(*o.lineControl);
  if (o.divisor) uart.setDivisor(*o.divisor);
  if (o.fifoControl) uart.setFifoControl(*o.fifoControl);
  if (o.heldBusy) {
    uart.holdTransmitterBusy();
  } else {
    uart.releaseTransmitter();
  }
}

}  // namespace

StandardPlatform::StandardPlatform(IoBus &io, MmioBus &mmio, const StandardPlatformOptions &options)
    : firstUart(options.firstUart.spacing), secondUart(options.secondUart.spacing), io_(io), options_(options) {
  pci.addFunction(kHostBridge, {kSimulatedPciVendorId, 0x0B00, 0x060000});
  pci.addFunction(kIsaBridge, {kSimulatedPciVendorId, 0x0B1F, 0x060100}, true);
  pci.addFunction(kAcpiDecode, {kSimulatedPciVendorId, 0x0B12, 0x068000}, true);
  pci.addExtendedConfigEnable(0);
  if (options.extendedEnableNode != 0) pci.addExtendedConfigEnable(options.extendedEnableNode);
  if (options.mmioUartBase) mmioUart.emplace(options.mmioUartSpacing);

  applyOptions();

  attachCmos(io, cmos);
  attachSuperIo(io, superIo);
  if (options.firstUart.present) attachUart(io, firstUart, 0x3F8);
  if (options.secondUart.present) attachUart(io, secondUart, 0x2F8);
  attachPciHost(io, pci);
  attachMarkerPort(io, marker);
  if (mmioUart) attachUart(mmio, *mmioUart, *options.mmioUartBase);
}

StandardPlatform::~StandardPlatform() {
  // The MMIO bus has no way to unbind; the platform must outlive its use (see the header).
  for (Device *d : {static_cast<Device *>(&cmos), static_cast<Device *>(&superIo), static_cast<Device *>(&firstUart),
                    static_cast<Device *>(&secondUart), static_cast<Device *>(&pci), static_cast<Device *>(&marker)}) {
    io_.detach(*d);
  }
}

void StandardPlatform::reset() {
  cmos.reset();
  superIo.reset();
  firstUart.reset();
  secondUart.reset();
  pci.reset();
  marker.reset();
  if (mmioUart) mmioUart->reset();
  applyOptions();
}

void StandardPlatform::applyOptions() {
  cmos.set(0x0E, options_.cmosDiagnosticStatus);
  cmos.set(0x6F, options_.cmosBaudSelect);
  for (unsigned i = 0; i < 4; ++i)
    cmos.set(static_cast<uint8_t>(0x7A + i), static_cast<uint8_t>(options_.cmosDebugLevel >> (8 * i)));
  superIo.set(SuperIo::kUartA, SuperIo::kActivate, options_.superIoUartAActivate);
  superIo.set(SuperIo::kUartB, SuperIo::kActivate, options_.superIoUartBActivate);
  applyUartOptions(firstUart, options_.firstUart);
  applyUartOptions(secondUart, options_.secondUart);
}

}  // namespace zarn::host
