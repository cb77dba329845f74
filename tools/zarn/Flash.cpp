// `zarn flash build` and `zarn flash show`. The show command runs the firmware's own lookup functions
// (linked into the tool) on a simulated machine with the image mapped below 4 GiB, once per processor
// line, so what it reports is what the modules find; the entry tables it lists are read with the same
// bounds the firmware uses.
#include "tools/zarn/Flash.h"

#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "Kov/FlashDirectory.h"
#include "Library/ZarnKovBaseLibV2.h"
#include "Platform/Host/Machine.h"
#include "tools/zarn/HostDebugLib.h"
#include "tools/zarn/Json.h"
#include "tools/zarn/Scenario.h"

namespace zarn::tool {

namespace {

constexpr uint64_t kFourGiB = 0x100000000ull;
constexpr uint32_t kProbes[6] = {0xFFFA0000u, 0xFFF20000u, 0xFFE20000u, 0xFFC20000u, 0xFF820000u, 0xFF020000u};

uint32_t read32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint64_t read64(const uint8_t *p) { return uint64_t(read32(p)) | uint64_t(read32(p + 4)) << 32; }

std::string sigText(uint32_t sig) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(sig >> (8 * i));
    s += (c >= 0x20 && c < 0x7F) ? c : '.';
  }
  return s;
}

std::string hx(uint64_t v) { return fmt::format("0x{:x}", v); }

const char *entryTypeName(uint8_t type) {
  switch (type) {
    case QuilBiosDirType: return "QuilBiosDirType";
    case QuilNvBiosDirType: return "QuilNvBiosDirType";
    case BiosDirLevel2Type: return "BiosDirLevel2Type";
    default: return nullptr;
  }
}

struct EntryView {
  uint32_t typeAttributes, size;
  uint64_t location, destination;
};

struct DirView {
  uint32_t address = 0;
  bool readable = false;  // the header is in the flash window
  uint32_t signature = 0, entryCount = 0, storedChecksum = 0;
  std::optional<uint32_t> computedChecksum;  // when the whole entry array is in the window
  bool valid = false;                        // the firmware's validation
  std::vector<EntryView> entries;            // BIOS directories only
};

DirView describeDir(host::Machine &m, uint32_t address, uint32_t expected, bool bios) {
  DirView d;
  d.address = address;
  const auto *header = static_cast<const uint8_t *>(m.memory.pointer(address, sizeof(DirectoryHeader)));
  if (!header) return d;
  d.readable = true;
  d.signature = read32(header);
  d.storedChecksum = read32(header + 4);
  d.entryCount = read32(header + 8);
  const uint32_t entrySize = bios ? sizeof(BiosDirectoryEntry) : sizeof(KovDirectoryEntry);
  const uint64_t length = sizeof(DirectoryHeader) + uint64_t(d.entryCount) * entrySize;
  const auto *dir = address + length <= kFourGiB ? static_cast<const uint8_t *>(m.memory.pointer(address, length)) : nullptr;
  if (dir) {
    d.computedChecksum =
        ZarnKovDirChecksum(reinterpret_cast<const UINT16 *>(dir + 8), static_cast<UINT32>((d.entryCount * entrySize + 8) / 2));
    if (bios)
      for (uint32_t i = 0; i < d.entryCount; ++i) {
        const uint8_t *e = dir + sizeof(DirectoryHeader) + size_t(i) * entrySize;
        d.entries.push_back({read32(e), read32(e + 4), read64(e + 8), read64(e + 16)});
      }
  }
  d.valid = bios ? ZarnKovValidateBiosDir(address, expected) : ZarnKovValidateKovDir(address, expected);
  return d;
}

struct Lookup {
  bool found = false;
  uint32_t typeAttributes = 0, size = 0;
  uint64_t location = 0, destination = 0;
};

Lookup lookup(uint8_t type) {
  Lookup l;
  UINT32 attributes = 0, size = 0;
  UINT64 location = 0, destination = 0;
  l.found = ZarnKovGetBiosDirEntry(type, 0xFF, &attributes, &location, &size, &destination);
  l.typeAttributes = attributes;
  l.size = size;
  l.location = location;
  l.destination = destination;
  return l;
}

