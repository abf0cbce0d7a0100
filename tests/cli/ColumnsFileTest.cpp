#include "cli/ColumnsFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include "support/ColumnFacts.h"
#include "support/TempFolder.h"

namespace qelt::cli {
namespace {

using ::testing::HasSubstr;

std::string Repeated(std::string_view text, int times) {
    std::string repeated;
    for (int i = 0; i < times; ++i) {
        repeated += text;
    }
    return repeated;
}

// "Column0<TAB>3", "Column1<TAB>3", … each ended by `lineEnd`.
std::string NumberedNames(int count, std::string_view lineEnd) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "Column" + std::to_string(i) + "\t3" + std::string(lineEnd);
    }
    return text;
}

ColumnFacts IdentityPrimaryKey() {
    ColumnFacts facts = test::IdentityFacts();
    facts.primaryKey = true;
    return facts;
}

struct ParseCase {
    std::string name;
    std::string text;
    std::pmr::vector<Field> columns;
};

class ParseColumnsOk : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseColumnsOk, ReadsEveryLine) {
    EXPECT_EQ(ParseColumns(GetParam().text), GetParam().columns);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseColumnsOk,
    ::testing::Values(
        ParseCase{"LfWithoutFinalNewline",
                  "A\t202\nB\t3",
                  {{"A", ado::adVarWChar}, {"B", ado::adInteger}}},
        ParseCase{"CrLf", "A\t202\r\nB\t3\r\n", {{"A", ado::adVarWChar}, {"B", ado::adInteger}}},
        ParseCase{"ByteOrderMark",
                  "\xEF\xBB\xBF"
                  "A\t202\n",
                  {{"A", ado::adVarWChar}}},
        ParseCase{"NamesKeepBlanksAndQuotes",
                  "First Name\t202\nO'Brien\t130\n",
                  {{"First Name", ado::adVarWChar}, {"O'Brien", ado::adWChar}}},
        ParseCase{"Utf8Name", "Straße\t202\n", {{"Straße", ado::adVarWChar}}},
        ParseCase{"CrLineEnds", "A\t202\rB\t3\r", {{"A", ado::adVarWChar}, {"B", ado::adInteger}}},
        ParseCase{"BlankLinesBetween",
                  "\nA\t202\n\r\nB\t3",
                  {{"A", ado::adVarWChar}, {"B", ado::adInteger}}},
        ParseCase{"CaseFoldingKeepsDifferentLetters",
                  "Strasse\t202\nStraße\t202\nI\t3\nı\t3\n",
                  {{"Strasse", ado::adVarWChar},
                   {"Straße", ado::adVarWChar},
                   {"I", ado::adInteger},
                   {"ı", ado::adInteger}}},
        ParseCase{"LongestName",
                  std::string(128, 'n') + "\t3\n" + std::string(64, 'x') + "\xF0\x9D\x90\x80\t3\n",
                  {{std::string(128, 'n'), ado::adInteger},
                   {std::string(64, 'x') + "\xF0\x9D\x90\x80", ado::adInteger}}},
        // More than 128 bytes, but 100 UTF-16 units.
        ParseCase{"LongInBytesOnly",
                  "A\t3\n" + Repeated("é", 100) + "\t3\n",
                  {{"A", ado::adInteger}, {Repeated("é", 100), ado::adInteger}}},
        ParseCase{"Int32Limits",
                  "A\t-2147483648\nB\t2147483647\n",
                  {{"A", -2147483648}, {"B", 2147483647}}},
        ParseCase{"FactsAfterTheType",
                  "Id\t3\tidentity\tprimary-key\r\nAmount\t131\ttype=numeric\tsize=38\tscale=10\n"
                  "Version\t128\trowversion\nTotal\t3\tcomputed\t\nName\t202\t\tsize=0\n",
                  {{"Id", ado::adInteger, IdentityPrimaryKey()},
                   {"Amount", ado::adNumeric, test::TypeFacts("numeric", 38, 10)},
                   {"Version", ado::adBinary, test::TypeFacts("rowversion")},
                   {"Total", ado::adInteger, test::ComputedFacts()},
                   {"Name", ado::adVarWChar}}}),
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
    ::testing::Values(
        BadCase{"NoTab", "A\t202\nB 202\n", "line 2: "},
        BadCase{"TypeNotANumber", "A\tint\n", "line 1: the type code 'int'"},
        BadCase{"TypeTooLarge", "A\t2147483648\n", "line 1: "},
        BadCase{"TypeTooSmall", "A\t-2147483649\n", "line 1: "},
        BadCase{"TypeWithTrailingText", "\nA\t202x\n", "line 2: "},
        BadCase{"TypeEmpty", "A\t\n", "line 1: "}, BadCase{"SecondTab", "A\t202\t1\n", "line 1: "},
        BadCase{"EmptyName", "\t202\n", "line 1: the column name is empty"},
        BadCase{"TypeWithBlank", "A\t 202\n", "line 1: "},
        BadCase{"UnknownFact", "A\t3\nB\t3\tautoincrement\n",
                "line 2: the field 'autoincrement' is not understood (expected identity, computed, "
                "rowversion, primary-key, type=NAME, size=N or scale=N)"},
        BadCase{"FactInOtherCase", "A\t3\tIdentity\n", "line 1: the field 'Identity'"},
        BadCase{"NegativeSize", "A\t202\tsize=-1\n", "line 1: the size '-1' is not a whole number"},
        BadCase{"ScaleNotANumber", "A\t131\tscale=two\n", "line 1: the scale 'two'"},
        BadCase{"SizeWithoutValue", "A\t202\tsize=\n", "line 1: the size ''"},
        BadCase{"EmptyTypeName", "A\t202\ttype=\n", "line 1: the field 'type='"},
        BadCase{"Empty", "", "lists no column"},
        BadCase{"OnlyBlankLines", "\n\r\n", "lists no column"},
        BadCase{"OnlyByteOrderMark", "\xEF\xBB\xBF", "lists no column"},
        BadCase{"NulInName", std::string("A\0B\t202\n", 7),
                "line 1: the column name 'A\\x00B' holds a control character"},
        BadCase{"EscapeInName", "A\t3\nB\x1B[2J\t202\n",
                "line 2: the column name 'B\\x1B[2J' holds a control character"},
        BadCase{"C1ControlInName", "A\xC2\x85\t202\n", "line 1: "},
        BadCase{"DelInName", "A\x7F\t202\n", "line 1: "},
        BadCase{"CarriageReturnInName", "A\rGO\t202\n", "line 1: "},
        BadCase{"NotUtf8",
                "Stra\xDF"
                "e\t202\n",
                "line 1: the column name 'Stra\\xDFe' is not UTF-8 text"},
        BadCase{"DuplicateExact", "A\t3\nB\t3\nA\t202\n",
                "line 3: the column name 'A' repeats the name on line 1"},
        BadCase{"DuplicateIgnoringAsciiCase", "Name\t3\nNAME\t202\n",
                "line 2: the column name 'NAME' repeats the name on line 1"},
        BadCase{"DuplicateIgnoringUnicodeCase", "Größe\t3\n\nGRÖSSE\t3\ngröße\t3\n",
                "line 4: the column name 'größe' repeats the name on line 1"},
        BadCase{"DuplicateAfterBlankLines", "\nA\t3\n\nB\t3\r\n\r\nb\t3\n",
                "line 6: the column name 'b' repeats the name on line 4"},
        // CR line ends are not counted ahead: the table of names grows meanwhile.
        BadCase{"DuplicateAfterTheNameTableGrew", NumberedNames(40, "\r") + "column1\t3\r",
                "line 41: the column name 'column1' repeats the name on line 2"},
        BadCase{"DuplicateGreekFinalSigma", "ΟΔΟΣ\t3\nοδος\t3\n", "line 2: "},
        BadCase{"NameTooLong", "A\t3\n" + std::string(129, 'n') + "\t3\n",
                "line 2: the column name '" + std::string(129, 'n') +
                    "' has 129 characters, more than SQL "
                    "Server's 128"},
        BadCase{"NameTooLongInUtf16", std::string(127, 'x') + "\xF0\x9D\x90\x80\t3\n",
                "line 1: the column name '" + std::string(127, 'x') +
                    "\xF0\x9D\x90\x80' has 129 characters"},
        BadCase{"Utf16LittleEndian",
                std::string("\xFF\xFE"
                            "A\0\t\0"
                            "3\0",
                            8),
                "is UTF-16 text"},
        BadCase{"Utf16WithoutByteOrderMark",
                std::string("A\0\t\0"
                            "3\0",
                            6),
                "is UTF-16 text"}),
    [](const auto& info) { return info.param.name; });

