// The print engine on a fuzzed format string and argument list, in ASCII and UCS-2 modes, into small
// buffers of exactly their size. The arguments come from a fixed set of slots: the format is read the way
// the format language reads it to learn which slot holds a number and which a pointer, and every pointer
// leads to a terminated buffer of fuzzed bytes (or is null). A format that would need more slots than
// there are is cut before the conversion that would overrun them.
//
// Every input runs the engine three times: counting only (no buffer), into a buffer just large enough
// for the whole text, and into the fuzzed small buffer; the kept text must be the start of the whole text.
//
// Input: mode bits, buffer size, format length, format bytes, four strings (length byte, bytes), then
// one 8-byte value for each argument slot.
#include <array>
#include <vector>

#include "Library/PrintLib.h"
#include "fuzz/support/FuzzSupport.h"

namespace {

using zarn::fuzz::Reader;

constexpr size_t kSlots = 24;
constexpr size_t kStrings = 4;
// Longer whole texts (huge widths) are only counted; this also keeps a UCS-2 buffer for the whole text
// below the configured maximum of 1000000 characters.
constexpr uint64_t kWholeTextLimit = 1 << 19;

enum class Slot : uint8_t { Number, Ascii, Ucs2, Guid, Time };

// A byte string with exactly one terminating zero character of `unit` bytes; UCS-2 strings are cut to
// whole characters first.
std::vector<uint8_t> terminated(std::span<const uint8_t> bytes, size_t unit) {
  std::vector<uint8_t> out(bytes.begin(), bytes.begin() + (bytes.size() / unit) * unit);
  out.resize(out.size() + unit, 0);
  return out;
}

// Reads the format the way the format language does and lists the slot each conversion takes. Returns
// the character index at which to cut the format when the slots would run out, else npos.
size_t planSlots(const std::vector<uint8_t> &format, size_t unit, std::vector<Slot> &slots) {
  auto at = [&](size_t i) -> uint32_t {
    return unit == 1 ? format[i] : static_cast<uint32_t>(format[2 * i] | (format[2 * i + 1] << 8));
  };
  for (size_t i = 0; at(i) != 0;) {
    if (at(i) != '%') {
      i++;
      continue;
    }
    const size_t start = i++;
    std::vector<Slot> item;
    uint32_t c;
    for (;; i++) {
      c = at(i);
      if (c == '*') {
        item.push_back(Slot::Number);
      } else if (!(c == '.' || c == '-' || c == '+' || c == ' ' || c == ',' || c == 'l' || c == 'L' ||
                   (c >= '0' && c <= '9'))) {
        break;
      }
    }
    // A format that ends inside an item has still taken the item's '*' arguments.
    switch (c) {
      case 'd': case 'u': case 'x': case 'X': case 'p': case 'c': case 'r': item.push_back(Slot::Number); break;
      case 'a': item.push_back(Slot::Ascii); break;
      case 's': case 'S': item.push_back(Slot::Ucs2); break;
      case 'g': item.push_back(Slot::Guid); break;
      case 't': item.push_back(Slot::Time); break;
      default: break;
    }
    if (slots.size() + item.size() > kSlots) return start;
    slots.insert(slots.end(), item.begin(), item.end());
    if (c == 0) break;
    i++;
  }
  return std::string::npos;
}

struct Call {
  UINTN mode;
  const char *format;
  const std::array<uint64_t, kSlots> &args;
  UINTN operator()(CHAR8 *buffer, UINTN size, UINTN extraMode = 0) const {
    const auto &a = args;
    return FormatWithMode(buffer, size, mode | extraMode, format, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7],
                          a[8], a[9], a[10], a[11], a[12], a[13], a[14], a[15], a[16], a[17], a[18], a[19], a[20],
                          a[21], a[22], a[23]);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Reader in(data, size);
  const uint8_t modeBits = in.u8();
  const uint8_t sizeByte = in.u8();
  const uint8_t formatLength = in.u8();
  const std::span<const uint8_t> formatBytes = in.bytes(formatLength);
  std::array<std::span<const uint8_t>, kStrings> strings;
  for (auto &s : strings) s = in.bytes(in.u8() % 64);

  const bool outputUcs2 = modeBits & 1, formatUcs2 = modeBits & 2;
  // Bits outside the three honoured ones are ignored by the engine; some inputs set a few.
  const UINTN mode = (outputUcs2 ? FMT_OUTPUT_UCS2 : 0) | (formatUcs2 ? FMT_FORMAT_UCS2 : 0) |
                     ((modeBits & 4) ? 0x1000u : 0) | ((modeBits & 8) ? 0x80000u : 0);
  const size_t outUnit = outputUcs2 ? 2 : 1, formatUnit = formatUcs2 ? 2 : 1;

