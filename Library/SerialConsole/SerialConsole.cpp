// Serial console on the two 16550 UARTs of the Super I/O chip (0x3F8 and 0x2F8): Super I/O start-up,
// line and baud programming, burst transmission to both UARTs, and the optional PCI bridge path to a
// UART behind bridges. The UART registers are the only state; nothing is kept in memory.
#include "Library/SerialConsole.h"

#include "Library/IoLib.h"
#include "Library/PcdLib.h"
#include "Library/PciLib.h"

namespace {

// The two UARTs, in the order every step serves them.
constexpr UINTN kUartPorts[] = {0x3F8, 0x2F8};

enum : UINTN {
  kThr = 0,  // DLL while DLAB is set
  kIer = 1,  // DLM while DLAB is set
  kIir = 2,  // FCR when written
  kLcr = 3,
  kMcr = 4,
  kLsr = 5,
  kMsr = 6,
  kDll = kThr,
  kDlm = kIer,
  kFcr = kIir,
};

enum : UINT8 {
  kLcrDlab = 0x80,
  kLsrThre = 0x20,
  kLsrTemt = 0x40,
  kIirFifosEnabled = 0xC0,
  kMsrCts = 0x10,
  kMsrDsr = 0x20,
  kFifoControlMask = 0x21,
  kFifoEnable = 0x01,
  kFifo64Byte = 0x20,
};

enum : UINTN {
  kCmosIndexPort = 0x70,
  kCmosDataPort = 0x71,
  kSuperIoIndexPort = 0x4E,
  kSuperIoDataPort = 0x4F,
};

constexpr UINT8 kCmosBaudSelect = 0x6F;

// Divisors for a 1843200 Hz UART clock, indexed by bits 1-2 of CMOS byte 0x6F:
// 115200, 57600, 19200 and 9600 baud.
constexpr UINT16 kBaudDivisors[] = {1, 2, 6, 12};

struct SuperIoPair {
  UINT8 Register;
  UINT8 Value;
};

// Logical device 3 at 0x3F8 on interrupt 4, logical device 2 at 0x2F8 on interrupt 3, both activated.
constexpr SuperIoPair SuperIoInitTable[] = {
    {0x07, 0x03}, {0x60, 0x03}, {0x61, 0xF8}, {0x70, 0x04}, {0x30, 0x01},
    {0x07, 0x02}, {0x60, 0x02}, {0x61, 0xF8}, {0x70, 0x03}, {0x30, 0x01},
};

// Every UART status wait gives up after this many polls, so a UART that never reports ready (stuck,
// held busy by a device model, or behind a dead flow-control line) cannot hang the boot. At roughly
// a microsecond per port read it is about 100 ms, several times what a 64-byte burst needs at 9600 baud.
// After a timed-out wait the caller goes on as if the UART were ready: the byte or burst is written
// anyway, so the other UART still receives everything and the boot continues.
constexpr UINT32 kSerialPollLimit = 100000;

template <typename Condition>
BOOLEAN SerialWaitUntil(Condition Ready) {
  for (UINT32 Poll = 0; Poll < kSerialPollLimit; ++Poll) {
    if (Ready()) {
      return TRUE;
    }
  }
  return FALSE;
}

BOOLEAN SerialTransmitterIdle(UINTN Base) {
  return (SerialRegisterRead(Base, kLsr) & (kLsrThre | kLsrTemt)) == (kLsrThre | kLsrTemt);
}

VOID SerialWaitTransmitterIdle(UINTN Base) {
  SerialWaitUntil([=] { return SerialTransmitterIdle(Base); });
}

VOID SerialWaitTransmitterEmpty(UINTN Base) {
  SerialWaitUntil([=] { return (SerialRegisterRead(Base, kLsr) & kLsrTemt) != 0; });
}

// A FIFO depth of 0 would never send anything; it counts as one byte at a time.
UINTN SerialBurstSize() {
  const UINT8 Fifo = _gPcd_FixedAtBuild_PcdSerialFifoSettings;
  if ((Fifo & kFifoEnable) == 0) {
    return 1;
  }
  if ((Fifo & kFifo64Byte) == 0) {
    return 16;
  }
  return _gPcd_FixedAtBuild_PcdSerialTxFifoDepth == 0 ? 1 : _gPcd_FixedAtBuild_PcdSerialTxFifoDepth;
}

// One entry of the bridge list: Device, Function, PowerStateRegister (16 bits, little-endian).
struct BridgeEntry {
  UINT8 Device;
  UINT8 Function;
  UINT16 PowerStateRegister;
};

constexpr UINT8 kBridgeListEnd = 0xFF;

BridgeEntry ReadBridgeEntry(UINTN Index) {
  const UINT8 *Entry = _gPcd_FixedAtBuild_PcdSerialBridgeList + Index * 4;
  return {Entry[0], Entry[1], static_cast<UINT16>(Entry[2] | (Entry[3] << 8))};
}

// True when entry Index is followed by another entry, that is, when it is a bridge.
BOOLEAN IsBridgeEntry(UINTN Index) { return _gPcd_FixedAtBuild_PcdSerialBridgeList[(Index + 1) * 4] != kBridgeListEnd; }

UINTN EntryConfigAddress(UINTN Bus, const BridgeEntry &Entry) {
  return PciConfigAddress(Bus, Entry.Device & 0x1Fu, Entry.Function & 0x07u, 0);
}

enum : UINTN {
  kPciCommand = 0x04,
  kPciBar0 = 0x10,
  kPciBarCount = 6,
  kBridgeSecondaryBus = 0x19,
  kBridgeSubordinateBus = 0x1A,
  kBridgeIoBase = 0x1C,
  kBridgeIoLimit = 0x1D,
  kBridgeMemoryBase = 0x20,
  kBridgeMemoryLimit = 0x22,
  kBridgeIoBaseUpper = 0x30,
  kBridgeIoLimitUpper = 0x32,
};

// Decode enable in the command register: memory space in MMIO mode, I/O space otherwise.
UINT16 DecodeEnableBit() { return _gPcd_FixedAtBuild_PcdSerialMmioAccess ? 0x0002 : 0x0001; }

// Brings a function to power state D0 when it names a power-management register that says otherwise.
// Returns TRUE when the state had to be changed.
BOOLEAN SetPowerStateD0(UINTN ConfigAddress, UINT16 PowerStateRegister) {
  if (PowerStateRegister == 0) {
    return FALSE;
  }
  const UINTN Register = ConfigAddress + PowerStateRegister;
  if ((PciConfigRead16(Register) & 0x3) == 0) {
    return FALSE;
  }
  PciConfigAnd16(Register, 0xFFFC);
  return TRUE;
}

// An I/O window bound in 4 KiB units: the low nibble register's bits 4-7, extended by the upper
// 16-bit register when the bridge decodes 32-bit I/O (bit 0 set).
UINT32 BridgeIoWindowValue(UINTN ConfigAddress, UINTN LowRegister, UINTN UpperRegister) {
  const UINT8 Low = PciConfigRead8(ConfigAddress + LowRegister);
  if ((Low & 0x1) == 0) {
    return Low >> 4;
  }
  return (static_cast<UINT32>(PciConfigRead16(ConfigAddress + UpperRegister)) << 4) | (Low >> 4);
}

}  // namespace