std::string ReadError(const std::filesystem::path& path) {
    try {
        ReadColumnsFile(path);
    } catch (const ColumnsFileError& error) {
        return error.what();
    }
    return "accepted";
}

TEST(ReadColumnsFile, SaysWhyAFileCannotBeRead) {
    test::TempFolder dir;
    EXPECT_EQ(ReadError(dir.Path() / "missing.tsv"),
              "the columns file '" + (dir.Path() / "missing.tsv").string() +
                  "' cannot be read: " + std::strerror(ENOENT));
    EXPECT_EQ(ReadError(dir.Path()), "the columns file '" + dir.Path().string() + "' is a folder");
#ifndef _WIN32  // Windows file names hold no control characters
    const auto controlName = dir.Write("a\x1B]0;x\a.tsv", "A\t3\n");
    EXPECT_THAT(ReadError(dir.Path() / "a\x1B]0;x"), HasSubstr("a\\x1B]0;x' cannot be read"));
    EXPECT_EQ(ReadColumnsFile(controlName), (std::pmr::vector<Field>{{"A", ado::adInteger}}));
#endif
}

#ifndef _WIN32
// A FIFO is refused at once, without waiting for a writer.
TEST(ReadColumnsFile, FifoIsNotARegularFile) {
    test::TempFolder dir;
    const auto fifo = dir.Path() / "columns.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadError(fifo), "the columns file '" + fifo.string() + "' is not a regular file");
}

