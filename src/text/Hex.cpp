// Hexadecimal numbers and bytes as the registry's text formats write them.
#include "text/Hex.h"

namespace qelt::text {

std::optional<std::uint32_t> ParseHexPrefix(std::string_view text, std::size_t& pos,
                                            int maxDigits) {
    std::uint32_t number = 0;
    int digits = 0;
    for (; digits < maxDigits && digits < 8 && pos < text.size() && HexDigit(text[pos]) >= 0;
         ++digits) {
        number = number * 16 + static_cast<std::uint32_t>(HexDigit(text[pos++]));
    }
    return digits == 0 ? std::nullopt : std::optional(number);
}

std::optional<std::uint32_t> ParseHexDword(std::string_view digits) {
    std::size_t pos = 0;
    const auto number = ParseHexPrefix(digits, pos, 8);
    return pos == digits.size() ? number : std::nullopt;
}

}  // namespace qelt::text
