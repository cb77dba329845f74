// The platform's other modules on the emulator: the memory-initialization module's memory-information
// PPI, answered from the blob, and the debug-print PPI, which formats each forwarded message with the
// project's print engine and writes it to the debug console. Both answer as the host's models do.
#include <stdarg.h>

#include "Guid/ZarnGuids.h"
#include "Library/PrintLib.h"
#include "Platform/Ia32/Boot/DebugConsole.h"
#include "Platform/Ia32/Boot/Foundation.h"

namespace {

// The buffer each message is formatted into; the host's producer uses the same size, so a long message
// is cut at the same place on both targets.
constexpr UINTN MessageBufferSize = 1024;

enum : UINT32 {
  SlotDebugPrint = 0,
  SlotMemoryInfo = 1,
};

const UINT8 *BlobBytes(const BootBlobHeader *Blob) { return reinterpret_cast<const UINT8 *>(Blob); }

EFI_STATUS EFIAPI GetHoleMap(const EFI_PEI_SERVICES **PeiServices, UINT32 *NumOfHoles, UINT64 *TopOfMemory,
                             HoleMapEntry **HoleMapPtr) {
  (VOID)PeiServices;
  const BootBlobHeader *Blob = State().Blob;
  const BootMemoryInfo &M = Blob->MemoryInfo;
  if (M.HoleMapStatus != EFI_SUCCESS) {
    return M.HoleMapStatus;
  }
  if (NumOfHoles == nullptr || TopOfMemory == nullptr || HoleMapPtr == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  *NumOfHoles = M.HoleCount;
  *TopOfMemory = M.TopOfMemory;
  // The map stays in flash; the reader only reads it.
  *HoleMapPtr = (Blob->Flags & BootBlobHoleMapNull) != 0
                    ? nullptr
                    : reinterpret_cast<HoleMapEntry *>(const_cast<UINT8 *>(BlobBytes(Blob) + M.HoleOffset));
  return EFI_SUCCESS;
}

struct MessageContext {
  UINT64 MessageClass;
  const CHAR8 *Format;
  va_list Arguments;
};

// Runs on the service stack, so the 1 KiB buffer and the print engine do not count toward the calling
// module's stack figure.
VOID FormatAndWrite(VOID *Context) {
  MessageContext &C = *static_cast<MessageContext *>(Context);
  CHAR8 Buffer[MessageBufferSize];
  Buffer[0] = '\0';
  if (C.Format != nullptr) {
    AsciiVFormat(Buffer, sizeof Buffer, C.Format, C.Arguments);
  }
  ConsoleRecord(BootRecordMessage);
  const UINT32 Running = State().RunningModule;
  ConsoleText(Running == BootModulePlatform ? nullptr : BootModuleName(Running));
  ConsoleHex(C.MessageClass);
  ConsoleStringHex(Buffer);
  ConsoleStringHex(C.Format);
  ConsoleEnd();
}

VOID EFIAPI OutputMessage(UINT64 MessageClass, const CHAR8 *Format, va_list Arguments) {
  MessageContext Context;
  Context.MessageClass = MessageClass;
  Context.Format = Format;
  va_copy(Context.Arguments, Arguments);
  BootCallOnStack(FormatAndWrite, &Context, BootServiceStackTop);
  va_end(Context.Arguments);
}

}  // namespace

VOID PlatformModulesInstall(const BootBlobHeader *Blob) {
  BootState &S = State();
  // Installed in the host's order: the debug-print producer first, then the memory-initialization module.
  if ((Blob->Flags & BootBlobDebugPrintPpi) != 0) {
    S.DebugPrint.OutputMessage = OutputMessage;
    FoundationInstallPlatformPpi(SlotDebugPrint, &gZarnDebugPrintPpiGuid, &S.DebugPrint);
  }
  if ((Blob->Flags & BootBlobMemoryInfo) != 0) {
    const BootMemoryInfo &M = Blob->MemoryInfo;
    MemoryInformationPpi &P = S.MemoryInfo;
    P.Value32 = M.Value32;
    P.Value16 = M.Value16;
    P.Value8Valid = M.Value8Valid;
    P.Value8 = M.Value8;
    P.Value32B = M.Value32B;
    P.GetHoleMap = GetHoleMap;
    P.Dim0Count = M.Counts[0];
    P.Dim1Count = M.Counts[1];
    P.Dim2Count = M.Counts[2];
    P.Dim3Count = M.Counts[3];
    P.Scalars = M.Scalars;
    for (UINT32 Array = 0; Array < MEMORY_CONFIG_ARRAY_COUNT; Array++) {
      P.ArraySource[Array] = (M.ArrayNullMask & (1u << Array)) != 0 ? nullptr : BlobBytes(Blob) + M.ArrayOffset[Array];
    }
    FoundationInstallPlatformPpi(SlotMemoryInfo, &gMemoryInformationPpiGuid, &P);
  }
}