#if !defined(__SANITIZE_ADDRESS__)
// Reads the file with the address space limited to 4 GiB, prints the error and exits.
[[noreturn]] void ReadUnderFourGibibytes(const std::filesystem::path& path) {
    const rlimit limit{std::size_t{1} << 32, std::size_t{1} << 32};
    setrlimit(RLIMIT_AS, &limit);
    std::fputs(ReadError(path).c_str(), stderr);
    std::exit(0);
}

// A file larger than the memory the process may take ends with a message, not an abort. The file
// is sparse: it takes no disk space.
TEST(ReadColumnsFile, OutOfMemoryIsAClearError) {
    GTEST_FLAG_SET(death_test_style, "fast");
    test::TempFolder dir;
    const auto huge = dir.Write("huge.tsv", "");
    std::error_code error;
    std::filesystem::resize_file(huge, std::uintmax_t{1} << 36, error);
    if (error) {
        GTEST_SKIP() << "no sparse file of 64 GiB here: " << error.message();
    }
    EXPECT_EXIT(ReadUnderFourGibibytes(huge), ::testing::ExitedWithCode(0),
                "huge.tsv' cannot be read: out of memory");
}
#endif
#endif

TEST(ReadColumnsFile, NamesTheFileAndLine) {
    test::TempFolder dir;
    const auto file = dir.Write("cols.tsv", "A\t202\nB\n");
    try {
        ReadColumnsFile(file);
        FAIL() << "accepted";
    } catch (const ColumnsFileError& error) {
        EXPECT_THAT(error.what(), HasSubstr("cols.tsv', line 2: expected NAME<TAB>"));
    }
}

// A field stating the fact, with a value of the kind the fact takes.
std::string FieldOf(const ColumnFactField& fact) {
    if (fact.valueShown.empty()) {
        return std::string(fact.name);
    }
    return std::string(fact.name) + "=" + (fact.valueShown == "N" ? "7" : "xml");
}

ColumnFacts FactsOfField(const std::string& field) {
    return *ParseColumns("A\t202\t" + field + "\n").front().Facts;
}

std::string FactTestName(const ::testing::TestParamInfo<ColumnFactField>& info) {
    std::string name(info.param.name);
    std::erase(name, '-');
    return name;
}

class ColumnFact : public ::testing::TestWithParam<ColumnFactField> {};

// A fact that records nothing, or what another fact records, is a slip in the table.
TEST_P(ColumnFact, RecordsWhatNoOtherFactDoes) {
    const std::string field = FieldOf(GetParam());
    const ColumnFacts facts = FactsOfField(field);
    EXPECT_NE(facts, ColumnFacts()) << field;
    for (const ColumnFactField& other : ColumnFactFields()) {
        if (other.name != GetParam().name) {
            EXPECT_NE(facts, FactsOfField(FieldOf(other))) << field << " and " << FieldOf(other);
        }
    }
}

TEST_P(ColumnFact, RefusedWithAValueItDoesNotTake) {
    const ColumnFactField& fact = GetParam();
    const std::string field =
        fact.valueShown.empty() ? std::string(fact.name) + "=1" : std::string(fact.name);
    try {
        FactsOfField(field);
        FAIL() << field << " accepted";
    } catch (const ColumnsFileError& error) {
        EXPECT_THAT(error.what(), HasSubstr("the field '" + field + "' is not understood"));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFact, ColumnFact, ::testing::ValuesIn(ColumnFactFields()),
                         FactTestName);

}  // namespace
}  // namespace qelt::cli
