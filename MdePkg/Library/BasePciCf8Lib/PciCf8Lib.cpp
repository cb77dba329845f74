// PCI configuration access through mechanism 1: address port 0xCF8, data ports 0xCFC-0xCFF.
// Registers 0x100-0xFFF are reached for 16- and 32-bit accesses by placing register bits 8-11 in
// bits 24-27 of the address word while the extended-configuration enable register on bus 0 holds 1.
#include "Library/BaseLib.h"
#include "Library/DebugLib.h"
#include "Library/IoLib.h"
#include "Library/PciLib.h"

namespace {

enum : UINTN {
  kPciAddressPort = 0xCF8,
  kPciDataPort = 0xCFC,
};

enum : UINT32 {
  kCf8Enable = 0x80000000u,
  // The enable register of device 0x18, function 4, register 0x44 on bus 0; the 16-bit accesses use it.
  kExtCfgEnableDevice18 = 0x8000C444u,
};

// Rejected bits of the two check forms: register bits 8-11 and bits 28-31 (form A), plus bit 0 (form B).
constexpr UINTN kFormAMask = 0xF0000F00u;
constexpr UINTN kFormBMask = 0xF0000F01u;

constexpr UINT32 StandardCf8(UINTN Address) {
  return static_cast<UINT32>(((Address >> 4) & 0x00FFFF00u) | (Address & 0xFCu) | kCf8Enable);
}

constexpr UINT32 ExtendedCf8(UINTN Address) {
  return static_cast<UINT32>(((Address & 0x0FFFF000u) >> 4) | ((Address & 0xF00u) << 16) | (Address & 0xFCu) |
                             kCf8Enable);
}

constexpr BOOLEAN IsExtendedRegister(UINTN Address) { return (Address & 0xF00u) != 0; }

// Runs Access with the address port holding Cf8. Interrupts are masked from before the address port
// is saved until after it is restored, so nothing can move it between address and data.
template <typename AccessFn>
auto WithAddressPort(UINT32 Cf8, AccessFn Access) {
  const BOOLEAN InterruptState = SaveAndMaskInterrupts();
  const UINT32 SavedCf8 = PortRead32(kPciAddressPort);
  PortWrite32(kPciAddressPort, Cf8);
  const auto Result = Access();
  PortWrite32(kPciAddressPort, SavedCf8);
  RestoreInterruptState(InterruptState);
  return Result;
}

// An extended access: the enable register is saved, set to 1 and restored around the masked window,
// with interrupts in the caller's state. The address port is left holding EnableCf8.
template <typename AccessFn>
auto WithExtendedConfig(UINT32 EnableCf8, UINTN Address, AccessFn Access) {
  PortWrite32(kPciAddressPort, EnableCf8);
  const UINT32 SavedEnable = PortRead32(kPciDataPort);
  PortWrite32(kPciDataPort, 0x00000001u);
  const auto Result = WithAddressPort(ExtendedCf8(Address), Access);
  PortWrite32(kPciAddressPort, EnableCf8);
  PortWrite32(kPciDataPort, SavedEnable);
  return Result;
}

constexpr UINTN DataPort8(UINTN Address) { return kPciDataPort + (Address & 3); }
constexpr UINTN DataPort16(UINTN Address) { return kPciDataPort + (Address & 2); }

UINT8 PciCf8Read8(UINTN Address) {
  ASSERT_TEXT((Address & kFormAMask) == 0, "((Address) & (~0xffff0ff | (0))) == 0");
  return WithAddressPort(StandardCf8(Address), [=] { return PortRead8(DataPort8(Address)); });
}

UINT8 PciCf8Or8(UINTN Address, UINT8 OrData) {
  ASSERT_TEXT((Address & kFormAMask) == 0, "((Address) & (~0xffff0ff | (0))) == 0");
  return WithAddressPort(StandardCf8(Address), [=] { return PortOr8(DataPort8(Address), OrData); });
}

UINT16 PciCf8Or16(UINTN Address, UINT16 OrData) {
  ASSERT_TEXT((Address & kFormBMask) == 0, "((Address) & (~0xffff0ff | (1))) == 0");
  return WithAddressPort(StandardCf8(Address), [=] { return PortOr16(DataPort16(Address), OrData); });
}

UINT16 PciCf8And16(UINTN Address, UINT16 AndData) {
  ASSERT_TEXT((Address & kFormBMask) == 0, "((Address) & (~0xffff0ff | (1))) == 0");
  return WithAddressPort(StandardCf8(Address), [=] { return PortAnd16(DataPort16(Address), AndData); });
}

UINT16 PciCf8Read16(UINTN Address) {
  const auto Access = [=] { return PortRead16(DataPort16(Address)); };
  if (IsExtendedRegister(Address)) {
    return WithExtendedConfig(kExtCfgEnableDevice18, Address, Access);
  }
  return WithAddressPort(StandardCf8(Address), Access);
}

UINT16 PciCf8Write16(UINTN Address, UINT16 Value) {
  const auto Access = [=] { return PortWrite16(DataPort16(Address), Value); };
  if (IsExtendedRegister(Address)) {
    return WithExtendedConfig(kExtCfgEnableDevice18, Address, Access);
  }
  return WithAddressPort(StandardCf8(Address), Access);
}

UINT32 PciCf8Read32(UINTN Address) {
  const auto Access = [] { return PortRead32(kPciDataPort); };
  if (IsExtendedRegister(Address)) {
    return WithExtendedConfig(GetExtCfgEnableAddress(), Address, Access);
  }
  return WithAddressPort(StandardCf8(Address), Access);
}

UINT32 PciCf8Write32(UINTN Address, UINT32 Value) {
  const auto Access = [=] { return PortWrite32(kPciDataPort, Value); };
  if (IsExtendedRegister(Address)) {
    return WithExtendedConfig(GetExtCfgEnableAddress(), Address, Access);
  }
  return WithAddressPort(StandardCf8(Address), Access);
}

static_assert(StandardCf8(0x000FA044u) == 0x8000FA44u, "standard address word");
static_assert(StandardCf8(0x000FA145u) == 0x8000FA44u, "register bits 8-11 and 0-1 stay out of the standard word");
static_assert(ExtendedCf8(0x00100146u) == 0x81010044u, "extended address word");

}  // namespace

