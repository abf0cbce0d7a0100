// The generated character tables against ICU, code point by code point, so that a table
// generated from other Unicode data, or edited by hand, cannot go unnoticed.
#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "auditscript/UnicodeCharacters.h"
#include "support/CaseName.h"

namespace qelt {
namespace {

bool IcuIsLetter(UChar32 c) {
    switch (u_charType(c)) {
        case U_UPPERCASE_LETTER:
        case U_LOWERCASE_LETTER:
        case U_TITLECASE_LETTER:
        case U_MODIFIER_LETTER:
        case U_OTHER_LETTER:
            return true;
        default:
            return false;
    }
}

// T-SQL takes the letters and digits of Unicode 3.2, one UTF-16 code unit each.
bool TSqlTakes(UChar32 c) {
    UVersionInfo age;
    u_charAge(c, age);
    const UVersionInfo kLastAge = {3, 2, 0, 0};
    return c <= 0xFFFF && !std::lexicographical_compare(std::begin(kLastAge), std::end(kLastAge),
                                                        std::begin(age), std::end(age));
}

TEST(UnicodeCharacters, AgreeWithIcuForEveryCodePoint) {
    int mismatches = 0;
    for (UChar32 c = 0; c <= 0x10FFFF && mismatches < 10; ++c) {
        const auto codePoint = static_cast<char32_t>(c);
        const bool letter = unicode::IsTSqlLetter(codePoint) == (IcuIsLetter(c) && TSqlTakes(c));
        const bool digit = unicode::IsTSqlDecimalDigit(codePoint) ==
                           (u_charType(c) == U_DECIMAL_DIGIT_NUMBER && TSqlTakes(c));
        const bool folding = unicode::SimpleCaseFold(codePoint) ==
                             static_cast<char32_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
        if (!letter || !digit || !folding) {
            ++mismatches;
            ADD_FAILURE() << std::hex << "U+" << c << (letter ? "" : " letter")
                          << (digit ? "" : " digit") << (folding ? "" : " folding");
        }
    }
}

struct CaseFoldingCase {
    std::string name;
    const char* a;
    const char* b;
    bool same;  // the same name ignoring case
};

class NamesIgnoringCase : public ::testing::TestWithParam<CaseFoldingCase> {};

// Names compare and hash alike whether their letters are ASCII or not: a name table that hashed
// an ASCII run otherwise than the same letters folded from beyond ASCII would miss a repeat.
TEST_P(NamesIgnoringCase, CompareAndHashByTheirFoldedLetters) {
    const auto& c = GetParam();
    EXPECT_EQ(unicode::EqualIgnoringCase(c.a, c.b), c.same) << c.a << " " << c.b;
    if (c.same) {
        EXPECT_EQ(unicode::HashIgnoringCase(c.a), unicode::HashIgnoringCase(c.b)) << c.a;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NamesIgnoringCase,
    ::testing::Values(
        CaseFoldingCase{"AsciiLetters", "CompanyName", "COMPANYNAME", true},
        CaseFoldingCase{"KelvinSign", "Kelvin", "\u212Aelvin", true},  // the Kelvin sign folds to k
        CaseFoldingCase{"SharpSIsNotSs", "Maße", "MASSE", false},      // simple folding keeps ß
        CaseFoldingCase{"LettersBeyondAscii", "aÄb_1", "AäB_1", true},
        CaseFoldingCase{"LongS", "s", "\u017F", true},  // long s
        CaseFoldingCase{"FinalSigma", "ΟΔΟΣ", "οδος", true},
        CaseFoldingCase{"Prefix", "ab", "a", false}, CaseFoldingCase{"EmptyName", "a", "", false}),
    test::CaseNameOf());

}  // namespace
}  // namespace qelt
