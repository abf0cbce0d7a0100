#include "auditscript/TriggerCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "auditscript/SQLFuncs.h"
#include "auditscript/WorkedExample.h"
#include "support/ColumnFacts.h"

namespace qelt {
namespace {

using Kind = TriggerDifference::Kind;

// The trigger today's generator writes for the columns, as the server keeps its text.
std::string TriggerFor(const std::vector<Field>& columns, const TableFacts& table = {}) {
    ScriptBuffer script;
    WriteAuditTriggerScript(script, "Companies", "AuditTrailCompanies", "CompanyIntID",
                            "CompanyName", FieldVector(columns), table);
    return script.Text();
}

std::vector<TriggerColumn> Read(const std::string& text) {
    const auto columns = ReadAuditTrigger(text);
    EXPECT_TRUE(columns) << text;
    return columns.value_or(std::vector<TriggerColumn>{});
}

TEST(ReadAuditTrigger, FindsWhatTheWorkedExampleSetsAndLogs) {
    const std::vector<TriggerColumn> columns = Read(test::CompaniesScript());
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[0].name, "CompanyIntID");
    EXPECT_TRUE(columns[0].set);
    EXPECT_FALSE(columns[0].flagged);  // the key
    EXPECT_TRUE(columns[2].flagged);   // Employees
    EXPECT_EQ(columns[2].oldValue, "CAST(Employees AS NVARCHAR(20))");
    EXPECT_EQ(columns[2].newValue, columns[2].oldValue);
    EXPECT_FALSE(columns[3].flagged);  // EditedBy
}

TEST(ReadAuditTrigger, UndoesBracketsAndQuotes) {
    const std::vector<TriggerColumn> columns = Read(TriggerFor({{"CompanyIntID", ado::adInteger},
                                                                {"O'Brien Name", ado::adVarWChar},
                                                                {"数量", ado::adInteger}}));
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[1].name, "O'Brien Name");
    EXPECT_TRUE(columns[1].set);
    EXPECT_TRUE(columns[1].flagged);
    EXPECT_EQ(columns[2].name, "数量");
    EXPECT_TRUE(columns[2].set);
}

struct NotOurs {
    std::string name;
    std::string text;
};

class ReadAuditTriggerRefuses : public ::testing::TestWithParam<NotOurs> {};

TEST_P(ReadAuditTriggerRefuses, TextsThatAreNoAuditTriggerOfOurs) {
    EXPECT_FALSE(ReadAuditTrigger(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadAuditTriggerRefuses,
    ::testing::Values(
        NotOurs{"Empty", ""},
        NotOurs{"HandWrittenTriggerOfTheSameName",
                "CREATE TRIGGER QLX_AuditTrailCompanies ON Companies\nINSTEAD OF UPDATE\nAS\n"
                "BEGIN\n    UPDATE Companies SET CompanyName = INSERTED.CompanyName FROM INSERTED\n"
                "END\n"},
        NotOurs{"AnotherTrigger", "CREATE TRIGGER trgCompanies ON Companies AFTER UPDATE AS\n"},
        NotOurs{"TruncatedAfterTheFirstCase",
                test::CompaniesScript().substr(0, test::CompaniesScript().find("END,"))},
        NotOurs{"RemovalScript",
                "IF OBJECT_ID(N'QLX_AuditTrailCompanies', N'TR') IS NOT NULL\n"
                "    DROP TRIGGER QLX_AuditTrailCompanies\nGO\n"}),
    [](const auto& info) { return info.param.name; });

struct DifferenceCase {
    std::string name;
    std::vector<Field> installed;
    std::vector<Field> today;
    std::vector<std::pair<Kind, std::string>> expected;
};

class CompareAuditTriggersTest : public ::testing::TestWithParam<DifferenceCase> {};

TEST_P(CompareAuditTriggersTest, NamesEachColumnThatDiffers) {
    const auto& c = GetParam();
    std::vector<std::pair<Kind, std::string>> found;
    for (const TriggerDifference& difference :
         CompareAuditTriggers(Read(TriggerFor(c.installed)), Read(TriggerFor(c.today)))) {
        found.emplace_back(difference.kind, difference.column);
    }
    EXPECT_EQ(found, c.expected);
}

const std::vector<Field> kExampleColumns = test::kCompaniesColumns;

std::vector<Field> With(std::vector<Field> columns, Field more) {
    columns.push_back(std::move(more));
    return columns;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareAuditTriggersTest,
    ::testing::Values(DifferenceCase{"Unchanged", kExampleColumns, kExampleColumns, {}},
                      DifferenceCase{"ColumnAdded",
                                     kExampleColumns,
                                     With(kExampleColumns, {"Turnover", ado::adDouble}),
                                     {{Kind::Added, "Turnover"}}},
                      DifferenceCase{"ColumnDropped",
                                     With(kExampleColumns, {"Turnover", ado::adDouble}),
                                     kExampleColumns,
                                     {{Kind::Dropped, "Turnover"}}},
                      DifferenceCase{"TypeChanged",
                                     With(kExampleColumns, {"Notes", ado::adVarWChar}),
                                     With(kExampleColumns, {"Notes", ado::adLongVarChar}),
                                     {{Kind::Changed, "Notes"}}},
                      DifferenceCase{
                          "BecameComputed",
                          With(kExampleColumns, {"Total", ado::adInteger}),
                          With(kExampleColumns, {"Total", ado::adInteger, test::ComputedFacts()}),
                          {{Kind::Changed, "Total"}}},
                      DifferenceCase{"OtherLetterCaseIsTheSameColumn",
                                     With(kExampleColumns, {"Notes", ado::adVarWChar}),
                                     With(kExampleColumns, {"NOTES", ado::adVarWChar}),
                                     {}}),
    [](const auto& info) { return info.param.name; });

TEST(DifferenceText, SaysWhatHappensToUpdates) {
    EXPECT_EQ(DifferenceText("Companies", {Kind::Added, "Turnover", {}}),
              "Companies: the column 'Turnover' was added after the trigger was made: the trigger "
              "does not set it, so every update of it is discarded");
    EXPECT_NE(DifferenceText("Companies", {Kind::Dropped, "Turnover", {}}).find("Msg 207"),
              std::string::npos);
}

}  // namespace
}  // namespace qelt
