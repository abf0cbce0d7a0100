// Registry export files (regedit's text format) read into an in-memory registry.
#pragma once

#include <optional>
#include <string_view>

#include "settings/RegistryHive.h"

namespace qelt {

// Reads a registry export file ("Windows Registry Editor Version 5.00" or "REGEDIT4"), stored as
// UTF-16LE with byte-order mark or as UTF-8 with or without one, CR LF or LF line ends. Lines
// that do not parse are skipped, as the registry editor skips them on import; nothing comes
// back when the header is missing.
std::optional<RegistryHive> ParseRegeditFile(std::string_view bytes);

}  // namespace qelt