UINT8 SerialRegisterRead(UINTN Base, UINTN Offset) {
  const UINTN Address = Base + Offset * _gPcd_FixedAtBuild_PcdSerialRegisterSpacing;
  return _gPcd_FixedAtBuild_PcdSerialMmioAccess ? MmioByteRead(Address) : PortRead8(Address);
}

UINT8 SerialRegisterWrite(UINTN Base, UINTN Offset, UINT8 Value) {
  const UINTN Address = Base + Offset * _gPcd_FixedAtBuild_PcdSerialRegisterSpacing;
  return _gPcd_FixedAtBuild_PcdSerialMmioAccess ? MmioByteWrite(Address, Value) : PortWrite8(Address, Value);
}

BOOLEAN SerialWritable(UINTN Base) {
  if (!_gPcd_FixedAtBuild_PcdSerialHwFlowControl) {
    return TRUE;
  }
  const UINT8 Lines = SerialRegisterRead(Base, kMsr) & (kMsrDsr | kMsrCts);
  if (_gPcd_FixedAtBuild_PcdSerialCableCheck) {
    return Lines == (kMsrDsr | kMsrCts);
  }
  // Without the cable check only a peer that is present (DSR) but not ready (CTS clear) holds us back.
  return Lines != kMsrDsr;
}

UINT32 SerialUpdatePciBar(UINTN Address, UINT32 Value, UINT32 Mask) {
  const UINT32 Current = PciConfigRead32(Address) & Mask;
  if (Current != 0) {
    return Current;
  }
  return PciConfigWrite32(Address, Value & Mask);
}

