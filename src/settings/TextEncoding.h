#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "text/Hex.h"

namespace qelt {

using text::HexDigit;

// UTF-16LE bytes as UTF-8. NULs are kept; an unpaired surrogate becomes U+FFFD and an odd final
// byte is dropped.
std::string Utf16LeToUtf8(std::string_view bytes);

// The text of a settings or registry file: UTF-16LE with byte-order mark converted to UTF-8, a
// UTF-8 byte-order mark removed, anything else taken as it is.
std::string DecodeTextFile(std::string_view bytes);

// The bytes of a file; nothing when it cannot be opened or read (a folder, for one).
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

}  // namespace qelt
