#include "support/TsqlCheck.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "auditscript/SQLFuncs.h"
#include "auditscript/WorkedExample.h"
#include "support/CaseName.h"

namespace qelt::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// The worked example with LF line ends, for edits that read like the script.
std::string WorkedExample() {
    return std::string(kCompaniesAuditTable) + kCompaniesTrigger;
}

// The 1-based line of the byte at pos.
int LineAt(std::string_view text, std::size_t pos) {
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + pos, '\n'));
}

// The script with its first occurrence of `from` replaced by `to`; `from` must occur.
std::string Edited(std::string script, std::string_view from, std::string_view to) {
    const std::size_t at = script.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? script : script.replace(at, from.size(), to);
}

TEST(TsqlCheck, AcceptsTheWorkedExample) {
    EXPECT_THAT(TsqlProblems(CompaniesScript()), IsEmpty());
}

// Columns whose names T-SQL takes only in brackets or, with a quote, only doubled in a literal:
// the generator's script for them must still parse.
TEST(TsqlCheck, AcceptsTheGeneratedScriptForNamesThatNeedQuoting) {
    const std::vector<Field> columns = {{"ItemKey", ado::adVarWChar},
                                        {"Order", ado::adVarWChar},
                                        {"First Name", ado::adVarWChar},
                                        {"O'Brien", ado::adVarWChar},
                                        {"Preis€", ado::adCurrency},
                                        {"Straße", ado::adVarWChar},
                                        {"数量", ado::adInteger},
                                        {"a]b", ado::adVarWChar},
                                        {"no\u00A0break", ado::adVarWChar},
                                        {"\U0001F600", ado::adVarWChar},
                                        {"2nd", ado::adInteger},
                                        {"EditedBy", ado::adVarWChar}};
    ScriptBuffer script;
    WriteAuditTableScript(script, "AuditTrailItems");
    WriteAuditTriggerScript(script, "Items", "AuditTrailItems", "ItemKey", "ItemKey",
                            FieldVector(columns));
    EXPECT_THAT(TsqlProblems(script.Text()), IsEmpty()) << script.Text();
}

TEST(TsqlCheck, AcceptsTheRemovalScript) {
    const std::string script = CrLf(R"(IF OBJECT_ID(N'QLX_AuditTrailCompanies', N'TR') IS NOT NULL
    DROP TRIGGER QLX_AuditTrailCompanies
GO
IF OBJECT_ID(N'[dbo].[AuditTrailCompanies]', N'U') IS NOT NULL
    DROP TABLE [dbo].[AuditTrailCompanies]
GO
)");
    EXPECT_THAT(TsqlProblems(script), IsEmpty());
}

TEST(TsqlCheck, AcceptsATriggerWhoseUpdateIsAComment) {
    const std::string script = WorkedExample();
    const std::size_t from = script.find("UPDATE Companies SET");
    const std::string whereLine = "Where (Companies.CompanyIntID = INSERTED.CompanyIntID)";
    const std::size_t to = script.find(whereLine) + whereLine.size();
    const std::string edited = script.substr(0, from) +
                               "-- No column of Companies can be set by an UPDATE, so the "
                               "trigger updates nothing." +
                               script.substr(to);
    EXPECT_THAT(TsqlProblems(CrLf(edited)), IsEmpty()) << edited;
}

TEST(TsqlCheck, AcceptsOtherNvarcharLengthsInTheCaseBlocks) {
    std::string script = WorkedExample();
    script = Edited(script, "CAST(DELETED.Employees AS NVARCHAR(20))",
                    "CAST(DELETED.Employees AS NVARCHAR(36))");
    script = Edited(script, "CAST(DELETED.EditDate AS NVARCHAR(20))",
                    "CAST(DELETED.EditDate AS NVARCHAR(MAX))");
    script = Edited(script, "CAST(INSERTED.Employees AS NVARCHAR(20))",
                    "CAST(INSERTED.Employees AS nvarchar(4000))");
    EXPECT_THAT(TsqlProblems(CrLf(script)), IsEmpty());
}

// Short scripts for the lexer's and the expressions' corners.
struct SnippetCase {
    std::string name;
    const char* text;
};

class AcceptedSnippet : public ::testing::TestWithParam<SnippetCase> {};

