#include "settings/FuncLib.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace qelt {
namespace {

using namespace std::string_literals;

struct BlankCase {
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
    testing::Values(BlankCase{"", true}, BlankCase{"   ", true}, BlankCase{"\0\0\0\0\0"s, true},
                    BlankCase{"\t", false}, BlankCase{"A", false}, BlankCase{" \0"s, false},
                    BlankCase{"\0 "s, false}, BlankCase{"\r\n", false},
                    // Folders named in non-ASCII characters are not blank, whatever their bytes.
                    BlankCase{"\xE6\x97\xA5\xE6\x9C\xAC", false}, BlankCase{"\xC3\x9C", false},
                    BlankCase{"\x81\x40", false}));

struct PathCase {
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

INSTANTIATE_TEST_SUITE_P(
    Cases, AddTrailingSlashTest,
    testing::Values(PathCase{"C:\\Data", "C:\\Data\\"}, PathCase{"C:\\Data\\", "C:\\Data\\"},
                    PathCase{"C:/Data/", "C:/Data/"}, PathCase{"  C:\\Data  ", "C:\\Data\\"},
                    PathCase{"   ", ""}, PathCase{"", ""}, PathCase{"\0\0"s, ""},
                    PathCase{"\tC:\\Data", "\tC:\\Data\\"},
                    PathCase{"C:\\Data\\\\", "C:\\Data\\\\"},
                    PathCase{"\xE6\x97\xA5", "\xE6\x97\xA5\\"}));

struct SuffixCase {
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
    testing::Values(SuffixCase{"C:\\Users\\A\\Documents\\", "\\", "C:\\Users\\A\\Documents"},
                    SuffixCase{"C:\\Data", "\\", "C:\\Data"},
                    SuffixCase{"C:\\Docs\\\\", "\\", "C:\\Docs\\"},
                    SuffixCase{"report.doc", "DOC", "report.doc"},
                    SuffixCase{"report.doc", "", "report.doc"}, SuffixCase{"c", "abc", "c"},
                    SuffixCase{"  ", "  ", "  "}, SuffixCase{"abc", "abc", ""}));

struct NullCase {
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
                         testing::Values(NullCase{"\0abc"s, ""}, NullCase{"abc", "abc"},
                                         NullCase{"ab\0c\0d"s, "ab"}, NullCase{"", ""},
                                         NullCase{"abc\0"s, "abc"}));

}  // namespace
}  // namespace qelt
