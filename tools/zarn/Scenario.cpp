#include "tools/zarn/Scenario.h"

#include <fmt/format.h>

#include <cstring>
#include <filesystem>

#include "Library/ZarnKovProcessorLines.h"
#include "Platform/Host/PhysicalMemory.h"
#include "tools/zarn/Accessors.h"

namespace zarn::tool {

namespace {

// A signature that none of the five lines nor the excluded line has: the "unsupported" processor.
constexpr uint32_t kUnsupportedSignature = 0x00100F00u;

std::string hexBytes(const builders::Bytes &bytes) {
  std::string out;
  for (uint8_t b : bytes) out += fmt::format("{:02x}", b);
  return out;
}

std::string h(uint64_t v, int digits = 0) { return fmt::format("0x{:0{}X}", v, digits); }

// Which of the sixteen arrays have one element per unit (the others: per item), and which of the 23
// settings are FlaggedValues (the others: UINT16).
constexpr bool kArrayPerUnit[16] = {true, false, true, true, true, false, false, false,
                                    false, false, false, false, false, false, false, false};
constexpr bool kScalarFlagged[23] = {true, true, false, false, true, true, true, true, true, true, false, false,
                                     false, false, true, true, true, true, true, false, false, true, true};

// ---- The built-in default -------------------------------------------------------------------------

Json defaultMemoryInfo() {
  Json m;
  m["present"] = true;
  m["topOfMemory"] = "0x480000000";
  // Legacy video/option ROM range, the security coprocessor's reserved block, the MMIO hole below 4 GiB.
  m["holes"] = Json::array({
      {{"base", "0xA0000"}, {"size", "0x60000"}, {"type", 0}},
      {{"base", "0x7F000000"}, {"size", "0x1000000"}, {"type", 1}},
      {{"base", "0x80000000"}, {"size", "0x80000000"}, {"type", 2}},
  });
  m["getHoleMapStatus"] = "EFI_SUCCESS";
  m["holeMapNull"] = false;
  m["value16"] = 3200;
  m["value8Valid"] = 1;
  m["value8"] = 2;
  m["value32"] = "0x00004000";
  m["value32B"] = "0x00000040";
  m["counts"] = Json::array({2, 2, 2, 1});
  // Settings: UINT16 ones as numbers, FlaggedValue ones as { flag, value }.
  Json scalars = Json::array();
  for (int n = 0; n < 23; ++n) {
    if (kScalarFlagged[n])
      scalars.push_back({{"flag", 1}, {"value", h(0x100 * (n + 1) + n, 4)}});
    else
      scalars.push_back(h(0x1000 + n, 4));
  }
  m["scalars"] = scalars;
  // Sixteen arrays with values that show their array and element: units (i, j), items (i, j, k).
  Json arrays = Json::array();
  const int units = 4, items = 8;
  for (int a = 0; a < 16; ++a) {
    Json list = Json::array();
    for (int e = 0; e < (kArrayPerUnit[a] ? units : items); ++e) {
      if (a == 0) list.push_back(h(0x0A00 + e, 4));
      else if (a == 1 || a == 2 || a == 3) list.push_back({{"flag", 1}, {"value", h(0x1000 * a + e, 4)}});
      else if (a == 4) list.push_back({{"first", h(0x4100 + e, 4)}, {"second", h(0x4200 + e, 4)}});
      else list.push_back(h(0x10 * a + e, 2));
    }
    arrays.push_back(list);
  }
  m["arrays"] = arrays;
  return m;
}

Json entry(uint32_t group, uint32_t type, uint32_t size, Json fields) {
  return {{"group", group}, {"type", type}, {"instance", 0}, {"size", h(size)}, {"fields", std::move(fields)}};
}

Json defaultOutputBlock() {
  Json b;
  b["present"] = true;
  b["address"] = "0x7F000000";
  b["signature"] = "QUIL";
  b["version"] = 5;
  Json entries = Json::array();
  entries.push_back(entry(1, 16, 0x1B8, {{"0x30", "02"}, {"0x1B4", "01"}, {"0x1B5", "00"}}));
  Json g1t2 = {{"0x34", "2001"}, {"0x36", "0a00"}, {"0x38", "1122334455667788"}};
  for (int k = 0; k < 11; ++k) g1t2[h(0x154 + 8 * k)] = fmt::format("{:02x}00000000000000", 0xA0 + k);
  g1t2["0x1AC"] = "00100000";
  g1t2["0x1B0"] = "00000400";
  g1t2["0x1B4"] = "01010000";
  entries.push_back(entry(1, 2, 0x1B8, g1t2));
  builders::Bytes buffer(256);
  for (int i = 0; i < 256; ++i) buffer[i] = static_cast<uint8_t>(i);
  entries.push_back(entry(1, 15, 0x140, {{"0x30", hexBytes(buffer)}, {"0x130", "5a"}}));
  entries.push_back(entry(1, 17, 0x34 + 532 * 17,
                          {{"0x30", "11"}, {"0x31", "22"}, {"0x34", "5245433030"}, {h(0x34 + 532 * 16), "5245433136"}}));
  entries.push_back(entry(3, 2, 0x64,
                          {{"0x30", "78563412"},
                           {"0x34", "000102030405060708090a0b"},
                           {"0x40", "101112131415161718191a1b"},
                           {"0x4C", "202122232425262728292a2b"},
                           {"0x58", "303132333435363738393a3b"}}));
  // Nested table: two level-1 records, each a byte and two level-2 records of a byte and four
  // level-3 records (a byte and two data bytes).
  builders::Bytes nested;
  for (int i = 0; i < 2; ++i) {
    nested.push_back(static_cast<uint8_t>(0x10 + i));
    for (int j = 0; j < 2; ++j) {
      nested.push_back(static_cast<uint8_t>(0x20 + 2 * i + j));
      for (int k = 0; k < 4; ++k) {
        const int l3 = (2 * i + j) * 4 + k;
        nested.push_back(static_cast<uint8_t>(0x40 + l3));
        nested.push_back(static_cast<uint8_t>(0x80 + 2 * l3));
        nested.push_back(static_cast<uint8_t>(0x81 + 2 * l3));
      }
    }
  }
  entries.push_back(entry(3, 3, 0x68, {{"0x30", hexBytes(nested)}}));
  entries.push_back(entry(7, 3, 0x68, {{"0x66", "c800"}}));
  b["entries"] = entries;
  return b;
}

Json biosEntry(uint32_t type, Json size, Json location, Json destination) {
  return {{"type", h(type, 2)}, {"instance", 0}, {"size", std::move(size)}, {"location", std::move(location)},
          {"destination", std::move(destination)}};
}

Json defaultFlash() {
  Json f;
  f["size"] = "0x1000000";
  f["pointerForm"] = "offset";
  f["tables"] = Json::array({{{"probe", 6}, {"kovDir", "0x30000"}, {"biosDirs", {"0x40000", "0x41000", "0x42000"}}}});
  f["comboDirs"] = Json::array({{{"offset", "0x30000"},
                                 {"entries",
                                  {{{"comboId", "A"}, {"kovDir", "0x31000"}},
                                   {{"comboId", "B"}, {"kovDir", "0x32000"}},
                                   {{"comboId", "C"}, {"kovDir", "0x32000"}},
                                   {{"comboId", "D"}, {"kovDir", "0x33000"}},
                                   {{"comboId", "E"}, {"kovDir", "0x33000"}}}}}});
  f["kovDirs"] = Json::array({{{"offset", "0x31000"}, {"entries", 8}},
                              {{"offset", "0x32000"}, {"entries", 8}},
                              {{"offset", "0x33000"}, {"entries", 8}}});
  Json bios = Json::array();
  const char *level1[3] = {"0x40000", "0x41000", "0x42000"};
  for (int n = 0; n < 3; ++n) {
    bios.push_back({{"offset", level1[n]},
                    {"entries",
                     {biosEntry(0x60, "0x2000", h(0x60000 + 0x2000 * n), "0x0"),
                      biosEntry(0x62, "0x400000", "0xC00000", "0x76C00000"),
                      biosEntry(0x70, "0x400", "0x50000", "0x0")}}});
  }
  bios.push_back({{"offset", "0x50000"},
                  {"level2", true},
                  {"entries",
                   {biosEntry(0x61, "outputBlock", "0x0", "outputBlock"),
                    biosEntry(0x63, "outputBlock", "0x100000", "0x0"),
                    biosEntry(0x62, "0x400000", "0xC00000", "0x76C00000")}}});
  f["biosDirs"] = bios;
  f["payloads"] = Json::array({{{"offset", "0x100000"}, {"outputBlock", true}}});
  f["patches"] = Json::array();
  return f;
}

Json buildDefault() {
  Json s;
  s["cpu"] = {{"line", "A"}, {"apicIdBits", 0}, {"mm0", "0x0"}};
  s["cmos"] = {{"0x0E", "0x00"}, {"0x6F", "0x00"}, {"0x7A", "0x42"}, {"0x7B", "0x00"}, {"0x7C", "0x00"}, {"0x7D", "0x80"}};
  s["uarts"] = {{"com1", {{"present", true}}}, {"com2", {{"present", true}}}};
  s["superIo"] = {{"uartAActivate", 0}, {"uartBActivate", 0}};
  s["debugPrintPpi"] = true;
  s["peiServices"] = {{"revision", "0x00010046"}, {"faults", Json::array()}};
  s["memoryInfo"] = defaultMemoryInfo();
  s["outputBlock"] = defaultOutputBlock();
  s["flash"] = defaultFlash();
  Json calls = Json::array();
  for (unsigned slot = 0; slot < kAccessorSlots.size(); ++slot)
    calls.push_back({{"slot", slot}, {"args", std::vector<uint32_t>(kAccessorSlots[slot].inputs, 0)}});
  s["accessorCalls"] = calls;
  return s;
}

// ---- Validation -----------------------------------------------------------------------------------

// An object key that holds a number: "0x6F" or "111".
uint64_t readKey(const std::string &key, const std::string &path, uint64_t max) {
  if (!key.empty() && key.size() <= 19 && key.find_first_not_of("0123456789") == std::string::npos) {
    const uint64_t v = std::stoull(key);
    if (v > max) fail(path, fmt::format("{} is out of range 0..0x{:X}", key, max));
    return v;
  }
  return readNumber(Json(key), path, max);
}

std::string at(const std::string &path, size_t index) { return fmt::format("{}[{}]", path, index); }

uint32_t readSignature(const Json &v, const std::string &path) {
  if (v.is_string()) {
    const std::string text = v.get<std::string>();
    if (text.size() == 4 && text.rfind("0x", 0) != 0 && text.rfind("0X", 0) != 0)
      return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 | uint32_t(uint8_t(text[2])) << 16 |
             uint32_t(uint8_t(text[3])) << 24;
  }
  if (!v.is_number() && !v.is_string())
    fail(path, fmt::format("expected four ASCII characters or a number, got {}", describe(v)));
  return static_cast<uint32_t>(readNumber(v, path, 0xFFFFFFFFu));
}

const Json &requireArray(const Json &v, const std::string &path) {
  if (!v.is_array()) fail(path, fmt::format("expected a list, got {}", describe(v)));
  return v;
}

uint32_t lineSignature(const std::string &line, const std::string &path) {
  if (line == "A") return ProcessorLineA;
  if (line == "B") return ProcessorLineB;
  if (line == "C") return ProcessorLineC;
  if (line == "D") return ProcessorLineD;
  if (line == "E") return ProcessorLineE;
  if (line == "excluded") return ProcessorLineExcluded;
  if (line == "unsupported") return kUnsupportedSignature;
  fail(path, fmt::format("\"{}\" is not a processor line; use \"A\"..\"E\", \"excluded\" or \"unsupported\"", line));
}

void readUart(const Json &v, const std::string &path, UartSetup &out) {
  ObjectReader r(v, path, {"present", "lineControl", "divisor", "fifoControl", "heldBusy"});
  out.present = r.boolean("present");
  if (r.has("lineControl")) out.lineControl = static_cast<uint8_t>(r.number("lineControl", 0xFF));
  if (r.has("divisor")) out.divisor = static_cast<uint16_t>(r.number("divisor", 0xFFFF));
  if (r.has("fifoControl")) out.fifoControl = static_cast<uint8_t>(r.number("fifoControl", 0xFF));
  if (r.has("heldBusy")) out.heldBusy = r.boolean("heldBusy");
  r.finish();
}

host::Service serviceFromName(const std::string &name, const std::string &path) {
  if (name == "InstallPpi") return host::Service::InstallPpi;
  if (name == "LocatePpi") return host::Service::LocatePpi;
  if (name == "GetHobList") return host::Service::GetHobList;
  if (name == "CreateHob") return host::Service::CreateHob;
  fail(path, fmt::format("\"{}\" is not a service; use \"InstallPpi\", \"LocatePpi\", \"GetHobList\" or \"CreateHob\"",
                         name));
}


FlaggedValue readFlagged(const Json &v, const std::string &path) {
  ObjectReader r(v, path, {"flag", "value"});
  FlaggedValue f{};
  f.Flag = static_cast<uint8_t>(r.number("flag", 0xFF));
  f.Value = static_cast<uint16_t>(r.number("value", 0xFFFF));
  r.finish();
  return f;
}

ValuePair readPair(const Json &v, const std::string &path) {
  ObjectReader r(v, path, {"first", "second"});
  ValuePair p{};
  p.First = static_cast<uint16_t>(r.number("first", 0xFFFF));
  p.Second = static_cast<uint16_t>(r.number("second", 0xFFFF));
  r.finish();
  return p;
}

// The settings block seen as 23 fields: a UINT16 or a FlaggedValue each, at its record offset.
void storeScalar(MemoryConfigScalars &scalars, size_t n, const Json &v, const std::string &path) {
  static constexpr uint8_t kOffset[23] = {8,  12, 16, 18, 20, 24, 28, 32, 36, 40, 44, 46,
                                          48, 50, 52, 56, 60, 64, 68, 72, 74, 76, 80};
  auto *bytes = reinterpret_cast<uint8_t *>(&scalars) + (kOffset[n] - 8);
  if (kScalarFlagged[n]) {
    const FlaggedValue f = readFlagged(v, path);
    std::memcpy(bytes, &f, sizeof f);
  } else {
    const auto x = static_cast<uint16_t>(readNumber(v, path, 0xFFFF));
    std::memcpy(bytes, &x, sizeof x);
  }
}

MemoryInfoSpec readMemoryInfo(const Json &v, const std::string &path) {
  ObjectReader r(v, path, {"present", "topOfMemory", "holes", "getHoleMapStatus", "holeMapNull", "value16",
                               "value8Valid", "value8", "value32", "value32B", "counts", "scalars", "arrays"});
  MemoryInfoSpec m;
  host::MemoryInitConfig &c = m.config;
  m.present = r.boolean("present");
  c.topOfMemory = r.number("topOfMemory", UINT64_MAX);
  const Json &holes = r.array("holes");
  for (size_t n = 0; n < holes.size(); ++n) {
    ObjectReader hr(holes[n], at(r.pathOf("holes"), n), {"base", "size", "type"});
    host::HoleSpec hole;
    hole.base = hr.number("base", UINT64_MAX);
    hole.size = hr.number("size", UINT64_MAX);
    hole.type = static_cast<uint32_t>(hr.number("type", 0xFFFFFFFFu));
    hr.finish();
    c.holes.push_back(hole);
  }
  c.holeMapStatus = r.status("getHoleMapStatus");
  c.nullHoleMap = r.boolean("holeMapNull");
  c.value16 = static_cast<uint16_t>(r.number("value16", 0xFFFF));
  c.value8Valid = static_cast<uint8_t>(r.number("value8Valid", 0xFF));
  c.value8 = static_cast<uint8_t>(r.number("value8", 0xFF));
  c.value32 = static_cast<uint32_t>(r.number("value32", 0xFFFFFFFFu));
  c.value32B = static_cast<uint32_t>(r.number("value32B", 0xFFFFFFFFu));

  const Json &counts = r.array("counts");
  if (counts.size() != 4) fail(r.pathOf("counts"), fmt::format("expected four counts, got {}", counts.size()));
  for (size_t n = 0; n < 4; ++n)
    c.counts[n] = static_cast<uint8_t>(readNumber(counts[n], at(r.pathOf("counts"), n), 0xFF));

  const Json &scalars = r.array("scalars");
  if (scalars.size() != 23) fail(r.pathOf("scalars"), fmt::format("expected 23 settings, got {}", scalars.size()));
  for (size_t n = 0; n < 23; ++n) storeScalar(c.scalars, n, scalars[n], at(r.pathOf("scalars"), n));

  const Json &arrays = r.array("arrays");
  if (arrays.size() != 16) fail(r.pathOf("arrays"), fmt::format("expected sixteen arrays, got {}", arrays.size()));
  const size_t units = size_t(c.counts[0]) * c.counts[1];
  const size_t items = units * c.counts[2];
  for (size_t a = 0; a < 16; ++a) {
    const std::string apath = at(r.pathOf("arrays"), a);
    const Json &list = requireArray(arrays[a], apath);
    const size_t want = kArrayPerUnit[a] ? units : items;
    if (list.size() != want)
      fail(apath, fmt::format("{} elements, but the counts {}x{}{} give {}", list.size(), c.counts[0], c.counts[1],
                              kArrayPerUnit[a] ? "" : fmt::format("x{}", c.counts[2]), want));
    for (size_t e = 0; e < list.size(); ++e) {
      const std::string epath = at(apath, e);
      switch (a) {
        case 0: c.arrays.array0.push_back(static_cast<uint16_t>(readNumber(list[e], epath, 0xFFFF))); break;
        case 1: c.arrays.array1.push_back(readFlagged(list[e], epath)); break;
        case 2: c.arrays.array2.push_back(readFlagged(list[e], epath)); break;
        case 3: c.arrays.array3.push_back(readFlagged(list[e], epath)); break;
        case 4: c.arrays.array4.push_back(readPair(list[e], epath)); break;
        default: c.arrays.bytes[a - 5].push_back(static_cast<uint8_t>(readNumber(list[e], epath, 0xFF))); break;
      }
    }
  }
  r.finish();
  return m;
}

OutputBlockSpec readOutputBlock(const Json &v, const std::string &path) {
  ObjectReader r(v, path, {"present", "address", "signature", "version", "size", "offsetOfFirstEntry", "entries",
                               "tail", "patches"});
  OutputBlockSpec b;
  b.present = r.boolean("present");
  b.address = r.number("address", 0xFFFFFFFFu);
  b.desc.signature = readSignature(r.at("signature"), r.pathOf("signature"));
  b.desc.version = static_cast<uint32_t>(r.number("version", 0xFFFFFFFFu));
  if (r.has("offsetOfFirstEntry")) {
    const auto first = static_cast<uint32_t>(r.number("offsetOfFirstEntry", 0xFFFFFFFFu));
    // Entries are laid out where the header says when that is a place they can go; any other value is
    // stored as given over a layout that starts right after the header.
    if (first >= builders::kQuilHeaderSize && first <= 0x100000) b.desc.firstEntryOffset = first;
    else b.desc.storedFirstEntryOffset = first;
  }
  if (r.has("size")) b.desc.storedSize = static_cast<uint32_t>(r.number("size", 0xFFFFFFFFu));
  if (r.has("tail")) b.desc.tail = static_cast<uint32_t>(r.number("tail", 0x100000));
  const Json &entries = r.array("entries");
  for (size_t n = 0; n < entries.size(); ++n) {
    const std::string epath = at(r.pathOf("entries"), n);
    ObjectReader er(entries[n], epath, {"group", "type", "instance", "size", "entrySize", "fields"});
    builders::QuilEntryDesc e;
    e.group = static_cast<uint32_t>(er.number("group", 0xFFFFFFFFu));
    e.type = static_cast<uint32_t>(er.number("type", 0xFFFFFFFFu));
    e.instance = static_cast<uint32_t>(er.number("instance", 0xFFFFFFFFu));
    uint32_t end = 0x30;
    if (er.has("fields")) {
      const Json &fields = er.object("fields");
      for (const auto &[key, value] : fields.items()) {
        const std::string fpath = er.pathOf("fields") + "." + key;
        const auto offset = static_cast<uint32_t>(readKey(key, fpath, 0xFFFFFF));
        builders::Field f{offset, readHexBytes(value, fpath)};
        end = std::max<uint32_t>(end, offset + static_cast<uint32_t>(f.bytes.size()));
        e.fields.push_back(std::move(f));
      }
    }
    if (er.has("size")) {
      e.size = static_cast<uint32_t>(er.number("size", 0x1000000));
      if (e.size < builders::kQuilEntryHeaderSize)
        fail(er.pathOf("size"), fmt::format("{} is smaller than the 16-byte entry header; use entrySize to store "
                                            "a broken EntrySize", e.size));
      for (const auto &f : e.fields)
        if (f.offset + f.bytes.size() > e.size)
          fail(er.pathOf("fields") + "." + fmt::format("0x{:X}", f.offset),
               fmt::format("reaches past the entry's size 0x{:X}", e.size));
    } else {
      e.size = (end + 3) & ~3u;
    }
    if (er.has("entrySize")) e.storedEntrySize = static_cast<uint32_t>(er.number("entrySize", 0xFFFFFFFFu));
    er.finish();
    b.desc.entries.push_back(std::move(e));
  }
  if (r.has("patches")) {
    const Json &patches = r.array("patches");
    for (size_t n = 0; n < patches.size(); ++n) {
      ObjectReader pr(patches[n], at(r.pathOf("patches"), n), {"offset", "bytes"});
      builders::Blob blob;
      blob.offset = static_cast<uint32_t>(pr.number("offset", 0xFFFFFFFFu));
      blob.bytes = readHexBytes(pr.at("bytes"), pr.pathOf("bytes"));
      pr.finish();
      b.desc.patches.push_back(std::move(blob));
    }
  }
  r.finish();
  try {
    b.bytes = builders::buildQuilBlock(b.desc);
  } catch (const std::exception &e) {
    fail(path, e.what());
  }
  if (b.present) {
    const uint64_t end = b.address + std::max<uint64_t>(b.bytes.size(), 1);
    if (end > host::PhysicalMemory::kFlashWindowBase)
      fail(r.pathOf("address"), fmt::format("the block (0x{:X} bytes at 0x{:X}) reaches into the flash window at "
                                            "0xFF000000", b.bytes.size(), b.address));
  }
  return b;
}

// A pointer field of a flash description: an image offset, or { "stored": value } for the raw value.
builders::FlashPointer readPointer(const Json &v, const std::string &path) {
  if (v.is_object()) {
    ObjectReader r(v, path, {"stored"});
    const auto raw = static_cast<uint32_t>(r.number("stored", 0xFFFFFFFFu));
    r.finish();
    return builders::FlashPointer::stored(raw);
  }
  return builders::FlashPointer::to(static_cast<uint32_t>(readNumber(v, path, 0xFFFFFFFFu)));
}

builders::DirectoryFaults readDirFaults(const Json &v, const std::string &path) {
  ObjectReader r(v, path, {"signature", "entryCount", "checksum", "wrongChecksum"});
  builders::DirectoryFaults f;
  if (r.has("signature")) f.signature = readSignature(r.at("signature"), r.pathOf("signature"));
  if (r.has("entryCount")) f.entryCount = static_cast<uint32_t>(r.number("entryCount", 0xFFFFFFFFu));
  if (r.has("checksum")) f.checksum = static_cast<uint32_t>(r.number("checksum", 0xFFFFFFFFu));
  if (r.has("wrongChecksum")) f.wrongChecksum = r.boolean("wrongChecksum");
  r.finish();
  return f;
}

uint32_t readComboId(const Json &v, const std::string &path) {
  if (v.is_string()) {
    const std::string s = v.get<std::string>();
    for (int n = 0; n < 5; ++n)
      if (s == std::string(1, char('A' + n))) return ZarnKovProcessorLines[n].ComboId;
  }
  return static_cast<uint32_t>(readNumber(v, path, 0xFFFFFFFFu));
}

builders::Bytes readFile(const std::string &file, const std::string &path) {
  try {
    const std::string bytes = readFileBytes(file);
    return builders::Bytes(bytes.begin(), bytes.end());
  } catch (const BadInput &e) {
    fail(path, e.what());
  }
}

std::string resolve(const std::string &file, const std::string &baseDir) {
  const std::filesystem::path p(file);
  if (p.is_absolute() || baseDir.empty()) return file;
  return (std::filesystem::path(baseDir) / p).string();
}

}  // namespace

const Json &defaultScenarioJson() {
  static const Json scenario = buildDefault();
  return scenario;
}

Json mergeScenario(const Json &base, const Json &overlay) {
  if (!base.is_object() || !overlay.is_object()) return overlay;
  Json out = base;
  for (const auto &[key, value] : overlay.items()) {
    const bool replaceFlash = key == "flash" && value.is_object() && value.contains("image");
    if (out.contains(key) && out[key].is_object() && value.is_object() && !replaceFlash)
      out[key] = mergeScenario(out[key], value);
    else
      out[key] = value;
  }
  return out;
}

void checkFlashSize(size_t size, const std::string &path) {
  if (size < host::PhysicalMemory::kMinFlashImage || size > host::PhysicalMemory::kFlashWindowSize)
    fail(path, fmt::format("a flash image of {} bytes cannot be mapped: it must hold 512 KiB to 16 MiB "
                           "(0x80000..0x1000000 bytes) and end at 4 GiB", size));
}

builders::FlashImageDesc flashDescFromJson(const Json &desc, const std::string &path, const OutputBlockSpec &block,
                                           const std::string &baseDir) {
  ObjectReader r(desc, path,
                 {"size", "pointerForm", "tables", "comboDirs", "kovDirs", "biosDirs", "payloads", "patches"});
  builders::FlashImageDesc d;
  d.size = static_cast<uint32_t>(r.number("size", 0xFFFFFFFFu));
  checkFlashSize(d.size, r.pathOf("size"));
  if (r.has("pointerForm")) {
    const std::string form = r.string("pointerForm");
    if (form == "offset") d.pointerForm = builders::PointerForm::Offset;
    else if (form == "address") d.pointerForm = builders::PointerForm::Address;
    else fail(r.pathOf("pointerForm"), fmt::format("\"{}\" is not \"offset\" or \"address\"", form));
  }
  const uint32_t blockSize = static_cast<uint32_t>(block.bytes.size());
  // A number, or "outputBlock" for the block's size.
  auto sizeOrBlock = [&](const Json &v, const std::string &p) -> uint32_t {
    if (v.is_string() && v.get<std::string>() == "outputBlock") return blockSize;
    return static_cast<uint32_t>(readNumber(v, p, 0xFFFFFFFFu));
  };

  if (r.has("tables")) {
    const Json &tables = r.array("tables");
    for (size_t n = 0; n < tables.size(); ++n) {
      ObjectReader tr(tables[n], at(r.pathOf("tables"), n), {"probe", "signature", "kovDir", "biosDirs"});
      builders::EmbeddedTableDesc t;
      t.probe = static_cast<int>(tr.number("probe", 6));
      if (t.probe < 1) fail(tr.pathOf("probe"), "probe positions are 1..6");
      try {
        builders::probeOffset(t.probe, d.size);
      } catch (const std::exception &) {
        fail(tr.pathOf("probe"), fmt::format("probe {} lies outside an image of 0x{:X} bytes", t.probe, d.size));
      }
      if (tr.has("signature")) t.signature = readSignature(tr.at("signature"), tr.pathOf("signature"));
      t.kovDir = readPointer(tr.at("kovDir"), tr.pathOf("kovDir"));
      const Json &dirs = tr.array("biosDirs");
      if (dirs.size() != 3) fail(tr.pathOf("biosDirs"), fmt::format("expected three pointers, got {}", dirs.size()));
      for (size_t k = 0; k < 3; ++k) t.biosDirs[k] = readPointer(dirs[k], at(tr.pathOf("biosDirs"), k));
      tr.finish();
      d.tables.push_back(t);
    }
  }
  if (r.has("comboDirs")) {
    const Json &combos = r.array("comboDirs");
    for (size_t n = 0; n < combos.size(); ++n) {
      ObjectReader cr(combos[n], at(r.pathOf("comboDirs"), n), {"offset", "entries", "signature", "entryCount"});
      builders::ComboDirDesc c;
      c.offset = static_cast<uint32_t>(cr.number("offset", 0xFFFFFFFFu));
      const Json &entries = cr.array("entries");
      for (size_t k = 0; k < entries.size(); ++k) {
        ObjectReader er(entries[k], at(cr.pathOf("entries"), k), {"comboId", "kovDir"});
        builders::ComboEntryDesc e;
        e.comboId = readComboId(er.at("comboId"), er.pathOf("comboId"));
        e.kovDir = readPointer(er.at("kovDir"), er.pathOf("kovDir"));
        er.finish();
        c.entries.push_back(e);
      }
      if (cr.has("signature")) c.signature = readSignature(cr.at("signature"), cr.pathOf("signature"));
      if (cr.has("entryCount")) c.entryCount = static_cast<uint32_t>(cr.number("entryCount", 0xFFFFFFFFu));
      cr.finish();
      d.comboDirs.push_back(std::move(c));
    }
  }
  if (r.has("kovDirs")) {
    const Json &kovs = r.array("kovDirs");
    for (size_t n = 0; n < kovs.size(); ++n) {
      ObjectReader kr(kovs[n], at(r.pathOf("kovDirs"), n), {"offset", "entries", "headerInfo", "faults"});
      builders::KovDirDesc k;
      k.offset = static_cast<uint32_t>(kr.number("offset", 0xFFFFFFFFu));
      k.entries = static_cast<uint32_t>(kr.number("entries", 0x10000));
      if (kr.has("headerInfo")) k.headerInfo = static_cast<uint32_t>(kr.number("headerInfo", 0xFFFFFFFFu));
      if (kr.has("faults")) k.faults = readDirFaults(kr.at("faults"), kr.pathOf("faults"));
      kr.finish();
      d.kovDirs.push_back(k);
    }
  }
  if (r.has("biosDirs")) {
    const Json &dirs = r.array("biosDirs");
    for (size_t n = 0; n < dirs.size(); ++n) {
      ObjectReader br(dirs[n], at(r.pathOf("biosDirs"), n), {"offset", "level2", "entries", "headerInfo", "faults"});
      builders::BiosDirDesc b;
      b.offset = static_cast<uint32_t>(br.number("offset", 0xFFFFFFFFu));
      if (br.has("level2")) b.level2 = br.boolean("level2");
      const Json &entries = br.array("entries");
      for (size_t k = 0; k < entries.size(); ++k) {
        ObjectReader er(entries[k], at(br.pathOf("entries"), k),
                        {"type", "instance", "otherAttributes", "size", "location", "locationHigh", "destination"});
        builders::BiosEntryDesc e;
        e.type = static_cast<uint8_t>(er.number("type", 0xFF));
        if (er.has("instance")) e.instance = static_cast<uint8_t>(er.number("instance", 0x0F));
        if (er.has("otherAttributes"))
          e.otherAttributes = static_cast<uint32_t>(er.number("otherAttributes", 0xFFFFFFFFu));
        e.size = sizeOrBlock(er.at("size"), er.pathOf("size"));
        e.location = readPointer(er.at("location"), er.pathOf("location"));
        if (er.has("locationHigh")) e.locationHigh = static_cast<uint32_t>(er.number("locationHigh", 0xFFFFFFFFu));
        const Json &dest = er.at("destination");
        if (dest.is_string() && dest.get<std::string>() == "outputBlock") e.destination = block.address;
        else e.destination = readNumber(dest, er.pathOf("destination"), UINT64_MAX);
        er.finish();
        b.entries.push_back(e);
      }
      if (br.has("headerInfo")) b.headerInfo = static_cast<uint32_t>(br.number("headerInfo", 0xFFFFFFFFu));
      if (br.has("faults")) b.faults = readDirFaults(br.at("faults"), br.pathOf("faults"));
      br.finish();
      d.biosDirs.push_back(std::move(b));
    }
  }
  auto readBlobs = [&](const std::string &key, std::vector<builders::Blob> &out, bool payload) {
    if (!r.has(key)) return;
    const Json &list = r.array(key);
    for (size_t n = 0; n < list.size(); ++n) {
      ObjectReader pr(list[n], at(r.pathOf(key), n), payload ? std::initializer_list<const char *>{"offset", "bytes", "file", "outputBlock"}
                                                                  : std::initializer_list<const char *>{"offset", "bytes"});
      builders::Blob blob;
      blob.offset = static_cast<uint32_t>(pr.number("offset", 0xFFFFFFFFu));
      int sources = 0;
      if (pr.has("bytes")) {
        blob.bytes = readHexBytes(pr.at("bytes"), pr.pathOf("bytes"));
        ++sources;
      }
      if (payload && pr.has("file")) {
        blob.bytes = readFile(resolve(pr.string("file"), baseDir), pr.pathOf("file"));
        ++sources;
      }
      if (payload && pr.has("outputBlock")) {
        if (pr.boolean("outputBlock")) blob.bytes = block.bytes;
        ++sources;
      }
      if (sources != 1)
        fail(pr.path(), payload ? "give exactly one of \"bytes\", \"file\" or \"outputBlock\"" : "give \"bytes\"");
      pr.finish();
      out.push_back(std::move(blob));
    }
  };
  readBlobs("payloads", d.payloads, true);
  readBlobs("patches", d.patches, false);
  r.finish();
  return d;
}

builders::Bytes buildFlash(const builders::FlashImageDesc &desc, const std::string &path) {
  try {
    return builders::buildFlashImage(desc);
  } catch (const std::exception &e) {
    fail(path, e.what());
  }
}

Scenario scenarioFromJson(const Json &merged, const std::string &baseDir) {
  Scenario s;
  ObjectReader root(merged, "", {"cpu", "cmos", "uarts", "superIo", "debugPrintPpi", "peiServices", "memoryInfo",
                                 "outputBlock", "flash", "accessorCalls"});

  {
    ObjectReader r(root.object("cpu"), "cpu", {"line", "apicIdBits", "mm0"});
    s.cpuLine = r.string("line");
    s.cpuSignature = lineSignature(s.cpuLine, r.pathOf("line"));
    s.apicIdBits = static_cast<uint8_t>(r.number("apicIdBits", 7));
    s.mm0 = r.number("mm0", UINT64_MAX);
    r.finish();
  }
  for (const auto &[key, value] : root.object("cmos").items()) {
    const std::string path = "cmos." + key;
    const auto index = static_cast<uint8_t>(readKey(key, path, 0xFF));
    s.cmos[index] = static_cast<uint8_t>(readNumber(value, path, 0xFF));
  }
  {
    ObjectReader r(root.object("uarts"), "uarts", {"com1", "com2"});
    readUart(r.at("com1"), r.pathOf("com1"), s.com1);
    readUart(r.at("com2"), r.pathOf("com2"), s.com2);
    r.finish();
  }
  {
    ObjectReader r(root.object("superIo"), "superIo", {"uartAActivate", "uartBActivate"});
    s.superIoUartAActivate = static_cast<uint8_t>(r.number("uartAActivate", 0xFF));
    s.superIoUartBActivate = static_cast<uint8_t>(r.number("uartBActivate", 0xFF));
    r.finish();
  }
  s.debugPrintPpi = root.boolean("debugPrintPpi");
  {
    ObjectReader r(root.object("peiServices"), "peiServices", {"revision", "faults"});
    s.revision = static_cast<uint32_t>(r.number("revision", 0xFFFFFFFFu));
    const Json &faults = r.array("faults");
    for (size_t n = 0; n < faults.size(); ++n) {
      ObjectReader fr(faults[n], at(r.pathOf("faults"), n), {"service", "status", "after", "count"});
      host::Fault f{};
      f.service = serviceFromName(fr.string("service"), fr.pathOf("service"));
      f.status = fr.status("status");
      if (fr.has("after")) f.after = static_cast<uint32_t>(fr.number("after", 0xFFFFFFFFu));
      f.count = fr.has("count") ? static_cast<uint32_t>(fr.number("count", 0xFFFFFFFFu)) : host::Fault::kAll;
      fr.finish();
      s.faults.push_back(f);
    }
    r.finish();
  }
  s.memoryInfo = readMemoryInfo(root.at("memoryInfo"), "memoryInfo");
  s.outputBlock = readOutputBlock(root.at("outputBlock"), "outputBlock");

  const Json &flash = root.object("flash");
  if (flash.contains("image")) {
    ObjectReader r(flash, "flash", {"image"});
    const std::string file = resolve(r.string("image"), baseDir);
    r.finish();
    s.flashSource = file;
    s.flashImage = readFile(file, "flash.image");
    checkFlashSize(s.flashImage.size(), file);
  } else {
    s.flashDesc = flashDescFromJson(flash, "flash", s.outputBlock, baseDir);
    s.flashImage = buildFlash(*s.flashDesc, "flash");
    s.flashSource = "description";
  }

  const Json &calls = root.array("accessorCalls");
  for (size_t n = 0; n < calls.size(); ++n) {
    ObjectReader cr(calls[n], at("accessorCalls", n), {"slot", "args"});
    AccessorCall call;
    call.slot = static_cast<unsigned>(cr.number("slot", kAccessorSlots.size() - 1));
    const unsigned inputs = kAccessorSlots[call.slot].inputs;
    if (cr.has("args")) {
      const Json &args = cr.array("args");
      if (args.size() != inputs)
        fail(cr.pathOf("args"), fmt::format("slot {} ({}) takes {} input argument{}, got {}", call.slot,
                                            kAccessorSlots[call.slot].name, inputs, inputs == 1 ? "" : "s",
                                            args.size()));
      for (size_t k = 0; k < args.size(); ++k)
        call.args.push_back(static_cast<uint32_t>(readNumber(args[k], at(cr.pathOf("args"), k), 0xFFFFFFFFu)));
    } else {
      call.args.assign(inputs, 0);
    }
    cr.finish();
    s.accessorCalls.push_back(std::move(call));
  }
  root.finish();
  return s;
}

Scenario loadScenario(const std::string &path) {
  if (path.empty()) return scenarioFromJson(defaultScenarioJson(), "");
  const Json user = readJsonFile(path);
  if (!user.is_object()) throw BadInput(fmt::format("{}: expected a JSON object, got {}", path, describe(user)));
  // CMOS indexes are spelled freely ("0x6f", "0x6F", 111): merge them by value, not by spelling.
  Json normalized = user;
  if (normalized.contains("cmos") && normalized["cmos"].is_object()) {
    Json cmos = Json::object();
    for (const auto &[key, value] : normalized["cmos"].items()) {
      const std::string path2 = "cmos." + key;
      uint64_t index = 0;
      try {
        index = readKey(key, path2, 0xFF);
      } catch (const BadInput &e) {
        throw BadInput(fmt::format("{}: {}", path, e.what()));
      }
      cmos[fmt::format("0x{:02X}", index)] = value;
    }
    normalized["cmos"] = cmos;
  }
  const std::string baseDir = std::filesystem::path(path).parent_path().string();
  try {
    return scenarioFromJson(mergeScenario(defaultScenarioJson(), normalized), baseDir);
  } catch (const BadInput &e) {
    throw BadInput(fmt::format("{}: {}", path, e.what()));
  }
}

}  // namespace zarn::tool
