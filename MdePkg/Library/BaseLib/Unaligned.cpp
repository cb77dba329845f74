// Reads and writes of values at addresses with no alignment guarantee.
// A null Buffer is reported and then not dereferenced: reads answer 0, the write stores nothing.
#include "Library/BaseLib.h"
#include "Library/DebugLib.h"

namespace {

// One access of the type's width at any byte address; may_alias keeps it legal on any object.
template <typename T>
struct __attribute__((packed, may_alias)) UnalignedCell {
  T Value;
};

template <typename T>
T ReadUnaligned(const VOID *Buffer) {
  return static_cast<const UnalignedCell<T> *>(Buffer)->Value;
}

}  // namespace

UINT16 UnalignedRead16(const VOID *Buffer) {
  ASSERT_TEXT(Buffer != nullptr, "Buffer != ((void *) 0)");
  if (Buffer == nullptr) {
    return 0;
  }
  return ReadUnaligned<UINT16>(Buffer);
}

UINT32 UnalignedRead32(const VOID *Buffer) {
  ASSERT_TEXT(Buffer != nullptr, "Buffer != ((void *) 0)");
  if (Buffer == nullptr) {
    return 0;
  }
  return ReadUnaligned<UINT32>(Buffer);
}

UINT64 UnalignedRead64(const VOID *Buffer) {
  ASSERT_TEXT(Buffer != nullptr, "Buffer != ((void *) 0)");
  if (Buffer == nullptr) {
    return 0;
  }
  return ReadUnaligned<UINT64>(Buffer);
}

UINT64 UnalignedWrite64(VOID *Buffer, UINT64 Value) {
  ASSERT_TEXT(Buffer != nullptr, "Buffer != ((void *) 0)");
  if (Buffer != nullptr) {
    static_cast<UnalignedCell<UINT64> *>(Buffer)->Value = Value;
  }
  return Value;
}
