#include "tools/zarn/Names.h"

#include <fmt/format.h>

#include <array>
#include <cstring>
#include <utility>

#include "Guid/ZarnGuids.h"

namespace zarn::tool {

namespace {

// The statuses the print engine's %r table names (warnings 0-5, errors 1-33) and that have an EFI_*
// name; the table's two reserved error texts (29, 30) have none and print in hex.
constexpr std::array<std::pair<uint32_t, const char *>, 38> kStatusNames = {{
    {EFI_SUCCESS, "EFI_SUCCESS"},
    {EFI_WARN_UNKNOWN_GLYPH, "EFI_WARN_UNKNOWN_GLYPH"},
    {EFI_WARN_DELETE_FAILURE, "EFI_WARN_DELETE_FAILURE"},
    {EFI_WARN_WRITE_FAILURE, "EFI_WARN_WRITE_FAILURE"},
    {EFI_WARN_BUFFER_TOO_SMALL, "EFI_WARN_BUFFER_TOO_SMALL"},
    {EFI_WARN_STALE_DATA, "EFI_WARN_STALE_DATA"},
    {EFI_LOAD_ERROR, "EFI_LOAD_ERROR"},
    {EFI_INVALID_PARAMETER, "EFI_INVALID_PARAMETER"},
    {EFI_UNSUPPORTED, "EFI_UNSUPPORTED"},
    {EFI_BAD_BUFFER_SIZE, "EFI_BAD_BUFFER_SIZE"},
    {EFI_BUFFER_TOO_SMALL, "EFI_BUFFER_TOO_SMALL"},
    {EFI_NOT_READY, "EFI_NOT_READY"},
    {EFI_DEVICE_ERROR, "EFI_DEVICE_ERROR"},
    {EFI_WRITE_PROTECTED, "EFI_WRITE_PROTECTED"},
    {EFI_OUT_OF_RESOURCES, "EFI_OUT_OF_RESOURCES"},
    {EFI_VOLUME_CORRUPTED, "EFI_VOLUME_CORRUPTED"},
    {EFI_VOLUME_FULL, "EFI_VOLUME_FULL"},
    {EFI_NO_MEDIA, "EFI_NO_MEDIA"},
    {EFI_MEDIA_CHANGED, "EFI_MEDIA_CHANGED"},
    {EFI_NOT_FOUND, "EFI_NOT_FOUND"},
    {EFI_ACCESS_DENIED, "EFI_ACCESS_DENIED"},
    {EFI_NO_RESPONSE, "EFI_NO_RESPONSE"},
    {EFI_NO_MAPPING, "EFI_NO_MAPPING"},
    {EFI_TIMEOUT, "EFI_TIMEOUT"},
    {EFI_NOT_STARTED, "EFI_NOT_STARTED"},
    {EFI_ALREADY_STARTED, "EFI_ALREADY_STARTED"},
    {EFI_ABORTED, "EFI_ABORTED"},
    {EFI_ICMP_ERROR, "EFI_ICMP_ERROR"},
    {EFI_TFTP_ERROR, "EFI_TFTP_ERROR"},
    {EFI_PROTOCOL_ERROR, "EFI_PROTOCOL_ERROR"},
    {EFI_INCOMPATIBLE_VERSION, "EFI_INCOMPATIBLE_VERSION"},
    {EFI_SECURITY_VIOLATION, "EFI_SECURITY_VIOLATION"},
    {EFI_CRC_ERROR, "EFI_CRC_ERROR"},
    {EFI_END_OF_MEDIA, "EFI_END_OF_MEDIA"},
    {EFI_END_OF_FILE, "EFI_END_OF_FILE"},
    {EFI_INVALID_LANGUAGE, "EFI_INVALID_LANGUAGE"},
    {EFI_COMPROMISED_DATA, "EFI_COMPROMISED_DATA"},
    {0x80000000u, nullptr},  // error index 0: not in the table
}};

struct NamedGuid {
  const EFI_GUID *guid;
  const char *name;
};
const NamedGuid kGuids[] = {
    {&gZarnMemoryInfoHobGuid, "gZarnMemoryInfoHobGuid"},
    {&gMemoryConfigInfoDataHobGuid, "gMemoryConfigInfoDataHobGuid"},
    {&gMemoryHobsReadyPpiGuid, "gMemoryHobsReadyPpiGuid"},
    {&gMemoryInformationPpiGuid, "gMemoryInformationPpiGuid"},
    {&gZarnQuilInfoHobGuid, "gZarnQuilInfoHobGuid"},
    {&gZarnQuilAccessorPpiGuid, "gZarnQuilAccessorPpiGuid"},
    {&gZarnDebugPrintPpiGuid, "gZarnDebugPrintPpiGuid"},
};

}  // namespace

std::string statusName(uint32_t status) {
  for (const auto &[value, name] : kStatusNames)
    if (value == status && name) return name;
  return fmt::format("0x{:08x}", status);
}

std::optional<uint32_t> statusFromName(const std::string &name) {
  for (const auto &[value, text] : kStatusNames)
    if (text && name == text) return value;
  return std::nullopt;
}

std::string guidText(const EFI_GUID &g) {
  return fmt::format("{:08x}-{:04x}-{:04x}-{:02x}{:02x}-{:02x}{:02x}{:02x}{:02x}{:02x}{:02x}", g.Data1, g.Data2,
                     g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                     g.Data4[7]);
}

std::optional<std::string> guidName(const EFI_GUID &guid) {
  for (const auto &g : kGuids)
    if (std::memcmp(g.guid, &guid, sizeof guid) == 0) return std::string(g.name);
  return std::nullopt;
}

std::string attributeName(uint32_t attribute) {
  switch (attribute) {
    case 1: return "memory";
    case 2: return "hole type 0";
    case 3: return "hole type 1";
    case 4: return "hole type 2-5";
    default: return fmt::format("attribute {}", attribute);
  }
}

std::string humanSize(uint64_t bytes) {
  static const char *const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return fmt::format("{} byte{}", bytes, bytes == 1 ? "" : "s");
  int unit = -1;
  uint64_t scale = 1;
  while (unit + 1 < 6 && bytes >= scale * 1024) {
    scale *= 1024;
    ++unit;
  }
  if (bytes % scale == 0) return fmt::format("{} {}", bytes / scale, kUnits[unit]);
  const double value = static_cast<double>(bytes) / static_cast<double>(scale);
  std::string text = fmt::format("{:.2f}", value);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  const bool exact = static_cast<unsigned __int128>(bytes % scale) * 100 % scale == 0;
  return fmt::format("{}{} {}", exact ? "" : "~", text, kUnits[unit]);
}

std::string hex(uint64_t value, int digits) { return fmt::format("0x{:0{}x}", value, digits); }

}  // namespace zarn::tool
