// FuncLib: the text and path functions the registry and settings-file readers share.
#include "settings/FuncLib.h"

#include <algorithm>

#include "text/Trim.h"

namespace qelt {

namespace {

std::string_view TrimSpaces(std::string_view text) {
    return text::Trim(text, " ");
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

}  // namespace qelt
