// Base types, status codes and the GUID record shared by every firmware file.
// Firmware code includes only the freestanding C headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef uint8_t UINT8;
typedef int8_t INT8;
typedef uint16_t UINT16;
typedef int16_t INT16;
typedef uint32_t UINT32;
typedef int32_t INT32;
typedef uint64_t UINT64;
typedef int64_t INT64;
typedef uintptr_t UINTN;  // 32 bits on IA32, 64 bits on the host
typedef intptr_t INTN;
typedef UINT8 BOOLEAN;
typedef char CHAR8;
typedef UINT16 CHAR16;
typedef void VOID;

#define TRUE ((BOOLEAN)1)
#define FALSE ((BOOLEAN)0)

// Calling convention of every published interface: cdecl on IA32, the host's own elsewhere.
#define EFIAPI

typedef UINT32 EFI_STATUS;
typedef UINT64 EFI_PHYSICAL_ADDRESS;
typedef VOID *EFI_PEI_FILE_HANDLE;

enum : EFI_STATUS {
  EFI_SUCCESS = 0x00000000u,
  EFI_WARN_UNKNOWN_GLYPH = 0x00000001u,
  EFI_WARN_DELETE_FAILURE = 0x00000002u,
  EFI_WARN_WRITE_FAILURE = 0x00000003u,
  EFI_WARN_BUFFER_TOO_SMALL = 0x00000004u,
  EFI_WARN_STALE_DATA = 0x00000005u,
  EFI_LOAD_ERROR = 0x80000001u,
  EFI_INVALID_PARAMETER = 0x80000002u,
  EFI_UNSUPPORTED = 0x80000003u,
  EFI_BAD_BUFFER_SIZE = 0x80000004u,
  EFI_BUFFER_TOO_SMALL = 0x80000005u,
  EFI_NOT_READY = 0x80000006u,
  EFI_DEVICE_ERROR = 0x80000007u,
  EFI_WRITE_PROTECTED = 0x80000008u,
  EFI_OUT_OF_RESOURCES = 0x80000009u,
  EFI_VOLUME_CORRUPTED = 0x8000000Au,
  EFI_VOLUME_FULL = 0x8000000Bu,
  EFI_NO_MEDIA = 0x8000000Cu,
  EFI_MEDIA_CHANGED = 0x8000000Du,
  EFI_NOT_FOUND = 0x8000000Eu,
  EFI_ACCESS_DENIED = 0x8000000Fu,
  EFI_NO_RESPONSE = 0x80000010u,
  EFI_NO_MAPPING = 0x80000011u,
  EFI_TIMEOUT = 0x80000012u,
  EFI_NOT_STARTED = 0x80000013u,
  EFI_ALREADY_STARTED = 0x80000014u,
  EFI_ABORTED = 0x80000015u,
  EFI_ICMP_ERROR = 0x80000016u,
  EFI_TFTP_ERROR = 0x80000017u,
  EFI_PROTOCOL_ERROR = 0x80000018u,
  EFI_INCOMPATIBLE_VERSION = 0x80000019u,
  EFI_SECURITY_VIOLATION = 0x8000001Au,
  EFI_CRC_ERROR = 0x8000001Bu,
  EFI_END_OF_MEDIA = 0x8000001Cu,
  EFI_END_OF_FILE = 0x8000001Fu,
  EFI_INVALID_LANGUAGE = 0x80000020u,
  EFI_COMPROMISED_DATA = 0x80000021u,
};

// An error has the top bit set; warnings and success have it clear.
constexpr BOOLEAN EFI_ERROR(EFI_STATUS Status) { return (Status & 0x80000000u) != 0; }

// 16 bytes in the UEFI layout; handled as two unaligned 64-bit halves.
struct EFI_GUID {
  UINT32 Data1;
  UINT16 Data2;
  UINT16 Data3;
  UINT8 Data4[8];
};
static_assert(sizeof(EFI_GUID) == 16, "EFI_GUID is 16 bytes");

// EFI_TIME as the print engine's %t reads it (Year, Month, Day, Hour, Minute used).
struct EFI_TIME {
  UINT16 Year;
  UINT8 Month;
  UINT8 Day;
  UINT8 Hour;
  UINT8 Minute;
  UINT8 Second;
  UINT8 Pad1;
  UINT32 Nanosecond;
  INT16 TimeZone;
  UINT8 Daylight;
  UINT8 Pad2;
};
static_assert(sizeof(EFI_TIME) == 16, "EFI_TIME is 16 bytes");
static_assert(offsetof(EFI_TIME, Hour) == 4 && offsetof(EFI_TIME, Minute) == 5, "EFI_TIME layout");

typedef UINT32 EFI_MEMORY_TYPE;
enum : EFI_MEMORY_TYPE { EfiACPIMemoryNVS = 10 };

#if UINTPTR_MAX == 0xFFFFFFFFu
#define ZARN_IA32 1
#else
#define ZARN_IA32 0
#endif
