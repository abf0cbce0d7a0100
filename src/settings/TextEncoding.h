#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qelt {

// The text of a settings or registry file: UTF-16LE with byte-order mark converted to UTF-8 into
// `converted`, a UTF-8 byte-order mark skipped, anything else taken as it is. The result views
// `bytes` or `converted`, so a UTF-8 file is never copied.
std::string_view DecodeTextFile(std::string_view bytes, std::string& converted);

// The bytes of a regular file, read once; nothing when it cannot be opened or read or is not a
// regular file (a folder, a FIFO, a device). Opening never blocks: a FIFO without a writer is
// refused, not waited for.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

}  // namespace qelt
