#pragma once

#include <string>
#include <string_view>

#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"

namespace qelt::test {

// ASCII text as UTF-16LE bytes.
inline std::string Utf16Le(std::string_view ascii) {
    std::string bytes;
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// Bytes as a regedit hex list: "41,00,42,00".
inline std::string HexList(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string list;
    for (const char c : bytes) {
        if (!list.empty()) {
            list += ',';
        }
        list += kDigits[static_cast<unsigned char>(c) >> 4];
        list += kDigits[static_cast<unsigned char>(c) & 0xF];
    }
    return list;
}

}  // namespace qelt::test
