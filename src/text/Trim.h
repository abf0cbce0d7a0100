// Trimming blanks off text, each reader naming its own blanks.
#pragma once

#include <string_view>

// Trimming blanks off text. Each reader has its own idea of a blank (the space alone, space and
// tab, the ASCII white space), so the blanks are named by the caller.
namespace qelt::text {

constexpr std::string_view TrimLeft(std::string_view text, std::string_view blanks) {
    const auto first = text.find_first_not_of(blanks);
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

constexpr std::string_view TrimRight(std::string_view text, std::string_view blanks) {
    const auto last = text.find_last_not_of(blanks);
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

constexpr std::string_view Trim(std::string_view text, std::string_view blanks) {
    return TrimRight(TrimLeft(text, blanks), blanks);
}

}  // namespace qelt::text
