#include "settings/FuncLib.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/CaseName.h"

namespace qelt {
namespace {

using namespace std::string_literals;

struct BlankCase {
    std::string name;
    std::string text;
    bool blank;
};

void PrintTo(const BlankCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.text);
}

class IsBlankTest : public testing::TestWithParam<BlankCase> {};

TEST_P(IsBlankTest, ClassifiesText) {
    EXPECT_EQ(IsBlank(GetParam().text), GetParam().blank);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsBlankTest,
    testing::Values(BlankCase{"Empty", "", true}, BlankCase{"Spaces", "   ", true},
                    BlankCase{"Nuls", "\0\0\0\0\0"s, true}, BlankCase{"Tab", "\t", false},
                    BlankCase{"Letter", "A", false}, BlankCase{"SpaceThenNul", " \0"s, false},
                    BlankCase{"NulThenSpace", "\0 "s, false}, BlankCase{"CrLf", "\r\n", false},
                    // Folders named in non-ASCII characters are not blank, whatever their bytes.
                    BlankCase{"Cjk", "\xE6\x97\xA5\xE6\x9C\xAC", false},
                    BlankCase{"Umlaut", "\xC3\x9C", false},
                    BlankCase{"DoubleByteSpace", "\x81\x40", false}),
    test::CaseNameOf());

struct PathCase {
    std::string name;
    std::string path;
    std::string expected;
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.path);
}

class AddTrailingSlashTest : public testing::TestWithParam<PathCase> {};

TEST_P(AddTrailingSlashTest, EndsInOneSeparator) {
    EXPECT_EQ(AddTrailingSlash(GetParam().path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, AddTrailingSlashTest,
                         testing::Values(PathCase{"WithoutSeparator", "C:\\Data", "C:\\Data\\"},
                                         PathCase{"EndsInBackslash", "C:\\Data\\", "C:\\Data\\"},
                                         PathCase{"EndsInSlash", "C:/Data/", "C:/Data/"},
                                         PathCase{"SpacesAround", "  C:\\Data  ", "C:\\Data\\"},
                                         PathCase{"Spaces", "   ", ""}, PathCase{"Empty", "", ""},
                                         PathCase{"Nuls", "\0\0"s, ""},
                                         PathCase{"LeadingTabStays", "\tC:\\Data", "\tC:\\Data\\"},
                                         PathCase{"TwoBackslashesStay", "C:\\Data\\\\",
                                                  "C:\\Data\\\\"},
                                         PathCase{"Cjk", "\xE6\x97\xA5", "\xE6\x97\xA5\\"}),
                         test::CaseNameOf());

struct SuffixCase {
    std::string name;
    std::string text;
    std::string suffix;
    std::string expected;
};

void PrintTo(const SuffixCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.text);
}

class StripSuffixTest : public testing::TestWithParam<SuffixCase> {};

TEST_P(StripSuffixTest, RemovesOneExactEnding) {
    EXPECT_EQ(StripSuffix(GetParam().text, GetParam().suffix), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StripSuffixTest,
    testing::Values(SuffixCase{"Backslash", "C:\\Users\\A\\Documents\\", "\\",
                               "C:\\Users\\A\\Documents"},
                    SuffixCase{"NoSuffix", "C:\\Data", "\\", "C:\\Data"},
                    SuffixCase{"OnlyOneOfTwo", "C:\\Docs\\\\", "\\", "C:\\Docs\\"},
                    SuffixCase{"CaseMatters", "report.doc", "DOC", "report.doc"},
                    SuffixCase{"EmptySuffix", "report.doc", "", "report.doc"},
                    SuffixCase{"SuffixLongerThanText", "c", "abc", "c"},
                    SuffixCase{"BlankTextStays", "  ", "  ", "  "},
                    SuffixCase{"WholeText", "abc", "abc", ""}),
    test::CaseNameOf());

struct NullCase {
    std::string name;
    std::string text;
    std::string expected;
};

void PrintTo(const NullCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.text);
}

class TrimAtNullTest : public testing::TestWithParam<NullCase> {};

TEST_P(TrimAtNullTest, CutsAtFirstNul) {
    EXPECT_EQ(TrimAtNull(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrimAtNullTest,
                         testing::Values(NullCase{"NulFirst", "\0abc"s, ""},
                                         NullCase{"WithoutNul", "abc", "abc"},
                                         NullCase{"TwoNuls", "ab\0c\0d"s, "ab"},
                                         NullCase{"Empty", "", ""},
                                         NullCase{"NulLast", "abc\0"s, "abc"}),
                         test::CaseNameOf());

}  // namespace
}  // namespace qelt
