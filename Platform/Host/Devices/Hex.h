// Text helpers for device error messages.
#pragma once

#include <cstdint>
#include <string>

namespace zarn::host::detail {

inline std::string hex(uint64_t v) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  do {
    s.insert(s.begin(), digits[v & 0xF]);
    v >>= 4;
  } while (v);
  return "0x" + s;
}

}  // namespace zarn::host::detail