// The enable register serving the 32-bit extended accesses: function 4, register 0x44 of device
// 0x18 + n on bus 0, n being bits 28-30 of CPUID leaf 1 EBX.
UINT32 GetExtCfgEnableAddress(VOID) {
  UINT32 Ebx = 0;
  ReadCpuid(1, nullptr, &Ebx, nullptr, nullptr);
  const UINT32 Node = (Ebx >> 28) & 7;
  return kCf8Enable | ((0x18u + Node) << 11) | 0x400u | 0x44u;
}

// The entries callers use: the value arrives narrowed to the access width and is forwarded unchanged.
UINT8 PciConfigRead8(UINTN Address) { return PciCf8Read8(Address); }
UINT8 PciConfigOr8(UINTN Address, UINT8 OrData) { return PciCf8Or8(Address, OrData); }
UINT16 PciConfigRead16(UINTN Address) { return PciCf8Read16(Address); }
UINT16 PciConfigWrite16(UINTN Address, UINT16 Value) { return PciCf8Write16(Address, Value); }
UINT16 PciConfigOr16(UINTN Address, UINT16 OrData) { return PciCf8Or16(Address, OrData); }
UINT16 PciConfigAnd16(UINTN Address, UINT16 AndData) { return PciCf8And16(Address, AndData); }
UINT32 PciConfigRead32(UINTN Address) { return PciCf8Read32(Address); }
UINT32 PciConfigWrite32(UINTN Address, UINT32 Value) { return PciCf8Write32(Address, Value); }
