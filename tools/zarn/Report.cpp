#include "tools/zarn/Report.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "Guid/MemInfoHob.h"
#include "Guid/MemoryConfigInfoData.h"
#include "Guid/QuilInfo.h"
#include "Guid/ZarnGuids.h"
#include "Pi/PiHob.h"
#include "tools/zarn/Names.h"

namespace zarn::tool {

namespace {

// ---- Reading HOB bytes -----------------------------------------------------------------------------

template <typename T>
T load(const std::vector<uint8_t> &bytes, size_t offset) {
  T v{};
  if (offset + sizeof v <= bytes.size()) std::memcpy(&v, bytes.data() + offset, sizeof v);
  return v;
}

std::string hexString(const uint8_t *p, size_t n) {
  std::string out;
  out.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) out += fmt::format("{:02x}", p[i]);
  return out;
}

bool isGuidHob(const HobResult &h) {
  return h.type == EFI_HOB_TYPE_GUID_EXTENSION && h.bytes.size() >= sizeof(EFI_HOB_GUID_TYPE);
}
EFI_GUID hobGuid(const HobResult &h) { return load<EFI_GUID>(h.bytes, offsetof(EFI_HOB_GUID_TYPE, Name)); }
// The GUID HOB's data area, as long as the HOB's own length says (never past the bytes created).
std::vector<uint8_t> hobData(const HobResult &h) {
  const size_t end = std::min<size_t>(std::max<size_t>(h.length, sizeof(EFI_HOB_GUID_TYPE)), h.bytes.size());
  return {h.bytes.begin() + sizeof(EFI_HOB_GUID_TYPE), h.bytes.begin() + end};
}
bool guidIs(const HobResult &h, const EFI_GUID &g) {
  const EFI_GUID name = hobGuid(h);
  return std::memcmp(&name, &g, sizeof g) == 0;
}

struct MemInfoView {
  uint32_t version;
  uint8_t value16Valid;
  uint16_t value16;
  uint8_t value8Valid, value8, value32Valid;
  uint32_t value32, value32B, numberOfDescriptor;
  std::vector<MemRange> descriptors;  // those the data holds
};

std::optional<MemInfoView> memInfoOf(const std::vector<uint8_t> &d) {
  if (d.size() < MEM_INFO_HOB_HEADER_SIZE) return std::nullopt;
  MemInfoView v{};
  v.version = load<uint32_t>(d, offsetof(MemInfoHob, Version));
  v.value16Valid = load<uint8_t>(d, offsetof(MemInfoHob, Value16Valid));
  v.value16 = load<uint16_t>(d, offsetof(MemInfoHob, Value16));
  v.value8Valid = load<uint8_t>(d, offsetof(MemInfoHob, Value8Valid));
  v.value8 = load<uint8_t>(d, offsetof(MemInfoHob, Value8));
  v.value32Valid = load<uint8_t>(d, offsetof(MemInfoHob, Value32Valid));
  v.value32 = load<uint32_t>(d, offsetof(MemInfoHob, Value32));
  v.value32B = load<uint32_t>(d, offsetof(MemInfoHob, Value32B));
  v.numberOfDescriptor = load<uint32_t>(d, offsetof(MemInfoHob, NumberOfDescriptor));
  for (size_t n = 0; n < v.numberOfDescriptor; ++n) {
    const size_t at = MEM_INFO_HOB_HEADER_SIZE + n * sizeof(MemRangeDescriptor);
    if (at + sizeof(MemRangeDescriptor) > d.size()) break;
    v.descriptors.push_back({load<uint64_t>(d, at + offsetof(MemRangeDescriptor, Base)),
                             load<uint64_t>(d, at + offsetof(MemRangeDescriptor, Size)),
                             load<uint32_t>(d, at + offsetof(MemRangeDescriptor, Attribute))});
  }
  return v;
}

// Layout of the memory configuration record: settings, array element kinds.
constexpr uint8_t kScalarOffset[23] = {8, 12, 16, 18, 20, 24, 28, 32, 36, 40, 44, 46,
                                       48, 50, 52, 56, 60, 64, 68, 72, 74, 76, 80};
constexpr bool kScalarFlagged[23] = {true, true, false, false, true, true, true, true, true, true, false, false,
                                     false, false, true, true, true, true, true, false, false, true, true};
enum class Elem { U8, U16, Flagged, Pair };
constexpr Elem kArrayElem[16] = {Elem::U16, Elem::Flagged, Elem::Flagged, Elem::Flagged, Elem::Pair,
                                 Elem::U8,  Elem::U8,      Elem::U8,      Elem::U8,      Elem::U8,
                                 Elem::U8,  Elem::U8,      Elem::U8,      Elem::U8,      Elem::U8,
                                 Elem::U8};
constexpr size_t elemSize(Elem e) { return e == Elem::U8 ? 1 : e == Elem::U16 ? 2 : 4; }

struct ConfigView {
  uint32_t version;
  std::array<uint8_t, 4> counts;
  std::array<uint16_t, 16> offsets;
  std::vector<uint8_t> data;
};

std::optional<ConfigView> configOf(const std::vector<uint8_t> &d) {
  if (d.size() < sizeof(MemoryConfigInfoData)) return std::nullopt;
  ConfigView v{};
  v.version = load<uint32_t>(d, 0);
  for (int n = 0; n < 4; ++n) v.counts[n] = d[4 + n];
  for (int n = 0; n < 16; ++n) v.offsets[n] = load<uint16_t>(d, 84 + 2 * n);
  v.data = d;
  return v;
}

Json scalarJson(const std::vector<uint8_t> &d, int n) {
  if (kScalarFlagged[n]) return {{"flag", d[kScalarOffset[n]]}, {"value", load<uint16_t>(d, kScalarOffset[n] + 2)}};
  return load<uint16_t>(d, kScalarOffset[n]);
}

std::string scalarText(const std::vector<uint8_t> &d, int n) {
  if (kScalarFlagged[n])
    return fmt::format("{}/0x{:04X}", d[kScalarOffset[n]], load<uint16_t>(d, kScalarOffset[n] + 2));
  return fmt::format("0x{:04X}", load<uint16_t>(d, kScalarOffset[n]));
}

// The bytes of array n: from its offset to the next array's (the last one to the record's end), inside
// the record only.
std::pair<size_t, size_t> arraySpan(const ConfigView &v, int n) {
  const size_t begin = std::min<size_t>(v.offsets[n], v.data.size());
  const size_t end = std::min<size_t>(n < 15 ? v.offsets[n + 1] : v.data.size(), v.data.size());
  return {begin, std::max(begin, end)};
}

Json arrayJson(const ConfigView &v, int n) {
  Json list = Json::array();
  const auto [begin, end] = arraySpan(v, n);
  const Elem kind = kArrayElem[n];
  for (size_t at = begin; at + elemSize(kind) <= end; at += elemSize(kind)) {
    switch (kind) {
      case Elem::U8: list.push_back(v.data[at]); break;
      case Elem::U16: list.push_back(load<uint16_t>(v.data, at)); break;
      case Elem::Flagged: list.push_back({{"flag", v.data[at]}, {"value", load<uint16_t>(v.data, at + 2)}}); break;
      case Elem::Pair:
        list.push_back({{"first", load<uint16_t>(v.data, at)}, {"second", load<uint16_t>(v.data, at + 2)}});
        break;
    }
  }
  return list;
}

std::string arrayText(const ConfigView &v, int n) {
  std::vector<std::string> parts;
  const auto [begin, end] = arraySpan(v, n);
  const Elem kind = kArrayElem[n];
  for (size_t at = begin; at + elemSize(kind) <= end; at += elemSize(kind)) {
    switch (kind) {
      case Elem::U8: parts.push_back(fmt::format("{:02X}", v.data[at])); break;
      case Elem::U16: parts.push_back(fmt::format("{:04X}", load<uint16_t>(v.data, at))); break;
      case Elem::Flagged: parts.push_back(fmt::format("{}/{:04X}", v.data[at], load<uint16_t>(v.data, at + 2))); break;
      case Elem::Pair:
        parts.push_back(fmt::format("{:04X}:{:04X}", load<uint16_t>(v.data, at), load<uint16_t>(v.data, at + 2)));
        break;
    }
  }
  return fmt::format("{}", fmt::join(parts, " "));
}

const char *elemName(Elem e) {
  switch (e) {
    case Elem::U8: return "UINT8";
    case Elem::U16: return "UINT16";
    case Elem::Flagged: return "FlaggedValue";
    case Elem::Pair: return "ValuePair";
  }
  return "";
}

const char *hobTypeName(uint16_t type) {
  switch (type) {
    case EFI_HOB_TYPE_HANDOFF: return "hand-off";
    case EFI_HOB_TYPE_MEMORY_ALLOCATION: return "memory allocation";
    case EFI_HOB_TYPE_GUID_EXTENSION: return "GUID extension";
    case EFI_HOB_TYPE_END_OF_HOB_LIST: return "end of HOB list";
    default: return "other";
  }
}

std::string hex64(uint64_t v) { return fmt::format("0x{:x}", v); }

Json guidNameJson(const EFI_GUID &g) {
  const auto name = guidName(g);
  return name ? Json(*name) : Json(nullptr);
}

std::string messageClassText(uint64_t c) { return fmt::format("0x{:016x}", c); }

// Text of a message or serial output for a terminal: CR LF and lone CR become line ends, other control
// bytes are shown as \xNN.
std::vector<std::string> displayLines(const std::string &text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else if (c == '\n') {
      lines.emplace_back();
    } else if (c == '\t') {
      lines.back() += "    ";
    } else if (c < 0x20 || c >= 0x7F) {
      lines.back() += fmt::format("\\x{:02X}", c);
    } else {
      lines.back() += static_cast<char>(c);
    }
  }
  if (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  return lines;
}

std::string outputText(const OutputValue &v) {
  switch (v.kind) {
    case OutKind::U8: return fmt::format("0x{:02X}", v.value);
    case OutKind::U16: return fmt::format("0x{:04X}", v.value);
    case OutKind::U32: return v.value > 9 ? fmt::format("0x{:08X} ({})", v.value, v.value) : fmt::format("0x{:08X}", v.value);
    case OutKind::U64: return fmt::format("0x{:016X}", v.value);
    case OutKind::Pointer:
      return v.physical ? fmt::format("-> 0x{:08X}", *v.physical) : fmt::format("0x{:016X} (not into memory)", v.value);
  }
  return "";
}

Json outputJson(const OutputValue &v) {
  switch (v.kind) {
    case OutKind::U8:
    case OutKind::U16:
    case OutKind::U32: return v.value;
    case OutKind::U64: return hex64(v.value);
    case OutKind::Pointer: return hex64(v.physical ? *v.physical : v.value);
  }
  return nullptr;
}

}  // namespace

