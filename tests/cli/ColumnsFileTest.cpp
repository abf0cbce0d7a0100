#include "cli/ColumnsFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace qelt::cli {
namespace {

using ::testing::HasSubstr;

struct ParseCase {
    std::string name;
    std::string text;
    std::vector<Field> columns;
};

class ParseColumnsOk : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseColumnsOk, ReadsEveryLine) {
    EXPECT_EQ(ParseColumns(GetParam().text), GetParam().columns);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseColumnsOk,
    ::testing::Values(ParseCase{"Empty", "", {}}, ParseCase{"OnlyBlankLines", "\n\r\n", {}},
                      ParseCase{"LfWithoutFinalNewline", "A\t202\nB\t3", {{"A", 202}, {"B", 3}}},
                      ParseCase{"CrLf", "A\t202\r\nB\t3\r\n", {{"A", 202}, {"B", 3}}},
                      ParseCase{"ByteOrderMark",
                                "\xEF\xBB\xBF"
                                "A\t202\n",
                                {{"A", 202}}},
                      ParseCase{"NamesKeepBlanksAndQuotes",
                                "First Name\t202\nO'Brien\t130\n",
                                {{"First Name", 202}, {"O'Brien", 130}}},
                      ParseCase{"Utf8Name", "Straße\t202\n", {{"Straße", 202}}},
                      ParseCase{"Int32Limits",
                                "A\t-2147483648\nB\t2147483647\n",
                                {{"A", -2147483648}, {"B", 2147483647}}}),
    [](const auto& info) { return info.param.name; });

struct BadCase {
    std::string name;
    std::string text;
    std::string message;
};

class ParseColumnsRefused : public ::testing::TestWithParam<BadCase> {};

TEST_P(ParseColumnsRefused, NamesTheLine) {
    try {
        ParseColumns(GetParam().text);
        FAIL() << "accepted";
    } catch (const ColumnsFileError& error) {
        EXPECT_THAT(error.what(), HasSubstr(GetParam().message));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseColumnsRefused,
    ::testing::Values(BadCase{"NoTab", "A\t202\nB 202\n", "line 2: "},
                      BadCase{"TypeNotANumber", "A\tint\n", "line 1: the type code 'int'"},
                      BadCase{"TypeTooLarge", "A\t2147483648\n", "line 1: "},
                      BadCase{"TypeTooSmall", "A\t-2147483649\n", "line 1: "},
                      BadCase{"TypeWithTrailingText", "\nA\t202x\n", "line 2: "},
                      BadCase{"TypeEmpty", "A\t\n", "line 1: "},
                      BadCase{"SecondTab", "A\t202\t1\n", "line 1: "},
                      BadCase{"EmptyName", "\t202\n", "line 1: the column name is empty"},
                      BadCase{"TypeWithBlank", "A\t 202\n", "line 1: "}),
    [](const auto& info) { return info.param.name; });

TEST(ReadColumnsFile, RefusesMissingFilesAndFolders) {
    test::TempFolder dir;
    EXPECT_THROW(ReadColumnsFile(dir.Path() / "missing.tsv"), ColumnsFileError);
    EXPECT_THROW(ReadColumnsFile(dir.Path()), ColumnsFileError);
}

TEST(ReadColumnsFile, NamesTheFileAndLine) {
    test::TempFolder dir;
    const auto file = dir.Write("cols.tsv", "A\t202\nB\n");
    try {
        ReadColumnsFile(file);
        FAIL() << "accepted";
    } catch (const ColumnsFileError& error) {
        EXPECT_THAT(error.what(), HasSubstr("cols.tsv, line 2"));
    }
}

}  // namespace
}  // namespace qelt::cli
