#include "settings/FuncLib.h"

#include <algorithm>

namespace qelt {

namespace {

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

bool IsBlank(std::string_view text) {
    if (TrimSpaces(text).empty()) {
        return true;
    }
    // Only NULs are blank beyond spaces: a byte of a multi-byte character is never taken for
    // one, so a folder named in such characters is not thrown away.
    return std::all_of(text.begin(), text.end(), [](char c) { return c == '\0'; });
}

std::string AddTrailingSlash(std::string_view path) {
    if (IsBlank(path)) {
        return {};
    }
    std::string trimmed(TrimSpaces(path));
    if (trimmed.back() != '/' && trimmed.back() != '\\') {
        trimmed += '\\';
    }
    return trimmed;
}

std::string StripSuffix(std::string_view text, std::string_view suffix) {
    if (IsBlank(text) || suffix.empty() || !text.ends_with(suffix)) {
        return std::string(text);
    }
    return std::string(text.substr(0, text.size() - suffix.size()));
}

std::string TrimAtNull(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(), [](char c) { return LowerAscii(c); });
    return lower;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

}  // namespace qelt