UINTN SerialFindRegisterBase(VOID) {
  // The list's first byte read directly: an image that sees the constant then drops the walk.
  if (_gPcd_FixedAtBuild_PcdSerialBridgeList[0] == kBridgeListEnd) {
    return static_cast<UINT32>(_gPcd_FixedAtBuild_PcdSerialBaseAddress);
  }
  const BOOLEAN Mmio = _gPcd_FixedAtBuild_PcdSerialMmioAccess;

  // Walk the bridges from bus 0; each one's window must lie within its parent's.
  UINTN Bus = 0;
  UINT32 ParentBase = 0;
  UINT32 ParentLimit = Mmio ? 0xFFF0 : 0xF;
  UINTN Index = 0;
  for (; IsBridgeEntry(Index); ++Index) {
    const UINTN Bridge = EntryConfigAddress(Bus, ReadBridgeEntry(Index));
    const UINT8 Secondary = PciConfigRead8(Bridge + kBridgeSecondaryBus);
    const UINT8 Subordinate = PciConfigRead8(Bridge + kBridgeSubordinateBus);
    if (Secondary == 0 || Secondary > Subordinate) {
      return 0;
    }
    UINT32 Limit = 0;
    UINT32 Base = 0;
    if (Mmio) {
      Limit = PciConfigRead16(Bridge + kBridgeMemoryLimit) & 0xFFF0u;
      Base = PciConfigRead16(Bridge + kBridgeMemoryBase) & 0xFFF0u;
    } else {
      Limit = BridgeIoWindowValue(Bridge, kBridgeIoLimit, kBridgeIoLimitUpper);
      Base = BridgeIoWindowValue(Bridge, kBridgeIoBase, kBridgeIoBaseUpper);
    }
    if (Limit < Base || Base < ParentBase || Base > ParentLimit || Limit > ParentLimit) {
      return 0;
    }
    ParentBase = Base;
    ParentLimit = Limit;
    Bus = Secondary;
  }

  // The UART itself: its first BAR of the kind the access mode needs.
  const BridgeEntry Uart = ReadBridgeEntry(Index);
  const UINTN UartFunction = EntryConfigAddress(Bus, Uart);
  const UINT32 BarMask = Mmio ? 0xFFFFFFF0u : 0xFFFFFFF8u;
  UINTN Bar = 0;
  for (UINTN BarIndex = 0; BarIndex < kPciBarCount; ++BarIndex) {
    const UINTN Candidate = UartFunction + kPciBar0 + BarIndex * 4;
    const BOOLEAN IoBar = (PciConfigRead32(Candidate) & 0x1) != 0;
    if (IoBar != Mmio) {
      Bar = Candidate;
      break;
    }
  }
  if (Bar == 0) {
    return 0;
  }
  const UINT32 RegisterBase =
      SerialUpdatePciBar(Bar, static_cast<UINT32>(_gPcd_FixedAtBuild_PcdSerialBaseAddress), BarMask);
  const UINT32 WindowValue = Mmio ? ((RegisterBase >> 16) & 0xFFF0u) : (RegisterBase >> 12);
  if (WindowValue < ParentBase || WindowValue > ParentLimit) {
    return 0;
  }

  PciConfigOr16(UartFunction + kPciCommand, DecodeEnableBit());
  if (SetPowerStateD0(UartFunction, Uart.PowerStateRegister)) {
    // Leaving D3 resets the UART's FIFO control; set it again.
    SerialRegisterWrite(RegisterBase, kFcr, _gPcd_FixedAtBuild_PcdSerialFifoSettings & kFifoControlMask);
  }

  // Open the path: every bridge decodes and is in D0.
  Bus = 0;
  for (UINTN BridgeIndex = 0; BridgeIndex < Index; ++BridgeIndex) {
    const BridgeEntry Entry = ReadBridgeEntry(BridgeIndex);
    const UINTN Bridge = EntryConfigAddress(Bus, Entry);
    PciConfigOr16(Bridge + kPciCommand, DecodeEnableBit());
    SetPowerStateD0(Bridge, Entry.PowerStateRegister);
    Bus = PciConfigRead8(Bridge + kBridgeSecondaryBus);
  }
  return RegisterBase;
}

VOID SuperIoInitialize(VOID) {
  // The activate registers of logical devices 3 and 2; either one at exactly 1 means the chip is set up.
  PortWrite8(kSuperIoIndexPort, 0x07);
  PortWrite8(kSuperIoDataPort, 0x03);
  PortWrite8(kSuperIoIndexPort, 0x30);
  const UINT8 Device3Active = PortRead8(kSuperIoDataPort);
  PortWrite8(kSuperIoIndexPort, 0x07);
  PortWrite8(kSuperIoDataPort, 0x02);
  PortWrite8(kSuperIoIndexPort, 0x30);
  const UINT8 Device2Active = PortRead8(kSuperIoDataPort);
  if (Device3Active == 1 || Device2Active == 1) {
    return;
  }
  for (const SuperIoPair &Pair : SuperIoInitTable) {
    PortWrite8(kSuperIoIndexPort, Pair.Register);
    PortWrite8(kSuperIoDataPort, Pair.Value);
  }
}

