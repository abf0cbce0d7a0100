// Unicode letters and digits of T-SQL identifiers, and case-insensitive name hashing.
#include "auditscript/UnicodeCharacters.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "auditscript/UnicodeCharacterTables.h"
#include "text/Ascii.h"
#include "text/Utf.h"

namespace qelt::unicode {

namespace {

template <std::size_t N>
bool InRanges(const CodePointRange (&ranges)[N], char32_t codePoint) {
    const auto after = std::upper_bound(
        std::begin(ranges), std::end(ranges), codePoint,
        [](char32_t value, const CodePointRange& range) { return value < range.first; });
    return after != std::begin(ranges) && codePoint <= std::prev(after)->last;
}

}  // namespace

namespace {

// The next code point of the text, simply case folded; advances pos past it.
char32_t NextFolded(std::string_view utf8, std::size_t& pos) {
    const auto byte = static_cast<unsigned char>(utf8[pos]);
    if (byte < 0x80) {
        ++pos;
        return static_cast<unsigned char>(text::AsciiLower(static_cast<char>(byte)));
    }
    return SimpleCaseFold(text::DecodeUtf8(utf8, pos));
}

}  // namespace

bool IsTSqlLetter(char32_t codePoint) {
    if (codePoint < 0x80) {
        return (codePoint >= 'A' && codePoint <= 'Z') || (codePoint >= 'a' && codePoint <= 'z');
    }
    return InRanges(kLetterRanges, codePoint);
}

bool IsTSqlDecimalDigit(char32_t codePoint) {
    if (codePoint < 0x80) {
        return codePoint >= '0' && codePoint <= '9';
    }
    return InRanges(kDecimalDigitRanges, codePoint);
}

char32_t SimpleCaseFold(char32_t codePoint) {
    const auto found = std::lower_bound(
        std::begin(kSimpleCaseFolding), std::end(kSimpleCaseFolding), codePoint,
        [](const CaseFoldingPair& pair, char32_t value) { return pair.from < value; });
    return found != std::end(kSimpleCaseFolding) && found->from == codePoint ? found->to
                                                                             : codePoint;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (NextFolded(a, i) != NextFolded(b, j)) {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

std::size_t HashIgnoringCase(std::string_view utf8) {
    constexpr std::uint64_t kFnvPrime = 1099511628211u;
    std::uint64_t hash = 14695981039346656037u;  // FNV-1a over the folded code points
    for (std::size_t pos = 0; pos < utf8.size();) {
        // A run of ASCII, nearly every name, folds without a call.
        for (; pos < utf8.size() && static_cast<unsigned char>(utf8[pos]) < 0x80; ++pos) {
            hash = (hash ^ static_cast<unsigned char>(text::AsciiLower(utf8[pos]))) * kFnvPrime;
        }
        if (pos < utf8.size()) {
            hash = (hash ^ NextFolded(utf8, pos)) * kFnvPrime;
        }
    }
    // FNV's low bits follow the last characters closely; the finalizer of MurmurHash3 spreads
    // them, so that a table indexed by the low bits sees few collisions.
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDu;
    hash ^= hash >> 33;
    return static_cast<std::size_t>(hash);
}

}  // namespace qelt::unicode
