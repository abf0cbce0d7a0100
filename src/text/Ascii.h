// ASCII-only case folding and comparison.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

// ASCII-only case folding: registry names, profile sections and keys, file extensions and
// settings tokens compare this way; other bytes, UTF-8 sequences among them, are left alone.
namespace qelt::text {

constexpr char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when every byte is ASCII: a text without characters beyond it.
inline bool IsAscii(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

inline std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(), [](char c) { return AsciiLower(c); });
    return lower;
}

inline std::string AsciiUpper(std::string_view text) {
    std::string upper(text);
    std::ranges::transform(upper, upper.begin(), [](char c) { return AsciiUpper(c); });
    return upper;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// Where `part` first occurs in `text` regardless of ASCII case, or npos.
constexpr std::size_t FindIgnoringAsciiCase(std::string_view text, std::string_view part) {
    if (part.size() > text.size()) {
        return std::string_view::npos;
    }
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        if (EqualsIgnoringAsciiCase(text.substr(i, part.size()), part)) {
            return i;
        }
    }
    return std::string_view::npos;
}

}  // namespace qelt::text