struct LineView {
  char line;
  uint32_t signature, comboId;
  int biosField;
  int probe = 0;  // 1..6; 0: no table
  uint32_t kovDirPointer = 0, biosDirPointer = 0;
  bool viaCombo = false;
  bool comboPresent = false;  // a "2KOV" directory at KovDirPointer
  bool directoriesValid = false;
  std::optional<DirView> kov, bios, level2;
  Lookup level2Entry, quil, quilNv;
  std::vector<std::string> assertions;
};

LineView examine(const builders::Bytes &image, int index) {
  const ZarnKovProcessorLine &pl = ZarnKovProcessorLines[index];
  LineView v{static_cast<char>('A' + index), pl.Signature, pl.ComboId, pl.BiosDirField};
  host::Machine m;
  m.makeCurrent();
  m.memory.setFlashImage(image);
  m.cpu.setCpuid(0x80000001u, {pl.Signature, 0, 0, 0});

  hostReports().clear();
  UINT32 kovAddress = 0, biosAddress = 0;
  v.directoriesValid = ZarnKovGetDirectories(&kovAddress, &biosAddress);
  for (const HostReport &r : hostReports())
    if (r.assertion) v.assertions.push_back(r.text);

  // The probe the firmware stopped at: the first of the six addresses holding the table's signature.
  for (int p = 0; p < 6; ++p) {
    const auto *sig = static_cast<const uint8_t *>(m.memory.pointer(kProbes[p], 4));
    if (sig && read32(sig) == EMBEDDED_FIRMWARE_SIGNATURE) {
      v.probe = p + 1;
      const auto *table = static_cast<const uint8_t *>(m.memory.pointer(kProbes[p], sizeof(EmbeddedFirmwareTable)));
      v.kovDirPointer = read32(table + offsetof(EmbeddedFirmwareTable, KovDirPointer));
      v.biosDirPointer = read32(table + offsetof(EmbeddedFirmwareTable, BiosDirField1) + 4 * (pl.BiosDirField - 1));
      break;
    }
  }
  if (v.probe == 0) return v;

  const uint32_t kovPointer = v.kovDirPointer | FLASH_POINTER_BASE;
  const auto *combo = static_cast<const uint8_t *>(m.memory.pointer(kovPointer, 4));
  v.comboPresent = combo && read32(combo) == COMBO_DIRECTORY_SIGNATURE;
  UINT32 fromCombo = 0;
  v.viaCombo = ZarnKovFindComboEntry(kovPointer, pl.ComboId, &fromCombo);

  v.kov = describeDir(m, kovAddress, KOV_DIRECTORY_SIGNATURE, false);
  v.bios = describeDir(m, biosAddress, BIOS_DIRECTORY_SIGNATURE, true);
  hostReports().clear();
  v.level2Entry = lookup(BiosDirLevel2Type);
  if (v.level2Entry.found) v.level2 = describeDir(m, static_cast<uint32_t>(v.level2Entry.location), BIOS_L2_DIRECTORY_SIGNATURE, true);
  v.quil = lookup(QuilBiosDirType);
  v.quilNv = lookup(QuilNvBiosDirType);
  hostReports().clear();
  return v;
}

// ---- JSON ----

Json entryJson(const EntryView &e, size_t index) {
  const uint8_t type = e.typeAttributes & 0xFF;
  const char *name = entryTypeName(type);
  return {{"index", index},
          {"typeAttributes", hx(e.typeAttributes)},
          {"type", type},
          {"typeName", name ? Json(name) : Json(nullptr)},
          {"instance", (e.typeAttributes >> 20) & 0xF},
          {"size", hx(e.size)},
          {"location", hx(e.location)},
          {"locationAddress", hx((e.location & 0xFFFFFFFF00000000ull) | ((e.location & 0xFFFFFFFFu) | FLASH_POINTER_BASE))},
          {"destination", hx(e.destination)}};
}