  std::vector<uint8_t> format = terminated(formatBytes, formatUnit);
  std::vector<Slot> plan;
  const size_t cut = planSlots(format, formatUnit, plan);
  if (cut != std::string::npos) {
    format.resize(cut * formatUnit);
    format.resize(format.size() + formatUnit, 0);
  }

  // Argument buffers live until the end of the input, each exactly as long as its content.
  std::vector<std::vector<uint8_t>> pointees;
  std::array<uint64_t, kSlots> args{};
  for (size_t i = 0; i < kSlots; i++) {
    const uint64_t value = in.u64();
    if (i >= plan.size() || plan[i] == Slot::Number) {
      args[i] = value;
      continue;
    }
    if ((value & 7) == 0) {
      args[i] = 0;  // a null pointer: the engine prints its placeholder
      continue;
    }
    const auto &source = strings[value % kStrings];
    switch (plan[i]) {
      case Slot::Ascii: pointees.push_back(terminated(source, 1)); break;
      case Slot::Ucs2: pointees.push_back(terminated(source, 2)); break;
      default: {  // %g and %t read a 16-byte record
        std::vector<uint8_t> record(16, 0);
        std::memcpy(record.data(), source.data(), source.size() < 16 ? source.size() : 16);
        pointees.push_back(record);
        break;
      }
    }
    args[i] = reinterpret_cast<uintptr_t>(pointees.back().data());
  }

  zarn::fuzz::Boot boot(false);
  const Call call{mode, reinterpret_cast<const char *>(format.data()), args};

  // Counting only, no buffer.
  const UINTN whole = call(nullptr, 0, FMT_COUNT_ONLY);

  // Into a buffer that holds the whole text: the same count, and a terminator right after it.
  std::vector<uint8_t> full;
  if (whole < kWholeTextLimit) {
    full.assign((whole + 1) * outUnit, 0xA5);
    const UINTN written = call(reinterpret_cast<CHAR8 *>(full.data()), whole + 1);
    FUZZ_CHECK(written == whole);
    for (size_t b = 0; b < outUnit; b++) FUZZ_CHECK(full[whole * outUnit + b] == 0);
  }

  // Into the small buffer: the first size - 1 characters of the whole text, terminated.
  const UINTN small = sizeByte % 48;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[small * outUnit]);
  std::memset(buffer.get(), 0xA5, small * outUnit);
  const UINTN kept = call(reinterpret_cast<CHAR8 *>(buffer.get()), small);
  if (small == 0) {
    FUZZ_CHECK(kept == 0);
  } else {
    FUZZ_CHECK(kept == (whole < small - 1 ? whole : small - 1));
    for (size_t b = 0; b < outUnit; b++) FUZZ_CHECK(buffer[kept * outUnit + b] == 0);
    if (!full.empty()) FUZZ_CHECK(std::memcmp(buffer.get(), full.data(), kept * outUnit) == 0);
  }

  // Counting only with a buffer: the buffer is left alone.
  if (small != 0) {
    std::memset(buffer.get(), 0xA5, small * outUnit);
    call(reinterpret_cast<CHAR8 *>(buffer.get()), small, FMT_COUNT_ONLY);
    for (size_t b = 0; b < small * outUnit; b++) FUZZ_CHECK(buffer[b] == 0xA5);
  }

  // A missing format, or a missing buffer of a non-zero size, gives 0 and writes nothing.
  if (small != 0) {
    std::memset(buffer.get(), 0xA5, small * outUnit);
    FUZZ_CHECK(FormatWithMode(reinterpret_cast<CHAR8 *>(buffer.get()), small, mode, nullptr) == 0);
    FUZZ_CHECK(FormatWithMode(nullptr, small, mode, call.format) == 0);
    for (size_t b = 0; b < small * outUnit; b++) FUZZ_CHECK(buffer[b] == 0xA5);
  }

  // A UCS-2 buffer size above the configured maximum is refused before anything is written.
  if (outputUcs2 && (modeBits & 0x10) && small != 0) {
    FUZZ_CHECK(call(reinterpret_cast<CHAR8 *>(buffer.get()), 1000001) == 0);
    for (size_t b = 0; b < small * outUnit; b++) FUZZ_CHECK(buffer[b] == 0xA5);
  }
  return 0;
}
