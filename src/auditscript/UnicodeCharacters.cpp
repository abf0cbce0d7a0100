#include "auditscript/UnicodeCharacters.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "auditscript/UnicodeCharacterTables.h"
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

bool IsLetter(char32_t codePoint) {
    if (codePoint < 0x80) {
        return (codePoint >= 'A' && codePoint <= 'Z') || (codePoint >= 'a' && codePoint <= 'z');
    }
    return InRanges(kLetterRanges, codePoint);
}

bool IsDecimalDigit(char32_t codePoint) {
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

std::u32string CaseFolded(std::string_view utf8) {
    std::u32string folded;
    folded.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        folded.push_back(SimpleCaseFold(text::DecodeUtf8(utf8, pos)));
    }
    return folded;
}

}  // namespace qelt::unicode