Json dirJson(const std::optional<DirView> &d) {
  if (!d) return nullptr;
  Json j{{"address", hx(d->address)}, {"readable", d->readable}};
  if (d->readable) {
    j["signature"] = sigText(d->signature);
    j["entryCount"] = d->entryCount;
    j["storedChecksum"] = hx(d->storedChecksum);
    j["computedChecksum"] = d->computedChecksum ? Json(hx(*d->computedChecksum)) : Json(nullptr);
  }
  j["valid"] = d->valid;
  return j;
}

Json biosDirJson(const std::optional<DirView> &d) {
  Json j = dirJson(d);
  if (d) {
    Json entries = Json::array();
    for (size_t n = 0; n < d->entries.size(); ++n) entries.push_back(entryJson(d->entries[n], n));
    j["entries"] = entries;
  }
  return j;
}

Json lookupJson(const Lookup &l) {
  if (!l.found) return nullptr;
  return {{"typeAttributes", hx(l.typeAttributes)}, {"size", hx(l.size)}, {"location", hx(l.location)},
          {"destination", hx(l.destination)}};
}

Json lineJson(const LineView &v) {
  Json j{{"line", std::string(1, v.line)}, {"signature", hx(v.signature)}, {"comboId", hx(v.comboId)},
         {"biosDirField", v.biosField}};
  if (v.probe == 0) {
    j["table"] = nullptr;
  } else {
    j["table"] = {{"probe", v.probe}, {"address", hx(kProbes[v.probe - 1])}, {"kovDirPointer", hx(v.kovDirPointer)},
                  {"biosDirPointer", hx(v.biosDirPointer)}};
    j["comboDirectory"] = v.comboPresent ? Json{{"address", hx(v.kovDirPointer | FLASH_POINTER_BASE)}, {"entryForLine", v.viaCombo}}
                                         : Json(nullptr);
  }
  j["kovDirectory"] = dirJson(v.kov);
  j["biosDirectory"] = biosDirJson(v.bios);
  j["level2Directory"] = biosDirJson(v.level2);
  j["directoriesValid"] = v.directoriesValid;
  j["lookups"] = {{"0x61", lookupJson(v.quil)}, {"0x63", lookupJson(v.quilNv)}, {"0x70", lookupJson(v.level2Entry)}};
  j["assertions"] = v.assertions;
  return j;
}

// ---- Text ----

std::string verdict(const DirView &d) {
  if (!d.readable) return "not in the flash window: INVALID";
  std::string checksum = d.computedChecksum
                             ? fmt::format("checksum stored 0x{:08X}, computed 0x{:08X}", d.storedChecksum, *d.computedChecksum)
                             : fmt::format("checksum stored 0x{:08X}, entries reach past 4 GiB", d.storedChecksum);
  return fmt::format("\"{}\", {} entries, {}: {}", sigText(d.signature), d.entryCount, checksum, d.valid ? "valid" : "INVALID");
}

void entriesText(std::string &out, const DirView &d, std::set<uint32_t> &listed) {
  if (d.entries.empty()) return;
  if (!listed.insert(d.address).second) {
    out += "        (entries listed above)\n";
    return;
  }
  out += fmt::format("        {:>2}  {:<4}  {:>4}  {:<10}  {:>10}  {:<18}  {:<18}  {}\n", "#", "Type", "Inst", "TypeAttr",
                     "Size", "Location", "Destination", "");
  for (size_t n = 0; n < d.entries.size(); ++n) {
    const EntryView &e = d.entries[n];
    const char *name = entryTypeName(e.typeAttributes & 0xFF);
    out += fmt::format("        {:>2}  0x{:02X}  {:>4}  0x{:08X}  0x{:08X}  0x{:016X}  0x{:016X}  {}\n", n,
                       e.typeAttributes & 0xFF, (e.typeAttributes >> 20) & 0xF, e.typeAttributes, e.size, e.location,
                       e.destination, name ? name : "");
  }
}

std::string lookupText(const Lookup &l, bool destination) {
  if (!l.found) return "not found";
  return destination ? fmt::format("Destination 0x{:X}, size 0x{:X}", l.destination, l.size)
                     : fmt::format("location 0x{:X}, size 0x{:X}", l.location, l.size);
}

}  // namespace