std::string bytesAsText(const std::string &bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::vector<MemRange> memoryMapOf(const BootResult &r) {
  for (const HobResult &h : r.hobs)
    if (isGuidHob(h) && guidIs(h, gZarnMemoryInfoHobGuid))
      if (const auto v = memInfoOf(hobData(h))) return v->descriptors;
  return {};
}

// ---- JSON -----------------------------------------------------------------------------------------

Json jsonReport(const BootResult &r) {
  Json out;
  Json modules = Json::array();
  for (const ModuleResult &m : r.modules) {
    Json ctors = Json::array();
    for (const ConstructorResult &c : m.constructors) ctors.push_back({{"name", c.name}, {"status", statusName(c.status)}});
    modules.push_back({{"name", m.name}, {"constructors", ctors}, {"status", statusName(m.status)}});
  }
  out["modules"] = modules;

  Json messages = Json::array();
  for (const auto &m : r.messages)
    messages.push_back({{"module", m.module}, {"class", messageClassText(m.messageClass)}, {"text", bytesAsText(m.text)}});
  out["messages"] = messages;

  out["serial"] = {{"com1", bytesAsText(r.com1.transmitted)}, {"com2", bytesAsText(r.com2.transmitted)}};
  auto uart = [](const UartResult &u) {
    return Json{{"present", u.present}, {"lineSettings", u.lineSettings}, {"lineControl", u.lineControl},
                {"divisor", u.divisor}, {"baud", u.baud}};
  };
  out["uarts"] = {{"com1", uart(r.com1)}, {"com2", uart(r.com2)}};

  Json hobs = Json::array();
  for (const HobResult &h : r.hobs) {
    Json j{{"type", h.type}, {"length", h.length}};
    if (isGuidHob(h)) {
      const EFI_GUID g = hobGuid(h);
      const std::vector<uint8_t> data = hobData(h);
      j["guid"] = guidText(g);
      j["name"] = guidNameJson(g);
      j["data"] = hexString(data.data(), data.size());
      if (guidIs(h, gZarnMemoryInfoHobGuid)) {
        if (const auto v = memInfoOf(data)) {
          Json desc = Json::array();
          for (const MemRange &d : v->descriptors)
            desc.push_back({{"base", hex64(d.base)}, {"size", hex64(d.size)}, {"attribute", d.attribute}});
          j["decoded"] = {{"version", v->version},         {"value16Valid", v->value16Valid},
                          {"value16", v->value16},         {"value8Valid", v->value8Valid},
                          {"value8", v->value8},           {"value32Valid", v->value32Valid},
                          {"value32", v->value32},         {"value32B", v->value32B},
                          {"numberOfDescriptor", v->numberOfDescriptor}, {"descriptors", desc}};
        }
      } else if (guidIs(h, gMemoryConfigInfoDataHobGuid)) {
        if (const auto v = configOf(data)) {
          Json scalars = Json::array(), arrays = Json::array();
          for (int n = 0; n < 23; ++n) scalars.push_back(scalarJson(data, n));
          for (int n = 0; n < 16; ++n) arrays.push_back(arrayJson(*v, n));
          j["decoded"] = {{"version", v->version}, {"counts", v->counts}, {"scalars", scalars},
                          {"arrayOffsets", v->offsets}, {"arrays", arrays}};
        }
      } else if (guidIs(h, gZarnQuilInfoHobGuid) && data.size() >= sizeof(QuilInfo)) {
        j["decoded"] = {{"supported", data[0]},
                        {"quilSize", load<uint32_t>(data, offsetof(QuilInfo, QuilSize))},
                        {"quilAddr", hex64(load<uint64_t>(data, offsetof(QuilInfo, QuilAddr)))}};
      }
    } else if (h.type == EFI_HOB_TYPE_MEMORY_ALLOCATION && h.bytes.size() >= sizeof(EFI_HOB_MEMORY_ALLOCATION)) {
      const EFI_GUID name = load<EFI_GUID>(h.bytes, offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.Name));
      j["guid"] = guidText(name);
      j["name"] = guidNameJson(name);
      j["memoryBaseAddress"] =
          hex64(load<uint64_t>(h.bytes, offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryBaseAddress)));
      j["memoryLength"] = hex64(load<uint64_t>(h.bytes, offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryLength)));
      j["memoryType"] = load<uint32_t>(h.bytes, offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryType));
    } else if (h.type != EFI_HOB_TYPE_END_OF_HOB_LIST) {
      const size_t header = sizeof(EFI_HOB_GENERIC_HEADER);
      const size_t end = std::min<size_t>(std::max<size_t>(h.length, header), h.bytes.size());
      j["data"] = end > header ? hexString(h.bytes.data() + header, end - header) : "";
    }
    j["creator"] = h.creator;
    hobs.push_back(j);
  }
  out["hobs"] = hobs;

  Json ppis = Json::array();
  for (const PpiResult &p : r.ppis)
    ppis.push_back({{"guid", guidText(p.guid)}, {"name", guidNameJson(p.guid)}, {"installer", p.installer}});
  out["ppis"] = ppis;

  Json accessors = Json::array();
  for (const AccessorResult &a : r.accessors) {
    Json outputs = Json::array();
    for (const OutputValue &v : a.outputs) outputs.push_back(outputJson(v));
    accessors.push_back({{"slot", a.slot},
                         {"name", kAccessorSlots[a.slot].name},
                         {"args", a.args},
                         {"status", statusName(a.status)},
                         {"outputs", outputs}});
  }
  out["accessors"] = accessors;
  out["accessorPpiFound"] = r.accessorPpiFound;
  out["breakpoints"] = r.breakpoints;
  Json markers = Json::array();
  for (uint32_t m : r.markers) markers.push_back(fmt::format("0x{:08x}", m));
  out["markers"] = markers;
  Json calls = Json::array();
  for (const ServiceSummary &c : r.serviceCalls)
    calls.push_back({{"module", c.module}, {"service", c.service}, {"calls", c.calls}, {"failed", c.failed}});
  out["serviceCalls"] = calls;
  return out;
}

