// File names as UTF-8 text, and paths made from them.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// File names are UTF-8 text inside the core. A path made from a narrow string would take the
// Windows code page instead, which cannot name every file and garbles the rest.
namespace qelt::text {

inline std::filesystem::path Utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

}  // namespace qelt::text
