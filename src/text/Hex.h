// Hexadecimal numbers and bytes as the registry's text formats write them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Hexadecimal numbers as the registry's text formats write them (dword:0000002a, hex bytes), and
// bytes written as two upper-case digits (%41 in a URI, \x41 in a message).
namespace qelt::text {

// Appends the byte's two hexadecimal digits, upper case.
inline void AppendHexByte(std::string& out, unsigned char byte) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 0xF]);
}

// The value of a hexadecimal digit in either letter case, or -1 for any other character.
constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads up to maxDigits (at most 8) hexadecimal digits at text[pos], advancing pos past them;
// nothing when there is no digit there.
std::optional<std::uint32_t> ParseHexPrefix(std::string_view text, std::size_t& pos, int maxDigits);

// A whole text of 1 to 8 hexadecimal digits (a DWORD); nothing for anything else.
std::optional<std::uint32_t> ParseHexDword(std::string_view digits);

}  // namespace qelt::text
