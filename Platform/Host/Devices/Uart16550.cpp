#include "Platform/Host/Devices/Uart16550.h"

#include "Platform/Host/Devices/Hex.h"

namespace zarn::host {

using detail::hex;

Uart16550::Uart16550(unsigned spacing) : spacing_(spacing) {
  if (spacing == 0) throw DeviceError("UART: register spacing must not be 0");
  reset();
}

void Uart16550::reset() {
  ier_ = 0;
  fcr_ = 0;
  lcr_ = 0;
  mcr_ = 0;
  msrDeltas_ = 0;
  thrInterrupt_ = false;
  received_.clear();
}

std::string Uart16550::lineSettings() const {
  const unsigned dataBits = 5 + (lcr_ & 0x03);
  char parity = 'N';
  if (lcr_ & 0x08) {
    const bool even = (lcr_ & 0x10) != 0;
    const bool stick = (lcr_ & 0x20) != 0;
    parity = stick ? (even ? 'S' : 'M') : (even ? 'E' : 'O');
  }
  const char *stop = (lcr_ & 0x04) ? (dataBits == 5 ? "1.5" : "2") : "1";
  return std::to_string(dataBits) + parity + stop;
}

void Uart16550::setModemStatus(uint8_t lines) {
  lines &= 0xF0;
  const uint8_t changed = lines ^ lines_;
  if (changed & kMsrCts) msrDeltas_ |= 0x01;
  if (changed & kMsrDsr) msrDeltas_ |= 0x02;
  if ((lines_ & kMsrRi) && !(lines & kMsrRi)) msrDeltas_ |= 0x04;  // trailing edge of RI only
  if (changed & kMsrDcd) msrDeltas_ |= 0x08;
  lines_ = lines;
}

uint8_t Uart16550::modemStatus() {
  uint8_t lines = lines_;
  if (loopback()) {
    // In loopback the outputs drive the inputs: RTS->CTS, DTR->DSR, OUT1->RI, OUT2->DCD.
    lines = static_cast<uint8_t>(((mcr_ & 0x02) ? kMsrCts : 0) | ((mcr_ & 0x01) ? kMsrDsr : 0) |
                                 ((mcr_ & 0x04) ? kMsrRi : 0) | ((mcr_ & 0x08) ? kMsrDcd : 0));
  }
  const uint8_t value = lines | msrDeltas_;
  msrDeltas_ = 0;
  return value;
}

uint8_t Uart16550::registerAt(uint32_t offset, unsigned width) const {
  if (width != 1) throw DeviceError("UART: only byte accesses (width " + std::to_string(width) + ")");
  if (offset % spacing_ != 0 || offset / spacing_ > kScr)
    throw DeviceError("UART: no register at offset " + hex(offset));
  return static_cast<uint8_t>(offset / spacing_);
}

uint32_t Uart16550::read(uint32_t offset, unsigned width) {
  switch (registerAt(offset, width)) {
    case kRbrThrDll:
      if (dlab()) return divisor_ & 0xFF;
      if (received_.empty()) return 0;  // nothing received: the buffer holds no new data
      {
        const uint8_t byte = received_.front();
        received_.pop_front();
        return byte;
      }
    case kIerDlm:
      return dlab() ? divisor_ >> 8 : ier_;
    case kIirFcr: {
      // Interrupt identification, highest priority first: received data (0x04), holding register
      // empty (0x02, cleared by this read), none (0x01). Bits 7-6 show the FIFOs enabled.
      uint8_t id = 0x01;
      if ((ier_ & 0x01) && !received_.empty()) {
        id = 0x04;
      } else if ((ier_ & 0x02) && thrInterrupt_) {
        id = 0x02;
        thrInterrupt_ = false;
      }
      return id | (fifosEnabled() ? 0xC0 : 0x00);
    }
    case kLcr:
      return lcr_;
    case kMcr:
      return mcr_;
    case kLsr: {
      ++lsrReads_;
      uint8_t lsr = received_.empty() ? 0 : kLsrDataReady;
      if (busyPolls_ == 0) {
        lsr |= kLsrThre | kLsrTemt;
      } else if (busyPolls_ != kForever) {
        --busyPolls_;
      }
      return lsr;
    }
    case kMsr:
      return modemStatus();
    default:
      return scr_;
  }
}

void Uart16550::write(uint32_t offset, unsigned width, uint32_t value) {
  const uint8_t byte = static_cast<uint8_t>(value);
  switch (registerAt(offset, width)) {
    case kRbrThrDll:
      if (dlab()) {
        divisor_ = static_cast<uint16_t>((divisor_ & 0xFF00) | byte);
      } else {
        if (loopback()) {
          received_.push_back(byte);
        } else {
          transmitted_.push_back(byte);
        }
        // Sent at once (unless held busy), so the holding register is empty again and its interrupt re-arms.
        if (busyPolls_ == 0) thrInterrupt_ = true;
      }
      return;
    case kIerDlm:
      if (dlab()) {
        divisor_ = static_cast<uint16_t>((divisor_ & 0x00FF) | byte << 8);
      } else {
        // Enabling the holding-register interrupt while the register is empty raises it at once.
        if ((byte & 0x02) && !(ier_ & 0x02)) thrInterrupt_ = true;
        ier_ = byte & 0x0F;  // bits 4-7 are always 0
      }
      return;
    case kIirFcr:
      // Bit 0 enables the FIFOs and must be set for the other bits to take; bits 1 and 2 clear the
      // receive and transmit FIFOs and clear themselves. Changing bit 0 empties both FIFOs.
      if ((byte & 0x01) != (fcr_ & 0x01) || (byte & 0x03) == 0x03) received_.clear();
      fcr_ = (byte & 0x01) ? static_cast<uint8_t>(byte & ~0x06) : 0;
      return;
    case kLcr:
      lcr_ = byte;
      return;
    case kMcr:
      mcr_ = byte & 0x1F;  // bits 5-7 are always 0
      return;
    case kLsr:
    case kMsr:
      // Writing the status registers is reserved for factory test on the real part.
      throw DeviceError("UART: " + std::string(registerAt(offset, width) == kLsr ? "LSR" : "MSR") + " is read-only");
    default:
      scr_ = byte;
      return;
  }
}

void attachUart(IoBus &bus, Uart16550 &uart, uint16_t base) {
  bus.attach(base, static_cast<uint16_t>(uart.span()), uart);
}

void attachUart(MmioBus &bus, Uart16550 &uart, uint64_t base) { bus.attach(base, uart.span(), uart); }

}  // namespace zarn::host