// ---- Text -----------------------------------------------------------------------------------------

namespace {

void heading(std::string &out, const std::string &title) {
  out += fmt::format("\n{}\n{}\n", title, std::string(title.size(), '-'));
}

std::string statusText(EFI_STATUS s) { return statusName(s); }

std::string guidLabel(const EFI_GUID &g) {
  const auto name = guidName(g);
  return name ? fmt::format("{} ({})", *name, guidText(g)) : guidText(g);
}

void memoryMapTable(std::string &out, const std::vector<MemRange> &ranges, uint32_t count) {
  out += fmt::format("      {:>2}  {:<18}  {:<18}  {:>10}  {}\n", "#", "Base", "End", "Size", "Attribute");
  for (size_t n = 0; n < ranges.size(); ++n) {
    const MemRange &d = ranges[n];
    const std::string end = d.size == 0 ? "(empty)" : fmt::format("0x{:016X}", d.base + d.size - 1);
    out += fmt::format("      {:>2}  0x{:016X}  {:<18}  {:>10}  {} {}\n", n, d.base, end, humanSize(d.size), d.attribute,
                       attributeName(d.attribute));
  }
  if (ranges.size() < count)
    out += fmt::format("      (the record counts {} descriptors but holds only {})\n", count, ranges.size());
}

void hobText(std::string &out, const HobResult &h, size_t index) {
  out += fmt::format("  [{}] +0x{:04X}  {:<18} type 0x{:04X}, {} bytes, by {}\n", index, h.offset, hobTypeName(h.type),
                     h.type, h.length, h.creator);
  if (isGuidHob(h)) {
    const EFI_GUID g = hobGuid(h);
    const std::vector<uint8_t> data = hobData(h);
    out += fmt::format("      {}\n", guidLabel(g));
    if (guidIs(h, gZarnMemoryInfoHobGuid)) {
      if (const auto v = memInfoOf(data)) {
        out += fmt::format("      Memory map: version 0x{:X}; Value16 {} (valid {}), Value8 {} (valid {}), "
                           "Value32 0x{:X} (valid {}), Value32B 0x{:X}; {} descriptors, {} bytes\n",
                           v->version, v->value16, v->value16Valid, v->value8, v->value8Valid, v->value32,
                           v->value32Valid, v->value32B, v->numberOfDescriptor, data.size());
        memoryMapTable(out, v->descriptors, v->numberOfDescriptor);
        return;
      }
    } else if (guidIs(h, gMemoryConfigInfoDataHobGuid)) {
      if (const auto v = configOf(data)) {
        out += fmt::format("      Memory configuration: version 0x{:X}; counts {} x {} x {} x {}; {} bytes\n", v->version,
                           v->counts[0], v->counts[1], v->counts[2], v->counts[3], data.size());
        out += "      Settings (flag/value for FlaggedValue):\n";
        for (int row = 0; row < 23; row += 6) {
          std::string line = "       ";
          for (int n = row; n < std::min(row + 6, 23); ++n) line += fmt::format(" {:>2}:{:<10}", n, scalarText(data, n));
          out += line + "\n";
        }
        out += fmt::format("      {:>5}  {:>6}  {:>5}  {:<12}  {}\n", "Array", "Offset", "Bytes", "Element", "Contents");
        for (int n = 0; n < 16; ++n) {
          const auto [begin, end] = arraySpan(*v, n);
          out += fmt::format("      {:>5}  {:>6}  {:>5}  {:<12}  {}\n", n, v->offsets[n], end - begin,
                             elemName(kArrayElem[n]), arrayText(*v, n));
        }
        return;
      }
    } else if (guidIs(h, gZarnQuilInfoHobGuid) && data.size() >= sizeof(QuilInfo)) {
      out += fmt::format("      QuilInfo: Supported {}, QuilSize 0x{:X} ({}), QuilAddr 0x{:X}\n", data[0],
                         load<uint32_t>(data, offsetof(QuilInfo, QuilSize)),
                         humanSize(load<uint32_t>(data, offsetof(QuilInfo, QuilSize))),
                         load<uint64_t>(data, offsetof(QuilInfo, QuilAddr)));
      return;
    }
    out += fmt::format("      data ({} bytes): {}\n", data.size(), data.empty() ? "-" : hexString(data.data(), data.size()));
  } else if (h.type == EFI_HOB_TYPE_MEMORY_ALLOCATION && h.bytes.size() >= sizeof(EFI_HOB_MEMORY_ALLOCATION)) {
    const uint64_t base = load<uint64_t>(h.bytes, offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryBaseAddress));
    const uint64_t length = load<uint64_t>(h.bytes, offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryLength));
    const uint32_t type = load<uint32_t>(h.bytes, offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.MemoryType));
    const EFI_GUID name = load<EFI_GUID>(h.bytes, offsetof(EFI_HOB_MEMORY_ALLOCATION, AllocDescriptor.Name));
    out += fmt::format("      base 0x{:X}, length 0x{:X} ({}), memory type {}{}, name {}\n", base, length,
                       humanSize(length), type, type == EfiACPIMemoryNVS ? " (EfiACPIMemoryNVS)" : "", guidText(name));
  } else if (h.type != EFI_HOB_TYPE_END_OF_HOB_LIST) {
    const size_t header = sizeof(EFI_HOB_GENERIC_HEADER);
    const size_t end = std::min<size_t>(std::max<size_t>(h.length, header), h.bytes.size());
    for (size_t at = header; at < end; at += 32)
      out += fmt::format("      +{:02X}: {}\n", at, hexString(h.bytes.data() + at, std::min<size_t>(32, end - at)));
  }
}

