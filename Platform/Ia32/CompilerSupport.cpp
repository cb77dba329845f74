// The memory routines GCC may emit calls to in freestanding code (structure copies and clears).
// String instructions do the work, so the compiler cannot turn a routine into a call to itself.
#include "ZarnBase.h"

extern "C" {

void *memcpy(void *Destination, const void *Source, size_t Length) {
  void *To = Destination;
  __asm__ __volatile__("rep movsb" : "+D"(To), "+S"(Source), "+c"(Length) : : "memory");
  return Destination;
}

void *memset(void *Destination, int Value, size_t Length) {
  void *To = Destination;
  __asm__ __volatile__("rep stosb" : "+D"(To), "+c"(Length) : "a"(Value) : "memory");
  return Destination;
}

// Downward (direction flag set) when the destination starts inside the source.
void *memmove(void *Destination, const void *Source, size_t Length) {
  const UINTN To = reinterpret_cast<UINTN>(Destination);
  const UINTN From = reinterpret_cast<UINTN>(Source);
  if (To <= From || To - From >= Length) {
    return memcpy(Destination, Source, Length);
  }
  void *Last = static_cast<UINT8 *>(Destination) + Length - 1;
  const void *SourceLast = static_cast<const UINT8 *>(Source) + Length - 1;
  __asm__ __volatile__("std\n\trep movsb\n\tcld" : "+D"(Last), "+S"(SourceLast), "+c"(Length) : : "memory");
  return Destination;
}

int memcmp(const void *Left, const void *Right, size_t Length) {
  const UINT8 *A = static_cast<const UINT8 *>(Left);
  const UINT8 *B = static_cast<const UINT8 *>(Right);
  for (size_t Index = 0; Index < Length; Index++) {
    if (A[Index] != B[Index]) {
      return A[Index] < B[Index] ? -1 : 1;
    }
  }
  return 0;
}

}  // extern "C"