EFI_STATUS SerialPlatformInitialize(VOID) {
  SuperIoInitialize();
  return EFI_SUCCESS;
}

EFI_STATUS SerialInitialize(VOID) {
  SerialPlatformInitialize();
  if (SerialFindRegisterBase() == 0) {
    return EFI_DEVICE_ERROR;
  }
  PortWrite8(kCmosIndexPort, kCmosBaudSelect);
  const UINT16 Divisor = kBaudDivisors[(PortRead8(kCmosDataPort) & 0x06) >> 1];
  const UINT8 LineSettings = _gPcd_FixedAtBuild_PcdSerialLineSettings & 0x3F;

  for (const UINTN Port : kUartPorts) {
    // A UART already running with these line settings and this divisor is left undisturbed; only its
    // divisor latch is opened briefly to read the divisor.
    BOOLEAN SetUp = (SerialRegisterRead(Port, kLcr) & 0x3F) == LineSettings;
    SerialRegisterWrite(Port, kLcr, SerialRegisterRead(Port, kLcr) | kLcrDlab);
    const UINT8 High = SerialRegisterRead(Port, kDlm);
    const UINT8 Low = SerialRegisterRead(Port, kDll);
    SerialRegisterWrite(Port, kLcr, SerialRegisterRead(Port, kLcr) & static_cast<UINT8>(~kLcrDlab));
    if (static_cast<UINT16>((High << 8) | Low) != Divisor) {
      SetUp = FALSE;
    }
    if (SetUp) {
      continue;
    }
    // Let a byte still in flight go out before the line changes under it.
    SerialWaitTransmitterIdle(Port);
    SerialRegisterWrite(Port, kLcr, kLcrDlab);
    SerialRegisterWrite(Port, kDlm, static_cast<UINT8>(Divisor >> 8));
    SerialRegisterWrite(Port, kDll, static_cast<UINT8>(Divisor & 0xFF));
    SerialRegisterWrite(Port, kLcr, LineSettings);
    SerialRegisterWrite(Port, kFcr, 0x00);
    SerialRegisterWrite(Port, kFcr, _gPcd_FixedAtBuild_PcdSerialFifoSettings & kFifoControlMask);
    SerialRegisterWrite(Port, kIer, 0x00);
    SerialRegisterWrite(Port, kMcr, 0x00);
  }
  return EFI_SUCCESS;
}

UINTN SerialWrite(const UINT8 *Buffer, UINTN NumberOfBytes) {
  if (Buffer == nullptr || SerialFindRegisterBase() == 0) {
    return 0;
  }
  if (NumberOfBytes == 0) {
    for (const UINTN Port : kUartPorts) {
      SerialWaitTransmitterIdle(Port);
    }
    for (const UINTN Port : kUartPorts) {
      SerialWaitUntil([=] { return SerialWritable(Port); });
    }
    return 0;
  }

  const UINTN BurstSize = SerialBurstSize();
  const UINT8 *Next = Buffer;
  UINTN Remaining = NumberOfBytes;
  while (Remaining > 0) {
    // Without FIFOs a burst would overrun the UART; stop rather than lose bytes silently. Sending one
    // byte at a time cannot overrun it, and is what a build without FIFOs asks for, so that mode
    // skips the test instead of never sending anything.
    const UINTN Base = SerialFindRegisterBase();
    if (Base == 0) {
      return 0;
    }
    if (BurstSize > 1 && (SerialRegisterRead(Base, kIir) & kIirFifosEnabled) == 0) {
      return 0;
    }
    // A burst starts only on empty transmitters, so it never holds more than either FIFO takes.
    for (const UINTN Port : kUartPorts) {
      SerialWaitTransmitterEmpty(Port);
    }
    for (UINTN Count = 0; Count < BurstSize && Remaining > 0; ++Count, ++Next, --Remaining) {
      SerialWaitUntil([] { return SerialWritable(kUartPorts[0]) || SerialWritable(kUartPorts[1]); });
      for (const UINTN Port : kUartPorts) {
        SerialRegisterWrite(Port, kThr, *Next);
      }
    }
  }
  return NumberOfBytes;
}
