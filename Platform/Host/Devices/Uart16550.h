// 16550-compatible UART: eight byte-wide registers, register n at offset n × spacing (spacing 1 for
// a port-mapped UART, often 1 or 4 for a memory-mapped one). The transmitter sends instantly: a byte
// written to THR is captured and the holding register and shift register are empty again, unless a
// test holds the transmitter busy. The clock is 1.8432 MHz, so baud = 115200 / divisor.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "Platform/Host/IoBus.h"

namespace zarn::host {

class Uart16550 : public Device {
 public:
  // Register numbers (before spacing).
  enum Register : uint8_t {
    kRbrThrDll = 0,  // RBR (read) / THR (write); DLL while LCR.DLAB is set
    kIerDlm = 1,     // IER; DLM while LCR.DLAB is set
    kIirFcr = 2,     // IIR (read) / FCR (write)
    kLcr = 3,
    kMcr = 4,
    kLsr = 5,
    kMsr = 6,
    kScr = 7,
  };
  static constexpr uint8_t kLcrDlab = 0x80;
  static constexpr uint8_t kLsrDataReady = 0x01;
  static constexpr uint8_t kLsrThre = 0x20;
  static constexpr uint8_t kLsrTemt = 0x40;
  static constexpr uint8_t kMsrCts = 0x10;
  static constexpr uint8_t kMsrDsr = 0x20;
  static constexpr uint8_t kMsrRi = 0x40;
  static constexpr uint8_t kMsrDcd = 0x80;
  static constexpr uint32_t kClockBaud = 115200;  // 1843200 Hz / 16

  explicit Uart16550(unsigned spacing = 1);

  unsigned spacing() const { return spacing_; }
  // Bytes of address space the registers span: 8 × spacing.
  uint32_t span() const { return 8 * spacing_; }

  uint32_t read(uint32_t offset, unsigned width) override;
  void write(uint32_t offset, unsigned width, uint32_t value) override;
  // Master reset: IER, FCR, LCR and MCR 0, IIR 0x01, LSR 0x60, MSR delta bits 0, receiver empty.
  // As on the real part, the divisor latch, the scratch register, the modem input lines and the
  // record of transmitted bytes are not touched.
  void reset() override;

  // Register state, for reports and presets (as if earlier firmware had programmed the UART).
  uint8_t lineControl() const { return lcr_; }
  void setLineControl(uint8_t lcr) { lcr_ = lcr; }
  uint16_t divisor() const { return divisor_; }
  void setDivisor(uint16_t divisor) { divisor_ = divisor; }
  // 115200 / divisor; 0 while the divisor latch holds 0 (the part then does not clock).
  uint32_t baudRate() const { return divisor_ ? kClockBaud / divisor_ : 0; }
  // The line settings of LCR bits 0-5 as text, e.g. "8N1", "7E2", "5N1.5", "8M1" (stick parity).
  std::string lineSettings() const;
  uint8_t interruptEnable() const { return ier_; }
  uint8_t fifoControl() const { return fcr_; }
  bool fifosEnabled() const { return (fcr_ & 0x01) != 0; }
  void setFifoControl(uint8_t fcr) { fcr_ = fcr; }
  uint8_t modemControl() const { return mcr_; }
  uint8_t scratch() const { return scr_; }

  // The modem input lines: MSR bits 4-7 (CTS 0x10, DSR 0x20, RI 0x40, DCD 0x80). A change sets the
  // matching delta bits 0-3, which clear when MSR is read.
  void setModemStatus(uint8_t lines);

  // Bytes written to THR with DLAB clear, in order (in loopback mode they go to the receiver instead).
  const std::vector<uint8_t> &transmitted() const { return transmitted_; }
  std::string transmittedText() const { return {transmitted_.begin(), transmitted_.end()}; }
  void clearTransmitted() { transmitted_.clear(); }

  // Bytes arriving on the line, read through RBR.
  void receive(uint8_t byte) { received_.push_back(byte); }

  // Transmitter held busy: LSR never shows THRE or TEMT, so any wait for them must give up by itself.
  void holdTransmitterBusy() { busyPolls_ = kForever; }
  // LSR reads show THRE and TEMT clear for the next `lsrReads` reads, then set again.
  void busyForLsrReads(uint32_t lsrReads) { busyPolls_ = lsrReads; }
  void releaseTransmitter() { busyPolls_ = 0; }
  bool transmitterBusy() const { return busyPolls_ != 0; }
  // How many times LSR has been read since construction.
  uint64_t lsrReads() const { return lsrReads_; }

 private:
  static constexpr uint32_t kForever = UINT32_MAX;
  uint8_t registerAt(uint32_t offset, unsigned width) const;
  bool dlab() const { return (lcr_ & kLcrDlab) != 0; }
  bool loopback() const { return (mcr_ & 0x10) != 0; }
  uint8_t modemStatus();

  unsigned spacing_;
  uint16_t divisor_ = 0;
  uint8_t ier_ = 0;
  uint8_t fcr_ = 0;
  uint8_t lcr_ = 0;
  uint8_t mcr_ = 0;
  uint8_t scr_ = 0;
  uint8_t lines_ = 0;          // MSR bits 4-7 as presented by the line
  uint8_t msrDeltas_ = 0;      // MSR bits 0-3
  bool thrInterrupt_ = false;  // holding-register-empty interrupt pending
  uint32_t busyPolls_ = 0;     // LSR reads still to show a busy transmitter; kForever: always
  uint64_t lsrReads_ = 0;
  std::deque<uint8_t> received_;
  std::vector<uint8_t> transmitted_;
};

// Binds a UART's registers to I/O ports [base, base + span).
void attachUart(IoBus &bus, Uart16550 &uart, uint16_t base);
// Binds a memory-mapped UART's registers to [base, base + span); the MMIO bus makes byte accesses.
void attachUart(MmioBus &bus, Uart16550 &uart, uint64_t base);

}  // namespace zarn::host
