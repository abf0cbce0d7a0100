#include "auditscript/SQLFuncs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "auditscript/WorkedExample.h"
#include "dbsession/Error.h"
#include "support/ColumnFacts.h"
#include "support/FakeSession.h"
#include "support/TsqlCheck.h"

namespace qelt {
namespace {

using test::CrLf;
using test::FakeSession;
using test::kCompaniesAuditTable;
using test::kCompaniesColumns;
using test::kCompaniesTrigger;
using test::ScriptedFields;
using test::ScriptLines;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::int32_t kText = ado::adVarWChar;

std::string TriggerFor(const std::vector<Field>& columns, std::string_view keyColumn = "Key1",
                       std::string_view itemTable = "Items", const TableFacts& table = {}) {
    ScriptBuffer script;
    WriteAuditTriggerScript(script, itemTable, AuditTableName(itemTable), keyColumn, "Shown",
                            FieldVector(columns), table);
    return script.Text();
}

std::vector<std::string> LinesStartingWith(const std::string& script, std::string_view prefix) {
    std::vector<std::string> found;
    for (const std::string& line : ScriptLines(script)) {
        if (line.starts_with(prefix)) {
            found.push_back(line);
        }
    }
    return found;
}

TEST(WorkedExample, AuditTableSectionForCompaniesIsExact) {
    ScriptBuffer script;
    WriteAuditTableScript(script, "AuditTrailCompanies");
    EXPECT_EQ(script.Text(), CrLf(kCompaniesAuditTable));
}

TEST(WorkedExample, TriggerSectionForCompaniesIsExact) {
    ScriptBuffer script;
    WriteAuditTriggerScript(script, "Companies", "AuditTrailCompanies", "CompanyIntID",
                            "CompanyName", FieldVector(kCompaniesColumns));
    EXPECT_EQ(script.Text(), CrLf(kCompaniesTrigger));
    EXPECT_EQ(ScriptLines(script.Text()).size(), 60u);
}

TEST(AuditTableSection, IsTheSame22LinesWhateverTheName) {
    for (const std::string name : {"AuditTrail", "AuditTrailOrder Lines", "AuditTrailX]Y"}) {
        ScriptBuffer script;
        WriteAuditTableScript(script, name);
        std::string expected = kCompaniesAuditTable;
        for (auto at = expected.find("AuditTrailCompanies"); at != std::string::npos;
             at = expected.find("AuditTrailCompanies", at + name.size())) {
            expected.replace(at, 19, name);
        }
        EXPECT_EQ(script.Text(), CrLf(expected)) << name;
        EXPECT_EQ(ScriptLines(script.Text()).size(), 22u);
        EXPECT_TRUE(script.Text().ends_with("GO\r\n\r\n"));
    }
}

struct KeyAndDisplayCase {
    std::string table;
    bool uppercase;
    std::string key;
    std::string display;
};

class KeyAndDisplayColumns : public ::testing::TestWithParam<KeyAndDisplayCase> {};

TEST_P(KeyAndDisplayColumns, FollowTheBuiltInTables) {
    const auto& c = GetParam();
    FakeSession session;
    session.uppercaseIdentifiers = c.uppercase;
    EXPECT_EQ(GetKeyColumn(session, c.table), c.key);
    EXPECT_EQ(GetDisplayColumn(c.table), c.display);
    EXPECT_THAT(session.calls, ElementsAre("UppercaseIdentifiers"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyAndDisplayColumns,
    ::testing::Values(KeyAndDisplayCase{"Companies", false, "CompanyIntID", "CompanyName"},
                      KeyAndDisplayCase{"Contacts", false, "ContactIntID", "DisplayName"},
                      KeyAndDisplayCase{"Consultants", false, "ConsIntID", "DisplayName"},
                      KeyAndDisplayCase{"Requirements", false, "ReqIntID", "ReqID"},
                      KeyAndDisplayCase{" companies ", false, "CompanyIntID", "DisplayName"},
                      KeyAndDisplayCase{"COMPANIES", false, "CompanyIntID", "DisplayName"},
                      KeyAndDisplayCase{"SaveSetInfo", false, "SaveSetIntID", "DisplayName"},
                      KeyAndDisplayCase{"savesets", false, "SaveSetIntID", "DisplayName"},
                      KeyAndDisplayCase{"EmailsReceived", false, "EMRecvIntID", "DisplayName"},
                      KeyAndDisplayCase{"MLinkInfo", false, "MLinkIntID", "DisplayName"},
                      KeyAndDisplayCase{"Orders", false, "", "DisplayName"},
                      KeyAndDisplayCase{"", true, "", "DisplayName"},
                      KeyAndDisplayCase{"\tCompanies", false, "", "DisplayName"},
                      KeyAndDisplayCase{"Contacts", true, "CONTACTINTID", "DisplayName"},
                      KeyAndDisplayCase{"Requirements", true, "REQINTID", "ReqID"}));

TEST(ListedItemTables, TakeTheWindowsSpellingInAnyLetterCase) {
    struct SpellingCase {
        std::string given;
        std::string spelled;
    };
    for (const auto& [given, spelled] :
         {SpellingCase{"companies", "Companies"}, SpellingCase{"COMPANIES", "Companies"},
          SpellingCase{"rEQUIREMENTS", "Requirements"}, SpellingCase{"Contacts", "Contacts"},
          SpellingCase{"consultants", "Consultants"}, SpellingCase{"savesets", "savesets"},
          SpellingCase{" companies", " companies"}, SpellingCase{"Companie", "Companie"},
          SpellingCase{"", ""}}) {
        EXPECT_EQ(ListedItemTableSpelling(given), spelled) << given;
    }
    EXPECT_EQ(GetDisplayColumn(ListedItemTableSpelling("companies")), "CompanyName");
}

TEST(KeyColumn, PassesOnAFailureToReadTheIdentifierCase) {
    FakeSession session;
    session.uppercaseError = Error(-2147467259, "Session gone");
    EXPECT_THROW(GetKeyColumn(session, "Companies"), Error);
}

// What the trigger must contain for a column list, independent of the generator's own loops.
struct TriggerCase {
    std::string name;
    std::vector<Field> columns;
    std::string keyColumn;
    std::vector<std::string> ifUpdateColumns;  // the columns that get an IF UPDATE line
    std::vector<std::string> editorLines;      // the SELECT @QLXUserID lines after the comment
};

class TriggerBlocks : public ::testing::TestWithParam<TriggerCase> {};

TEST_P(TriggerBlocks, LogTheRightColumns) {
    const auto& c = GetParam();
    const std::string script = TriggerFor(c.columns, c.keyColumn);

    std::vector<std::string> ifUpdate;
    for (const std::string& line : LinesStartingWith(script, "    IF UPDATE(")) {
        ifUpdate.push_back(line.substr(14, line.find(')') - 14));
    }
    EXPECT_EQ(ifUpdate, c.ifUpdateColumns);
    EXPECT_EQ(LinesStartingWith(script, "SELECT @QLXUserID="), c.editorLines);
    EXPECT_EQ(ScriptLines(script).size(),
              42 + 3 * c.columns.size() + c.ifUpdateColumns.size() + c.editorLines.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TriggerBlocks,
    ::testing::Values(
        TriggerCase{"SingleEditorColumnIsNeverTheEditor", {{"EditedBy", kText}}, "Key1", {}, {}},
        TriggerCase{"EditorAtFirstPositionIsSkipped",
                    {{"uuEditedBy", kText}, {"Name", kText}},
                    "Key1",
                    {"Name"},
                    {}},
        TriggerCase{"BothEditorsInColumnOrder",
                    {{"Key1", 3}, {"uuEditedBy", kText}, {"EditedBy", kText}},
                    "Key1",
                    {},
                    {"SELECT @QLXUserID=INSERTED.uuEditedBy FROM INSERTED",
                     "SELECT @QLXUserID=INSERTED.EditedBy FROM INSERTED"}},
        TriggerCase{"OtherLetterCaseIsAnOrdinaryColumn",
                    {{"Key1", 3}, {"editedby", kText}, {"EDITDATE", 135}, {"EditDate", 135}},
                    "Key1",
                    {"editedby", "EDITDATE"},
                    {}},
        TriggerCase{"UppercasedKeyDoesNotMatchMixedCaseColumn",
                    {{"CompanyIntID", 3}, {"Name", kText}},
                    "COMPANYINTID",
                    {"CompanyIntID", "Name"},
                    {}},
        TriggerCase{"EmptyKeyExcludesNothing",
                    {{"CompanyIntID", 3}, {"Name", kText}},
                    "",
                    {"CompanyIntID", "Name"},
                    {}},
        TriggerCase{"EveryColumnExcluded",
                    {{"Key1", 3}, {"EditedBy", kText}, {"EditDate", 135}},
                    "Key1",
                    {},
                    {"SELECT @QLXUserID=INSERTED.EditedBy FROM INSERTED"}}),
    [](const auto& info) { return info.param.name; });

TEST(TriggerBlocks, EveryColumnExcludedLeavesTheFlagTestNextToItsReset) {
    const std::string script = TriggerFor({{"Key1", 3}, {"EditDate", 135}});
    EXPECT_THAT(script, HasSubstr("    SET @Flag=0\r\n    IF(@Flag=1)\r\n"));
}

TEST(TriggerBlocks, CastsEveryTypeButTheFourTextTypes) {
    struct TypeCase {
        std::int32_t type;
        bool cast;
    };
    for (const auto [type, cast] :
         {TypeCase{ado::adVarChar, false}, TypeCase{ado::adLongVarChar, false},
          TypeCase{ado::adVarWChar, false}, TypeCase{ado::adLongVarWChar, false},
          TypeCase{ado::adChar, true}, TypeCase{ado::adWChar, true}, TypeCase{ado::adInteger, true},
          TypeCase{ado::adDBTimeStamp, true}, TypeCase{ado::adVarBinary, true}, TypeCase{-1, true},
          TypeCase{199, true}, TypeCase{204, true}}) {
        const std::string script = TriggerFor({{"Key1", 3}, {"Value", type}});
        const std::string oldValue = cast ? "            WHEN 'Value' THEN CAST(DELETED.Value AS "
                                            "NVARCHAR(20))\r\n"
                                          : "            WHEN 'Value' THEN DELETED.Value\r\n";
        const std::string newValue = cast ? "            WHEN 'Value' THEN CAST(INSERTED.Value "
                                            "AS NVARCHAR(20))\r\n"
                                          : "            WHEN 'Value' THEN INSERTED.Value\r\n";
        EXPECT_THAT(script, HasSubstr(oldValue)) << type;
        EXPECT_THAT(script, HasSubstr(newValue)) << type;
    }
}

TEST(TriggerBlocks, EmptyColumnListWritesTheEmptyForms) {
    const std::string script = TriggerFor({});
    EXPECT_THAT(script, HasSubstr("UPDATE Items SET\r\n\r\n    From INSERTED\r\n"));
    EXPECT_THAT(script, HasSubstr("        CASE @CurrentColName\r\n        END,\r\n"));
    EXPECT_THAT(script, HasSubstr("        CASE @CurrentColName\r\n        END\r\n"));
    EXPECT_EQ(ScriptLines(script).size(), 43u);  // the 42 fixed lines and the SET list's end
    EXPECT_TRUE(script.ends_with("\r\nGO\r\n"));
}

TEST(TriggerBlocks, SingleColumnSetListHasNoComma) {
    EXPECT_THAT(TriggerFor({{"Key1", 3}}),
                HasSubstr("UPDATE Items SET\r\n    Key1 = INSERTED.Key1\r\n    From INSERTED"));
}

TEST(TriggerBlocks, EmptyKeyColumnStandsAsEmptyText) {
    const std::string script = TriggerFor({{"Name", kText}}, "");
    EXPECT_THAT(script, HasSubstr("    Where (Items. = INSERTED.)\r\n"));
    EXPECT_THAT(script, HasSubstr("        SELECT  @QLXUserID,INSERTED.,INSERTED.Shown,"));
    EXPECT_THAT(script, HasSubstr("        Where (INSERTED. = DELETED.)\r\n"));
}

// The line count 42 + 3n + c + e (n at least 1), over many random column lists whose names are
// drawn from a pool that includes the editor, date and key names in several letter cases.
TEST(LineCountRule, HoldsOverRandomColumnLists) {
    const std::vector<std::string> pool = {"Key1",     "KEY1",     "Name",       "EditedBy",
                                           "editedBy", "EditDate", "uuEditedBy", "Notes",
                                           "Total",    "Created",  "uueditedby", "Editdate"};
    const std::vector<std::int32_t> types = {3, 5, 129, 130, 135, 200, 201, 202, 203, 205};
    std::mt19937 random(20261207);
    for (int round = 0; round < 300; ++round) {
        std::vector<Field> columns(std::uniform_int_distribution<>(1, 40)(random));
        for (Field& column : columns) {
            column.Name = pool[random() % pool.size()];
            column.Type = types[random() % types.size()];
        }
        std::size_t logged = 0;
        std::size_t editors = 0;
        for (std::size_t p = 0; p < columns.size(); ++p) {
            const std::string& name = columns[p].Name;
            const bool editor = name == "EditedBy" || name == "uuEditedBy";
            logged += !(editor || name == "EditDate" || name == "Key1");
            editors += editor && p > 0;
        }
        EXPECT_EQ(ScriptLines(TriggerFor(columns)).size(),
                  42 + 3 * columns.size() + logged + editors);
    }
}

TEST(ColumnReadFailure, LeavesTheLinesWrittenBeforeIt) {
    ScriptedFields fields({{"Key1", 3}, {"Name", kText}, {"Notes", kText}});
    fields.failAtItem = 1;
    ScriptBuffer script;
    EXPECT_THROW(
        WriteAuditTriggerScript(script, "Items", "AuditTrailItems", "Key1", "Shown", fields),
        Error);
    EXPECT_TRUE(script.Text().ends_with("UPDATE Items SET\r\n    Key1 = INSERTED.Key1,\r\n"));
}

TEST(ColumnReadFailure, CountWithoutALastPositionIsAnOverflow) {
    ScriptedFields fields({});
    fields.countOverride = std::numeric_limits<std::int32_t>::min();
    ScriptBuffer script;
    try {
        WriteAuditTriggerScript(script, "Items", "AuditTrailItems", "Key1", "Shown", fields);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), 6);
    }
    EXPECT_TRUE(script.Text().ends_with("UPDATE Items SET\r\n"));
    EXPECT_EQ(fields.itemReads, 0);
}

// A count far beyond the columns that can be read reports the failing read, not a lack of memory
// for the room made in advance.
TEST(ColumnReadFailure, HugeCountReportsTheFailingRead) {
    ScriptedFields fields({{"Key1", 3}});
    fields.countOverride = std::numeric_limits<std::int32_t>::max();
    fields.failAtItem = 1;
    ScriptBuffer script;
    try {
        WriteAuditTriggerScript(script, "Items", "AuditTrailItems", "Key1", "Shown", fields);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), -2147217887);
    }
    EXPECT_TRUE(script.Text().ends_with("UPDATE Items SET\r\n    Key1 = INSERTED.Key1,\r\n"));
}

TEST(ColumnReadFailure, NegativeCountIsAnEmptyList) {
    ScriptedFields fields({});
    fields.countOverride = -5;
    ScriptBuffer script;
    WriteAuditTriggerScript(script, "Companies", "AuditTrailCompanies", "CompanyIntID",
                            "CompanyName", fields);
    EXPECT_EQ(script.Text(), CrLf(test::kCompaniesEmptyTrigger));
    EXPECT_THAT(script.Text(), Not(HasSubstr("WHEN")));
}

// A buffer that hands its text on in pieces gives the same bytes, in pieces of at least the
// piece size (but the last), whatever the size and however the lines fall across the pieces.
class ScriptInPieces : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ScriptInPieces, JoinToTheWholeScript) {
    const std::size_t pieceBytes = GetParam();
    std::vector<std::string> pieces;
    ScriptBuffer script;
    script.HandOnInPieces(pieceBytes,
                          [&pieces](std::string_view piece) { pieces.emplace_back(piece); });
    WriteAuditTableScript(script, "AuditTrailCompanies");
    WriteAuditTriggerScript(script, "Companies", "AuditTrailCompanies", "CompanyIntID",
                            "CompanyName", FieldVector(kCompaniesColumns));
    script.HandOnRest();

