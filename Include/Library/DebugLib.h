// Checking forms and the two report operations they call.
// Every firmware source is compiled with ZARN_SOURCE_PATH set to its path without extension.
#pragma once

#include "Library/PcdLib.h"
#include "ZarnBase.h"

#ifndef ZARN_SOURCE_PATH
#error "ZARN_SOURCE_PATH must name the source file (set by the build)"
#endif

enum : UINT8 {
  DEBUG_PROPERTY_ASSERT_ENABLED = 0x01,
  DEBUG_PROPERTY_PRINT_ENABLED = 0x02,
  DEBUG_PROPERTY_BREAKPOINT = 0x10,
  DEBUG_PROPERTY_DEAD_LOOP = 0x20,
};

// The level of the failed-status message of ASSERT_EFI_ERROR.
constexpr UINT32 DEBUG_ERROR_LEVEL = 0x80000000u;

// Report operations; implemented by the debug library linked into the image (or a test's recorder).
VOID DebugLibAssert(const CHAR8 *SourcePath, UINTN Line, const CHAR8 *Expression);
VOID DebugLibPrint(UINT32 Level, const CHAR8 *Format, ...);

inline BOOLEAN DebugLibAssertEnabled(VOID) {
  return (_gPcd_FixedAtBuild_PcdDebugPropertyBits & DEBUG_PROPERTY_ASSERT_ENABLED) != 0;
}
inline BOOLEAN DebugLibPrintEnabled(VOID) {
  return (_gPcd_FixedAtBuild_PcdDebugPropertyBits & DEBUG_PROPERTY_PRINT_ENABLED) != 0;
}
inline BOOLEAN DebugLibLevelEnabled(UINT32 Level) { return (Level & _gPcd_FixedAtBuild_PcdDebugPrintLevelMask) != 0; }

// ASSERT_TEXT reports Text as the expression; used where the code's spelling differs from the
// reported text (for example the host's address-space top in a range check). The condition is not
// evaluated when assertions are off.
#define ASSERT_TEXT(Condition, Text)                     \
  do {                                                   \
    if (DebugLibAssertEnabled() && !(Condition)) {       \
      DebugLibAssert(ZARN_SOURCE_PATH, __LINE__, Text);  \
    }                                                    \
  } while (0)

#define ASSERT(Condition) ASSERT_TEXT(Condition, #Condition)

#define DEBUG_MESSAGE(Level, ...)                                    \
  do {                                                               \
    if (DebugLibPrintEnabled() && DebugLibLevelEnabled(Level)) {     \
      DebugLibPrint(Level, __VA_ARGS__);                             \
    }                                                                \
  } while (0)

#define ASSERT_EFI_ERROR(StatusParameter)                                                     \
  do {                                                                                        \
    if (DebugLibAssertEnabled()) {                                                            \
      const EFI_STATUS CheckedStatus_ = (StatusParameter);                                    \
      if (EFI_ERROR(CheckedStatus_)) {                                                        \
        DEBUG_MESSAGE(DEBUG_ERROR_LEVEL, "\nASSERT_EFI_ERROR (Status = %r)\n", CheckedStatus_); \
        DebugLibAssert(ZARN_SOURCE_PATH, __LINE__, "!EFI_ERROR (Status)");                    \
      }                                                                                       \
    }                                                                                         \
  } while (0)
