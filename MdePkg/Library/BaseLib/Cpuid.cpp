// CPUID for one leaf, each result stored only where the caller asked for it.
#include "Library/BaseLib.h"

UINT32 ReadCpuid(UINT32 Index, UINT32 *Eax, UINT32 *Ebx, UINT32 *Ecx, UINT32 *Edx) {
  UINT32 A;
  UINT32 B;
  UINT32 C;
  UINT32 D;
  PlatformCpuid(Index, &A, &B, &C, &D);
  if (Eax != nullptr) {
    *Eax = A;
  }
  if (Ebx != nullptr) {
    *Ebx = B;
  }
  if (Ecx != nullptr) {
    *Ecx = C;
  }
  if (Edx != nullptr) {
    *Edx = D;
  }
  return Index;
}