    EXPECT_TRUE(script.Text().empty());
    ASSERT_FALSE(pieces.empty());
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_FALSE(pieces[i].empty());
        if (i + 1 < pieces.size()) {
            EXPECT_GE(pieces[i].size(), pieceBytes) << "piece " << i;
        }
        joined += pieces[i];
    }
    EXPECT_EQ(joined, CrLf(kCompaniesAuditTable) + CrLf(kCompaniesTrigger));
}

INSTANTIATE_TEST_SUITE_P(PieceBytes, ScriptInPieces, ::testing::Values(1, 7, 100, 1000, 1 << 20));

}  // namespace
}  // namespace qelt

namespace qelt {
namespace {

// ---- Columns an UPDATE cannot set, and conversions that cannot fail ---------------------------

using test::ComputedColumnFacts;
using test::ComputedFacts;
using test::IdentityFacts;
using test::TypeFacts;

// The text between "UPDATE Items SET" and "    From INSERTED".
std::string SetListOf(const std::string& trigger) {
    const std::string start = "UPDATE Items SET\r\n";
    const auto from = trigger.find(start) + start.size();
    return trigger.substr(from, trigger.find("    From INSERTED\r\n") - from);
}

struct SetListCase {
    const char* name;
    std::vector<Field> columns;
    TableFacts table;
    const char* setList;
};

class SetList : public ::testing::TestWithParam<SetListCase> {};

// The columns that make every update fail when set stay out; the comma still closes every entry's
// line but the last, and the script stays valid T-SQL.
TEST_P(SetList, LeavesOutWhatCannotBeSet) {
    const auto& c = GetParam();
    const std::string trigger = TriggerFor(c.columns, "Key1", "Items", c.table);
    EXPECT_EQ(SetListOf(trigger), c.setList);
    EXPECT_THAT(test::TsqlProblems(trigger), ElementsAre());
    // The CASE blocks still read every column, the excluded ones too.
    EXPECT_EQ(LinesStartingWith(trigger, "            WHEN '").size(), 2 * c.columns.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetList,
    ::testing::Values(SetListCase{"IdentityFirst",
                                  {{"Key1", 3, IdentityFacts()}, {"A", kText}, {"B", kText}},
                                  {},
                                  "    A = INSERTED.A,\r\n    B = INSERTED.B\r\n"},
                      SetListCase{"IdentityLastTakesTheCommaWithIt",
                                  {{"A", kText}, {"B", kText}, {"Key1", 3, IdentityFacts()}},
                                  {},
                                  "    A = INSERTED.A,\r\n    B = INSERTED.B\r\n"},
                      SetListCase{"ComputedBetween",
                                  {{"A", kText}, {"Total", 3, ComputedFacts()}, {"B", kText}},
                                  {},
                                  "    A = INSERTED.A,\r\n    B = INSERTED.B\r\n"},
                      SetListCase{"ComputedAsTheCatalogSays",
                                  {{"A", kText}, {"Total", 3}, {"B", kText}},
                                  ComputedColumnFacts({"Total"}),
                                  "    A = INSERTED.A,\r\n    B = INSERTED.B\r\n"},
                      SetListCase{"RowVersionAndBinaryTimestamp",
                                  {{"A", kText},
                                   {"Version", ado::adBinary, TypeFacts("timestamp", 8)},
                                   {"Row", ado::adVarBinary, TypeFacts("ROWVERSION")}},
                                  {},
                                  "    A = INSERTED.A\r\n"},
                      SetListCase{
                          "TimestampOfDateAndTimeIsSet",
                          {{"A", kText}, {"Stamp", ado::adDBTimeStamp, TypeFacts("timestamp")}},
                          {},
                          "    A = INSERTED.A,\r\n    Stamp = INSERTED.Stamp\r\n"},
                      SetListCase{"NothingCanBeSet",
                                  {{"Key1", 3, IdentityFacts()}, {"Total", 3, ComputedFacts()}},
                                  {},
                                  "    @Flag = 0\r\n"}),
    [](const auto& info) { return info.param.name; });

struct CastCase {
    const char* name;
    Field column;
    const char* oldValue;  // what the old-value CASE block logs
};

class Casts : public ::testing::TestWithParam<CastCase> {};

TEST_P(Casts, AreWideEnoughThatTheyCannotFail) {
    const auto& c = GetParam();
    const std::string trigger = TriggerFor({{"Key1", 3}, c.column});
    EXPECT_THAT(trigger,
                HasSubstr("            WHEN 'Value' THEN " + std::string(c.oldValue) + "\r\n"));
    EXPECT_THAT(test::TsqlProblems(trigger), ElementsAre());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Casts,
    ::testing::Values(
        CastCase{"Uniqueidentifier", {"Value", ado::adGUID}, "CAST(DELETED.Value AS NVARCHAR(36))"},
        CastCase{"WideDecimal",
                 {"Value", ado::adNumeric, TypeFacts("numeric", 38, 10)},
                 "CAST(DELETED.Value AS NVARCHAR(40))"},
        CastCase{"DecimalOf19Digits",
                 {"Value", ado::adDecimal, TypeFacts("decimal", 19)},
                 "CAST(DELETED.Value AS NVARCHAR(21))"},
        CastCase{"DecimalThatFitsTwenty",
                 {"Value", ado::adNumeric, TypeFacts("numeric", 18, 2)},
                 "CAST(DELETED.Value AS NVARCHAR(20))"},
        CastCase{"DecimalOfUnknownSize",
                 {"Value", ado::adNumeric},
                 "CAST(DELETED.Value AS NVARCHAR(20))"},
        CastCase{"XmlReportedAsText",
                 {"Value", ado::adLongVarWChar, TypeFacts("xml")},
                 "CAST(DELETED.Value AS NVARCHAR(MAX))"},
        CastCase{"XmlOfAnyCode",
                 {"Value", ado::adVariant, TypeFacts("XML")},
                 "CAST(DELETED.Value AS NVARCHAR(MAX))"},
        CastCase{"SqlVariant",
                 {"Value", ado::adVariant, TypeFacts("sql_variant")},
                 "CAST(DELETED.Value AS NVARCHAR(4000))"},
        CastCase{"IntegerKeepsTwenty",
                 {"Value", ado::adBigInt, TypeFacts("bigint", 19)},
                 "CAST(DELETED.Value AS NVARCHAR(20))"},
        CastCase{"TextStaysAsItIs",
                 {"Value", ado::adVarWChar, TypeFacts("nvarchar", 4000)},
                 "DELETED.Value"}),
    [](const auto& info) { return info.param.name; });

// What the driver tells of ordinary columns changes nothing: the worked example stays exact.
TEST(WorkedExample, TriggerIsExactWhateverTheOrdinaryColumnsTell) {
    const std::vector<Field> columns = {
        {"CompanyIntID", ado::adVarWChar, TypeFacts("nvarchar", 10)},
        {"CompanyName", ado::adVarWChar, TypeFacts("nvarchar", 80)},
        {"Employees", ado::adInteger, TypeFacts("int", 10)},
        {"EditedBy", ado::adVarWChar, TypeFacts("nvarchar", 40)},
        {"EditDate", ado::adDBTimeStamp, TypeFacts("datetime", 23, 3)}};
    ScriptBuffer script;
    WriteAuditTriggerScript(script, "Companies", "AuditTrailCompanies", "CompanyIntID",
                            "CompanyName", FieldVector(columns), TableFacts{{"CompanyIntID"}, {}});
    EXPECT_EQ(script.Text(), CrLf(kCompaniesTrigger));
}

TEST(RemovalScript, DropsTheTriggerAndOnRequestTheAuditTable) {
    for (const bool dropAuditTable : {false, true}) {
        ScriptBuffer script;
        WriteRemovalScript(script, "Companies", dropAuditTable);
        std::string expected =
            "IF OBJECT_ID(N'QLX_AuditTrailCompanies', N'TR') IS NOT NULL\r\n"
            "    DROP TRIGGER QLX_AuditTrailCompanies\r\n"
            "GO\r\n";
        if (dropAuditTable) {
            expected +=
                "IF OBJECT_ID(N'[dbo].[AuditTrailCompanies]', N'U') IS NOT NULL\r\n"
                "    DROP TABLE [dbo].[AuditTrailCompanies]\r\n"
                "GO\r\n";
        }
        EXPECT_EQ(script.Text(), expected);
        EXPECT_THAT(test::TsqlProblems(script.Text()), ElementsAre());
    }
}

}  // namespace
}  // namespace qelt