std::string callText(const AccessorResult &a) {
  const AccessorSlot &slot = kAccessorSlots[a.slot];
  std::vector<std::string> args;
  for (size_t k = 0; k < a.args.size(); ++k) args.push_back(fmt::format("{}={}", slot.inputNames[k], a.args[k]));
  return fmt::format("{}({})", slot.name, fmt::join(args, ", "));
}

}  // namespace

std::string textReport(const BootResult &r, const Scenario &s, const std::string &source) {
  std::string out;
  out += fmt::format("zarn boot: {}\n", source);
  out += fmt::format("  processor line {} (CPUID 0x80000001 EAX 0x{:08X}); {} flash {}; output block {} at 0x{:X}\n",
                     s.cpuLine, s.cpuSignature, humanSize(s.flashImage.size()),
                     s.flashDesc ? std::string("built from its description") : "image " + s.flashSource,
                     s.outputBlock.present ? fmt::format("of {} bytes", s.outputBlock.bytes.size()) : "absent (DRAM empty)",
                     s.outputBlock.address);
  out += fmt::format("  debug-print PPI {}, memory-information PPI {}\n", s.debugPrintPpi ? "installed" : "absent",
                     s.memoryInfo.present ? "installed" : "absent");
  for (const host::Fault &f : s.faults)
    out += fmt::format("  fault: {} answers {} {}after {} call{}\n", host::serviceName(f.service), statusName(f.status),
                       f.count == host::Fault::kAll ? std::string("always ") : fmt::format("{} time{} ", f.count, f.count == 1 ? "" : "s"),
                       f.after, f.after == 1 ? "" : "s");

  heading(out, "Modules");
  for (const ModuleResult &m : r.modules) {
    out += fmt::format("  {}\n", m.name);
    for (const ConstructorResult &c : m.constructors)
      out += fmt::format("    constructor {:<30} {}\n", c.name, statusText(c.status));
    out += fmt::format("    entry       {:<30} {}\n", "", statusText(m.status));
  }

  heading(out, fmt::format("Module messages ({})", r.messages.size()));
  if (!s.debugPrintPpi) out += "  (no debug-print PPI: the modules' messages were dropped)\n";
  size_t accessorIndex = 0;
  std::string group;
  for (size_t n = 0; n < r.messages.size(); ++n) {
    while (accessorIndex < r.accessors.size() && r.accessors[accessorIndex].endMessage <= n) ++accessorIndex;
    std::string now = r.messages[n].module;
    if (accessorIndex < r.accessors.size() && n >= r.accessors[accessorIndex].firstMessage)
      now = fmt::format("accessor call {}: slot {} {}", accessorIndex, r.accessors[accessorIndex].slot,
                        kAccessorSlots[r.accessors[accessorIndex].slot].name);
    if (now != group) {
      group = now;
      out += fmt::format("  [{}]  class 0x{:016X}\n", group, r.messages[n].messageClass);
    }
    for (const std::string &line : displayLines(r.messages[n].text)) out += fmt::format("    {}\n", line);
  }

  heading(out, "Serial ports");
  const struct {
    const char *name;
    const UartResult &u;
  } ports[] = {{"COM1 0x3F8", r.com1}, {"COM2 0x2F8", r.com2}};
  for (const auto &p : ports) {
    if (!p.u.present) {
      out += fmt::format("  {}: absent\n", p.name);
      continue;
    }
    out += fmt::format("  {}: {} at {} baud (LCR 0x{:02X}, divisor {}), {} bytes sent\n", p.name, p.u.lineSettings,
                       p.u.baud, p.u.lineControl, p.u.divisor, p.u.transmitted.size());
    if (!p.u.transmitted.empty())
      for (const std::string &line : displayLines(p.u.transmitted)) out += fmt::format("    | {}\n", line);
  }

  heading(out, fmt::format("HOB list ({} HOBs)", r.hobs.size()));
  for (size_t n = 0; n < r.hobs.size(); ++n) hobText(out, r.hobs[n], n);

  heading(out, fmt::format("PPIs ({})", r.ppis.size()));
  for (const PpiResult &p : r.ppis) out += fmt::format("  {:<32} {}  by {}\n", guidName(p.guid).value_or("(unknown)"),
                                                       guidText(p.guid), p.installer);

  heading(out, fmt::format("Accessor calls ({})", r.accessors.size()));
  if (!r.accessorPpiFound) out += "  the accessor PPI is not installed: no call made\n";
  for (size_t n = 0; n < r.accessors.size(); ++n) {
    const AccessorResult &a = r.accessors[n];
    const AccessorSlot &slot = kAccessorSlots[a.slot];
    std::vector<std::string> outs;
    for (size_t k = 0; k < a.outputs.size(); ++k)
      outs.push_back(fmt::format("{} {}", slot.outNames[k], outputText(a.outputs[k])));
    out += fmt::format("  {:>2}  slot {:>2}  {:<58} {:<22} {}\n", n, a.slot, callText(a), statusText(a.status),
                       fmt::join(outs, ", "));
  }
  out += "  (out-parameters hold 0xA5 bytes before each call; pointers are shown as the physical address they reach)\n";

  heading(out, "Processor and port 0xE8");
  out += fmt::format("  breakpoints (INT3) executed: {}\n", r.breakpoints);
  if (r.markers.empty()) {
    out += "  markers written to port 0xE8: none\n";
  } else {
    std::vector<std::string> m;
    for (uint32_t v : r.markers) m.push_back(fmt::format("0x{:08X}", v));
    out += fmt::format("  markers written to port 0xE8: {}\n", fmt::join(m, ", "));
  }

  heading(out, "Service calls through the table");
  for (const ServiceSummary &c : r.serviceCalls)
    out += fmt::format("  {:<10} {:<11} {:>4} call{}{}\n", c.module, c.service, c.calls, c.calls == 1 ? " " : "s",
                       c.failed ? fmt::format(", {} not EFI_SUCCESS", c.failed) : "");
  return out;
}

}  // namespace zarn::tool