int flashBuildCommand(const std::string &descriptionPath, const std::string &imagePath) {
  const Json desc = readJsonFile(descriptionPath);
  const std::string baseDir = std::filesystem::path(descriptionPath).parent_path().string();
  // "outputBlock" in a description stands for the default scenario's block.
  const Scenario defaults = scenarioFromJson(defaultScenarioJson(), "");
  builders::Bytes image;
  try {
    image = buildFlash(flashDescFromJson(desc, "", defaults.outputBlock, baseDir), "");
  } catch (const BadInput &e) {
    throw BadInput(fmt::format("{}: {}", descriptionPath, e.what()));
  }
  std::ofstream out(imagePath, std::ios::binary | std::ios::trunc);
  if (!out) throw BadInput(fmt::format("{}: cannot write", imagePath));
  out.write(reinterpret_cast<const char *>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!out) throw BadInput(fmt::format("{}: cannot write", imagePath));
  fmt::print("{}: {} bytes ({} KiB), ends at 4 GiB\n", imagePath, image.size(), image.size() / 1024);
  return 0;
}

int flashShowCommand(const std::string &imagePath, bool json) {
  const std::string bytes = readFileBytes(imagePath);
  const builders::Bytes image(bytes.begin(), bytes.end());
  checkFlashSize(image.size(), imagePath);

  std::vector<LineView> lines;
  for (int n = 0; n < 5; ++n) lines.push_back(examine(image, n));

  if (json) {
    Json out{{"image", imagePath}, {"size", image.size()}, {"base", hx(kFourGiB - image.size())}};
    Json list = Json::array();
    for (const LineView &v : lines) list.push_back(lineJson(v));
    out["lines"] = list;
    fmt::print("{}\n", out.dump(2));
    return 0;
  }

  std::string out = fmt::format("{}: {} bytes, mapped at 0x{:08X}-0xFFFFFFFF\n", imagePath, image.size(),
                                kFourGiB - image.size());
  std::set<uint32_t> listed;
  for (const LineView &v : lines) {
    out += fmt::format("\nProcessor line {} (signature 0x{:08X}, combo ID 0x{:08X}, BiosDirField{})\n", v.line,
                       v.signature, v.comboId, v.biosField);
    if (v.probe == 0) {
      out += "  embedded firmware table: not found at any probe address\n";
      continue;
    }
    out += fmt::format("  embedded firmware table: probe {} at 0x{:08X}; KovDirPointer 0x{:08X}, BiosDirField{} 0x{:08X}\n",
                       v.probe, kProbes[v.probe - 1], v.kovDirPointer, v.biosField, v.biosDirPointer);
    if (v.comboPresent)
      out += fmt::format("  combo directory \"2KOV\" at 0x{:08X}: {}\n", v.kovDirPointer | FLASH_POINTER_BASE,
                         v.viaCombo ? "has an entry for this line's combo ID" : "no entry for this line's combo ID");
    else
      out += "  KovDirPointer names the Kov directory directly (no combo directory)\n";
    out += fmt::format("  Kov directory        0x{:08X}: {}\n", v.kov->address, verdict(*v.kov));
    out += fmt::format("  BIOS directory (L1)  0x{:08X}: {}\n", v.bios->address, verdict(*v.bios));
    entriesText(out, *v.bios, listed);
    if (v.level2) {
      out += fmt::format("  BIOS directory (L2)  0x{:08X}: {}\n", v.level2->address, verdict(*v.level2));
      if (v.level2->valid) entriesText(out, *v.level2, listed);
      else out += "        (skipped by the lookups: only the level-1 directory is searched)\n";
    } else if (v.directoriesValid) {
      out += "  no level-2 directory (no type 0x70 entry)\n";
    }
    for (const std::string &a : v.assertions) out += fmt::format("  assertion: {}\n", a);
    out += fmt::format("  lookups: type 0x61 {}; type 0x63 {}\n", lookupText(v.quil, true), lookupText(v.quilNv, false));
    out += fmt::format("  => {}\n", v.directoriesValid ? "directories valid" : "directories INVALID: every lookup fails");
  }
  fmt::print("{}", out);
  return 0;
}

}  // namespace zarn::tool
