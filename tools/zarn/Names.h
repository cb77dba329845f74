// Names the reports use: statuses, GUIDs, memory-range attributes, sizes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ZarnBase.h"

namespace zarn::tool {

// The EFI_* name of a status the print engine's %r table knows, else "0x" and eight hex digits.
std::string statusName(uint32_t status);
std::optional<uint32_t> statusFromName(const std::string &name);

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in lowercase.
std::string guidText(const EFI_GUID &guid);
// The name of one of the system's seven GUIDs, or nothing.
std::optional<std::string> guidName(const EFI_GUID &guid);

// "memory", "hole type 0", ... for a memory-range attribute; "attribute N" for others.
std::string attributeName(uint32_t attribute);

// "640 KiB", "2 GiB", "1.5 MiB", "23 bytes": the largest binary unit that keeps the number short.
std::string humanSize(uint64_t bytes);

// "0x" and at least `digits` hex digits, lowercase.
std::string hex(uint64_t value, int digits = 0);

}  // namespace zarn::tool