TEST_P(AcceptedSnippet, Parses) {
    EXPECT_THAT(TsqlProblems(GetParam().text), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    TsqlCheck, AcceptedSnippet,
    ::testing::Values(
        SnippetCase{"QuotedStrings", "SET @v=N'it''s' SET @w='x'"},
        SnippetCase{"BracketedNames", "SELECT [a]]b].[c d] FROM [t]]]"},
        SnippetCase{"DoubleQuotedNames", "SELECT \"q\"\"x\".y FROM \"t\""},
        SnippetCase{"NestedComments", "/* a /* nested */ b ) */ SET @v=1"},
        SnippetCase{"CommentsAndGo", "SET @v=1 -- a ')' in a comment\nGO -- a comment after GO"},
        SnippetCase{"Operators", "IF @a<>1 OR NOT @b!=2 AND -@c>=3 SET @v=(@a+2)*3%4/5-1"},
        SnippetCase{"LowerCaseKeywords", "select @v=count(*) from t where t.x is null"},
        SnippetCase{"BeginEndAndCase",
                    "BEGIN\nSET @v=CASE WHEN @a=1 THEN 'x' ELSE NULL END;\nEND;"},
        SnippetCase{"DeclareWithSizes",
                    "DECLARE @n NVARCHAR(4000), @d DECIMAL(18, 2), @x NVARCHAR(MAX)"},
        SnippetCase{"KeyChangeRefusal",
                    "IF UPDATE(k) AND ((SELECT COUNT(*) FROM INSERTED) > 1 OR EXISTS (SELECT k "
                    "FROM INSERTED EXCEPT SELECT k FROM DELETED))\nBEGIN\n    RAISERROR(N'no "
                    "%%', 16, 1)\n    ROLLBACK TRANSACTION\n    RETURN\nEND"},
        SnippetCase{"FunctionsAndUnicodeLiteral",
                    "SELECT LEFT(@n, 40), CONVERT(NVARCHAR(MAX), CONVERT(VARBINARY(MAX), t.b), 1), "
                    "MAX(c.colid) FROM t, c WHERE t.n = N'数量'"},
        SnippetCase{"EmptyBatches", "GO\n\nGO\n"}, SnippetCase{"Empty", ""}),
    test::CaseNameOf());

struct RejectedSnippet {
    const char* what;
    std::string script;
    int line;
    std::string_view message;
};

void PrintTo(const RejectedSnippet& c, std::ostream* os) {
    *os << c.what;
}

class RejectedSnippetTest : public ::testing::TestWithParam<RejectedSnippet> {};

TEST_P(RejectedSnippetTest, NamesTheLine) {
    const RejectedSnippet& c = GetParam();
    EXPECT_THAT(TsqlProblems(c.script),
                ElementsAre(AllOf(StartsWith("line " + std::to_string(c.line) + ": "),
                                  HasSubstr(c.message))));
}

INSTANTIATE_TEST_SUITE_P(
    TsqlCheck, RejectedSnippetTest,
    ::testing::Values(
        RejectedSnippet{"UnclosedComment", "SET @v=1\n/* a /* b */ c", 2, "/* comment without */"},
        RejectedSnippet{"StrayCharacter", "SET @v=1 ?", 1, "unexpected character '?'"},
        RejectedSnippet{"ControlCharacter", "SET @v=\x01", 1, "unexpected character '\\x01'"},
        RejectedSnippet{"UnclosedQuotedName", "SELECT \"x\nFROM t", 1, "name not closed"},
        RejectedSnippet{"LiteralEndingInADoubledQuote", "SET @v='it''\nSET @w='x'", 1,
                        "literal not closed"},
        RejectedSnippet{"EmptyBracketedName", "SELECT [] FROM t", 1, "empty [...] name"},
        RejectedSnippet{"LongBracketedName", "SELECT [" + std::string(129, 'a') + "]", 1,
                        "longer than 128"},
        RejectedSnippet{"LongBareName", "SELECT\n" + std::string(129, 'a'), 2, "longer than 128"},
        RejectedSnippet{"VariableWithoutAName", "SET @=1", 1, "'@' without a variable name"},
        RejectedSnippet{"CaseWithoutWhen", "SET @v=1\nSET @v=CASE @a END", 2, "CASE without WHEN"},
        RejectedSnippet{"EmptyExpression", "SET @v=1\nSET @w=\nSET @x=2", 3,
                        "expected an expression, found 'SET'"},
        RejectedSnippet{"ZeroLength", "DECLARE @n NVARCHAR(0)", 1, "length 0"},
        RejectedSnippet{"FractionalLength", "DECLARE @n [varchar] (8.5)", 1, "length 8.5"},
        RejectedSnippet{"StatementCutOffByGo", "IF (@a=1)\nGO\n", 2,
                        "expected a statement, found GO"},
        RejectedSnippet{"SetWithoutATarget", "SET @v=1 SET", 1, "found the end of the script"},
        RejectedSnippet{"OptionWithoutOnOrOff", "SET NOCOUNT\nSET @v=1", 2, "expected ON or OFF"},
        RejectedSnippet{"ExistsWithoutASelect", "IF EXISTS (@a)\nRETURN", 1, "expected SELECT"},
        RejectedSnippet{"ConvertWithoutAType", "SET @v=CONVERT(1, @a)", 1,
                        "expected a name, found '1'"},
        RejectedSnippet{"SubqueryWithoutItsClose",
                        "SET @v=1\nIF (SELECT COUNT(*) FROM t > 1\nRETURN", 2, "'(' without ')'"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(TsqlCheck, ReportsTheFirstProblemOfEachBatchInLineOrder) {
    EXPECT_THAT(TsqlProblems("SET @v=(1\nSET @w=)\nGO\nGO x\nSET @v=2)\n"),
                ElementsAre(StartsWith("line 1: '(' without ')'"),
                            StartsWith("line 4: GO must stand alone"),
                            StartsWith("line 5: expected a statement, found ')'")));
}

struct BrokenCase {
    const char* what;
    std::string_view from;  // the edit of the worked example
    std::string_view to;
    std::string_view lineEndingWith;  // the problem is on this text's last line; empty: the edit's
    std::string_view message;
};

void PrintTo(const BrokenCase& c, std::ostream* os) {
    *os << c.what;
}

class BrokenWorkedExample : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenWorkedExample, IsRejectedOnTheRightLine) {
    const BrokenCase& c = GetParam();
    const std::string script = Edited(WorkedExample(), c.from, c.to);
    // The text before the edit is unchanged, so the edit starts where `from` stood.
    const int line =
        c.lineEndingWith.empty()
            ? LineAt(script, WorkedExample().find(c.from))
            : LineAt(script, script.find(c.lineEndingWith) + c.lineEndingWith.size() - 1);
    EXPECT_THAT(TsqlProblems(CrLf(script)),
                ElementsAre(AllOf(StartsWith("line " + std::to_string(line) + ": "),
                                  HasSubstr(c.message))));
}

INSTANTIATE_TEST_SUITE_P(
    TsqlCheck, BrokenWorkedExample,
    ::testing::Values(
        BrokenCase{"WhereWithoutCloseParenthesis",
                   "(Companies.CompanyIntID = INSERTED.CompanyIntID)",
                   "(Companies.CompanyIntID = INSERTED.CompanyIntID", "", "'(' without ')'"},
        BrokenCase{"FunctionCallWithoutCloseParenthesis", "@CurrentCol)\n", "@CurrentCol\n", "",
                   "'(' without ')'"},
        BrokenCase{"TypeLengthWithoutCloseParenthesis", "[nvarchar] (80)", "[nvarchar] (80", "",
                   "'(' without ')'"},
        BrokenCase{"ExtraCloseParenthesis", "SET @Flag=0\n", "SET @Flag=0)\n", "", "found ')'"},
        BrokenCase{"TriggerWithoutItsEnd", "SET NOCOUNT OFF\nEND\n", "SET NOCOUNT OFF\n",
                   "AS\nBEGIN", "BEGIN without END"},
        BrokenCase{"KeyRefusalWithoutItsEnd", "    RETURN\nEND\n", "    RETURN\n", "AS\nBEGIN",
                   "BEGIN without END"},
        BrokenCase{"KeyRefusalWithoutCloseParenthesis", "FROM DELETED))\n", "FROM DELETED)\n", "",
                   "'(' without ')'"},
        BrokenCase{"WhileWithoutBegin", "(@CurrentCol<=@TotalCol)\nBEGIN\n",
                   "(@CurrentCol<=@TotalCol)\n", "SET NOCOUNT OFF\nEND", "END without BEGIN"},
        BrokenCase{"CaseWithoutEnd", "        END,\n", "", "CASE @CurrentColName",
                   "CASE without END"},
        BrokenCase{"CommaBeforeTheEndOfACase", "AS NVARCHAR(20))\n        END,",
                   "AS NVARCHAR(20)),\n        END,", "", "comma inside CASE before 'END'"},
        BrokenCase{"EmptySetList",
                   "SET\n    CompanyIntID = INSERTED.CompanyIntID,\n"
                   "    CompanyName = INSERTED.CompanyName,\n"
                   "    Employees = INSERTED.Employees,\n    EditedBy = INSERTED.EditedBy,\n"
                   "    EditDate = INSERTED.EditDate\n",
                   "SET\n", "", "SET list is empty, found 'From'"},
        BrokenCase{"CommaAfterTheLastAssignment", "INSERTED.EditDate\n    From",
                   "INSERTED.EditDate,\n    From", "", "comma before 'From'"},
        BrokenCase{"TwoCommasInARow", "INSERTED.CompanyName,\n", "INSERTED.CompanyName,,\n", "",
                   "two commas in a row"},
        BrokenCase{"CommaAfterTheLastColumnOfTheTable", "[TransDate] [datetime] NULL\n",
                   "[TransDate] [datetime] NULL ,\n", "", "comma before ')'"},
        BrokenCase{"CommaAfterTheLastConstraint", ")  ON [PRIMARY]\n", ")  ON [PRIMARY],\n", "",
                   "comma before GO"},
        BrokenCase{"BareReservedColumn", "Employees = INSERTED.Employees,",
                   "Order = INSERTED.Order,", "", "'Order' is a reserved keyword"},
        BrokenCase{"BareReservedColumnAfterADot", "THEN INSERTED.CompanyName",
                   "THEN INSERTED.Order", "", "'Order' is a reserved keyword"},
        BrokenCase{"BareColumnWithASpace", "Employees = INSERTED.Employees,",
                   "First Name = INSERTED.First Name,", "", "expected '=', found 'Name'"},
        BrokenCase{"BareColumnWithASymbol", "THEN DELETED.CompanyName", "THEN DELETED.Preis€", "",
                   "'Preis€' is not a regular identifier"},
        BrokenCase{"BareColumnStartingWithADigit", "EditedBy = INSERTED.EditedBy",
                   "2ndEditor = INSERTED.2ndEditor", "", "'2ndEditor' starts with a digit"},
        BrokenCase{"UnclosedLiteral", "SET @QLXUserID='Null'", "SET @QLXUserID='Null", "",
                   "'...' literal not closed"},
        BrokenCase{"UnclosedBracket", "[TransDate] [datetime] NULL", "[TransDate] [datetime NULL",
                   "", "[...] name not closed"},
        BrokenCase{"TextAfterGo", "    )  ON [PRIMARY]\nGO\n", "    )  ON [PRIMARY]\nGO;\n",
                   "    )  ON [PRIMARY]\nGO", "GO must stand alone"},
        BrokenCase{"GoAfterText", "TEXTIMAGE_ON [PRIMARY]\nGO", "TEXTIMAGE_ON [PRIMARY] GO", "",
                   "GO must stand alone"},
        BrokenCase{"TriggerNotFirstInItsBatch", "    )  ON [PRIMARY]\nGO\n",
                   "    )  ON [PRIMARY]\n", "CREATE TRIGGER", "first statement of its batch"},
        BrokenCase{"TypeLengthOutOfRange", "NVARCHAR(384)", "NVARCHAR(4001)", "",
                   "length 4001 of NVARCHAR is not from 1 to 4000"},
        BrokenCase{"EmptyBlock", "    SET @CurrentCol=@CurrentCol+1\nEND",
                   "    SET @CurrentCol=@CurrentCol+1\nEND\nWHILE (1=1) BEGIN END", "WHILE (1=1)",
                   "BEGIN ... END without a statement"}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace qelt::test
