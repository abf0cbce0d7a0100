#include "settings/TextEncoding.h"

#include <array>
#include <fstream>

#include "text/Utf.h"

namespace qelt {

std::string Utf16LeToUtf8(std::string_view bytes) {
    return text::Utf16LeBytesToUtf8(bytes);
}

std::string DecodeTextFile(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) {
        return Utf16LeToUtf8(bytes.substr(2));
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    return std::string(bytes);
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes;
    std::array<char, 4096> chunk{};
    // istream::read turns a failing read (as on a folder) into badbit instead of throwing.
    while (file.read(chunk.data(), chunk.size()) || file.gcount() > 0) {
        bytes.append(chunk.data(), static_cast<std::size_t>(file.gcount()));
    }
    if (file.bad() || !file.eof()) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace qelt
