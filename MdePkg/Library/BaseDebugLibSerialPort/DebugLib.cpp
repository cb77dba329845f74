// DEBUG messages and assertion reports, formatted here and written to the serial console.
// The run-time level comes from CMOS and is cached for the whole boot in MM0, which both modules
// share; there is no memory state, so the code runs from read-only memory.
#include <stdarg.h>

#include "Library/BaseLib.h"
#include "Library/DebugLib.h"
#include "Library/DebugLibInternal.h"
#include "Library/IoLib.h"
#include "Library/PcdLib.h"
#include "Library/PrintLib.h"
#include "Library/SerialConsole.h"
#include "Platform/Seam.h"

namespace {

// A report holds at most 255 characters and its terminator.
constexpr UINTN kMessageBufferSize = 256;

// The cache in MM0: signature '$D' in bits 0-15, bits 16-30 belong to whoever shares the layout,
// bit 31 marks bits 32-63 as the level.
constexpr UINT64 kCacheSignature = 0x4424;
constexpr UINT64 kCacheSignatureMask = 0xFFFF;
constexpr UINT64 kCacheValid = 0x80000000u;
constexpr UINT64 kCacheOtherBits = 0x7FFF0000u;

enum : UINTN {
  kCmosIndexPort = 0x70,
  kCmosDataPort = 0x71,
  kPostMarkerPort = 0xE8,
};

// Register 0x0E with the NMI-disable bit; its bit 7 set means CMOS lost power and holds no level.
constexpr UINT8 kCmosStatusWithNmiOff = 0x8E;
constexpr UINT8 kCmosPowerLost = 0x80;
constexpr UINT8 kCmosDebugLevel = 0x7A;  // 0x7A-0x7D, little-endian

constexpr UINT32 kDeadLoopEnterMarker = 0x4C6F6F70;  // "pooL" on ports 0xE8-0xEB
constexpr UINT32 kDeadLoopLeaveMarker = 0x4C456E64;  // "dnEL"

VOID WriteMessage(const CHAR8 *Buffer) {
  SerialWrite(reinterpret_cast<const UINT8 *>(Buffer), AsciiStrLength(Buffer));
}

}  // namespace

UINT64 ReadMm0(VOID) { return PlatformReadMm0(); }

VOID WriteMm0(UINT64 Value) { PlatformWriteMm0(Value); }

VOID TriggerBreakpoint(VOID) { PlatformBreakpoint(); }

VOID DeadLoopWithMarkers(VOID) {
  PortWrite32(kPostMarkerPort, kDeadLoopEnterMarker);
  // Only a debugger writing the flag ends the loop; PlatformPause gives it the flag's address.
  volatile UINT32 Released = 0;
  while (Released == 0) {
    PlatformPause(&Released);
  }
  PortWrite32(kPostMarkerPort, kDeadLoopLeaveMarker);
}

UINT32 ReadDebugLevel(VOID) {
  if (_gPcd_FixedAtBuild_PcdDebugLevelOverride != 0) {
    return _gPcd_FixedAtBuild_PcdDebugLevelOverride;
  }
  const UINT64 Cache = ReadMm0();
  if ((Cache & kCacheSignatureMask) == kCacheSignature && (Cache & kCacheValid) != 0) {
    return static_cast<UINT32>(Cache >> 32);
  }

  UINT32 Level = 0;
  PortWrite8(kCmosIndexPort, kCmosStatusWithNmiOff);
  if ((PortRead8(kCmosDataPort) & kCmosPowerLost) == 0) {
    for (UINT32 Index = 0; Index < 4; ++Index) {
      PortWrite8(kCmosIndexPort, static_cast<UINT8>(kCmosDebugLevel + Index));
      Level |= static_cast<UINT32>(PortRead8(kCmosDataPort)) << (8 * Index);
    }
  }
  // A level of 0 from lost CMOS is cached too, so CMOS is read once per boot either way.
  WriteMm0((Cache & kCacheOtherBits) | kCacheSignature | kCacheValid | (static_cast<UINT64>(Level) << 32));
  return Level;
}

VOID DebugLibPrint(UINT32 Level, const CHAR8 *Format, ...) {
  ASSERT_TEXT(Format != nullptr, "Format != ((void *) 0)");
  if (Format == nullptr) {
    return;
  }
  if ((Level & ReadDebugLevel()) == 0) {
    return;
  }
  CHAR8 Buffer[kMessageBufferSize];
  va_list Arguments;
  va_start(Arguments, Format);
  AsciiVFormat(Buffer, sizeof(Buffer), Format, Arguments);
  va_end(Arguments);
  WriteMessage(Buffer);
}

// Written whatever the levels say; what follows is chosen by the property bits alone.
VOID DebugLibAssert(const CHAR8 *SourcePath, UINTN Line, const CHAR8 *Expression) {
  CHAR8 Buffer[kMessageBufferSize];
  AsciiFormat(Buffer, sizeof(Buffer), "ASSERT [%a] %a(%d): %a\n", gZarnModuleBaseName, SourcePath,
              static_cast<UINT32>(Line), Expression);
  WriteMessage(Buffer);
  if ((_gPcd_FixedAtBuild_PcdDebugPropertyBits & DEBUG_PROPERTY_BREAKPOINT) != 0) {
    TriggerBreakpoint();
  } else if ((_gPcd_FixedAtBuild_PcdDebugPropertyBits & DEBUG_PROPERTY_DEAD_LOOP) != 0) {
    DeadLoopWithMarkers();
  }
}
