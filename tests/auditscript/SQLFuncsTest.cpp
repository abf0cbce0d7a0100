#include "auditscript/SQLFuncs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "auditscript/WorkedExample.h"
#include "dbsession/Error.h"
#include "support/CaseName.h"
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
    EXPECT_EQ(ScriptLines(script.Text()).size(), 67u);
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
    std::string name;
    std::string table;
    bool uppercase;
    std::string key;
    std::string display;
};

class KeyAndDisplayColumns : public ::testing::TestWithParam<KeyAndDisplayCase> {};

TEST_P(KeyAndDisplayColumns, FollowTheBuiltInTables) {
    const auto& c = GetParam();
    FakeSession session;
    session.state.uppercaseIdentifiers = c.uppercase;
    EXPECT_EQ(GetKeyColumn(session, c.table), c.key);
    EXPECT_EQ(GetDisplayColumn(c.table), c.display);
    EXPECT_THAT(session.state.calls, ElementsAre("UppercaseIdentifiers"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyAndDisplayColumns,
    ::testing::Values(
        KeyAndDisplayCase{"Companies", "Companies", false, "CompanyIntID", "CompanyName"},
        KeyAndDisplayCase{"Contacts", "Contacts", false, "ContactIntID", "DisplayName"},
        KeyAndDisplayCase{"Consultants", "Consultants", false, "ConsIntID", "DisplayName"},
        KeyAndDisplayCase{"Requirements", "Requirements", false, "ReqIntID", "ReqID"},
        KeyAndDisplayCase{"SpacesAroundLowerCase", " companies ", false, "CompanyIntID",
                          "DisplayName"},
        KeyAndDisplayCase{"UpperCase", "COMPANIES", false, "CompanyIntID", "DisplayName"},
        KeyAndDisplayCase{"SaveSetInfo", "SaveSetInfo", false, "SaveSetIntID", "DisplayName"},
        KeyAndDisplayCase{"SaveSetsLowerCase", "savesets", false, "SaveSetIntID", "DisplayName"},
        KeyAndDisplayCase{"EmailsReceived", "EmailsReceived", false, "EMRecvIntID", "DisplayName"},
        KeyAndDisplayCase{"MLinkInfo", "MLinkInfo", false, "MLinkIntID", "DisplayName"},
        KeyAndDisplayCase{"UnknownTable", "Orders", false, "", "DisplayName"},
        KeyAndDisplayCase{"EmptyTable", "", true, "", "DisplayName"},
        KeyAndDisplayCase{"LeadingTab", "\tCompanies", false, "", "DisplayName"},
        KeyAndDisplayCase{"ContactsUppercaseIdentifiers", "Contacts", true, "CONTACTINTID",
                          "DisplayName"},
        KeyAndDisplayCase{"RequirementsUppercaseIdentifiers", "Requirements", true, "REQINTID",
                          "ReqID"}),
    test::CaseNameOf());

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
    session.state.uppercaseError = Error(-2147467259, "Session gone");
    EXPECT_THROW(GetKeyColumn(session, "Companies"), Error);
}

// What the trigger must contain for a column list, independent of the generator's own loops.
struct TriggerCase {
    std::string name;
    std::vector<Field> columns;
    std::string keyColumn;
    std::vector<std::string> ifUpdateColumns;  // the columns that get an IF UPDATE line
    std::vector<std::string> editorLines;      // the SELECT @QLXUserID lines after the comment
    std::size_t leftOutOfSet = 0;              // identity, computed and rowversion columns
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
    // Without a key the trigger has nothing to refuse: 7 fixed lines fewer.
    const std::size_t fixedLines = c.keyColumn.empty() ? 42 : 49;
    EXPECT_EQ(ScriptLines(script).size(), fixedLines + 3 * c.columns.size() - c.leftOutOfSet +
                                              c.ifUpdateColumns.size() + c.editorLines.size());
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
                    {{"Key1", ado::adInteger}, {"uuEditedBy", kText}, {"EditedBy", kText}},
                    "Key1",
                    {},
                    {"SELECT @QLXUserID=INSERTED.uuEditedBy FROM INSERTED",
                     "SELECT @QLXUserID=INSERTED.EditedBy FROM INSERTED"}},
        TriggerCase{"OtherLetterCaseIsAnOrdinaryColumn",
                    {{"Key1", ado::adInteger},
                     {"editedby", kText},
                     {"EDITDATE", ado::adDBTimeStamp},
                     {"EditDate", ado::adDBTimeStamp}},
                    "Key1",
                    {"editedby", "EDITDATE"},
                    {}},
        TriggerCase{"UppercasedKeyDoesNotMatchMixedCaseColumn",
                    {{"CompanyIntID", ado::adInteger}, {"Name", kText}},
                    "COMPANYINTID",
                    {"CompanyIntID", "Name"},
                    {}},
        TriggerCase{"EmptyKeyExcludesNothing",
                    {{"CompanyIntID", ado::adInteger}, {"Name", kText}},
                    "",
                    {"CompanyIntID", "Name"},
                    {}},
        TriggerCase{
            "EveryColumnExcluded",
            {{"Key1", ado::adInteger}, {"EditedBy", kText}, {"EditDate", ado::adDBTimeStamp}},
            "Key1",
            {},
            {"SELECT @QLXUserID=INSERTED.EditedBy FROM INSERTED"}},
        // UPDATE() of a computed column fails the CREATE TRIGGER and no update names a
        // rowversion; an identity column is still asked for.
        TriggerCase{"ComputedAndRowVersionGetNoUpdateTest",
                    {{"Key1", ado::adInteger},
                     {"Serial", ado::adInteger, test::IdentityFacts()},
                     {"Total", ado::adInteger, test::ComputedFacts()},
                     {"Version", ado::adBinary, test::TypeFacts("rowversion")},
                     {"Name", kText}},
                    "Key1",
                    {"Serial", "Name"},
                    {},
                    3},
        // A repeated name is each time the column it names: the key and the editor stay out
        // of the log however often they stand, and each editor after the first place is asked.
        TriggerCase{"RepeatedColumns",
                    {{"Key1", ado::adInteger},
                     {"EditedBy", kText},
                     {"Name", kText},
                     {"EditedBy", kText},
                     {"Key1", ado::adInteger},
                     {"Name", kText}},
                    "Key1",
                    {"Name", "Name"},
                    {"SELECT @QLXUserID=INSERTED.EditedBy FROM INSERTED",
                     "SELECT @QLXUserID=INSERTED.EditedBy FROM INSERTED"}}),
    [](const auto& info) { return info.param.name; });

TEST(TriggerBlocks, EveryColumnExcludedLeavesTheFlagTestNextToItsReset) {
    const std::string script =
        TriggerFor({{"Key1", ado::adInteger}, {"EditDate", ado::adDBTimeStamp}});
    EXPECT_THAT(script, HasSubstr("    SET @Flag=0\r\n    IF(@Flag=1)\r\n"));
}

// adLongVarChar (text, varchar(max)) is cast to NVARCHAR(MAX): as it is, it would make the CASE
// text, and every Unicode value beside it would pass through the code page.
TEST(TriggerBlocks, CastsEveryTypeButTheThreeTextTypes) {
    struct TypeCase {
        std::int32_t type;
        std::string castType;  // empty: logged as it is
    };
    for (const auto& [type, castType] :
         {TypeCase{ado::adVarChar, ""}, TypeCase{ado::adLongVarChar, "NVARCHAR(MAX)"},
          TypeCase{ado::adVarWChar, ""}, TypeCase{ado::adLongVarWChar, ""},
          TypeCase{ado::adChar, "NVARCHAR(20)"}, TypeCase{ado::adWChar, "NVARCHAR(20)"},
          TypeCase{ado::adInteger, "NVARCHAR(20)"}, TypeCase{ado::adDBTimeStamp, "NVARCHAR(20)"},
          TypeCase{ado::adVarBinary, "NVARCHAR(20)"}, TypeCase{-1, "NVARCHAR(20)"},
          TypeCase{199, "NVARCHAR(20)"}, TypeCase{204, "NVARCHAR(20)"}}) {
        const std::string script = TriggerFor({{"Key1", ado::adInteger}, {"Value", type}});
        for (const std::string rows : {"DELETED", "INSERTED"}) {
            const std::string value =
                castType.empty() ? rows + ".Value" : "CAST(" + rows + ".Value AS " + castType + ")";
            EXPECT_THAT(script, HasSubstr("            WHEN 'Value' THEN " + value + "\r\n"))
                << type;
        }
    }
}

TEST(TriggerBlocks, EmptyColumnListWritesTheEmptyForms) {
    const std::string script = TriggerFor({});
    EXPECT_THAT(script, HasSubstr("UPDATE Items SET\r\n\r\n    From INSERTED\r\n"));
    EXPECT_THAT(script, HasSubstr("        CASE @CurrentColName\r\n        END,\r\n"));
    EXPECT_THAT(script, HasSubstr("        CASE @CurrentColName\r\n        END\r\n"));
    EXPECT_EQ(ScriptLines(script).size(), 50u);  // the 49 fixed lines and the SET list's end
    EXPECT_TRUE(script.ends_with("\r\nGO\r\n"));
}

TEST(TriggerBlocks, SingleColumnSetListHasNoComma) {
    EXPECT_THAT(TriggerFor({{"Key1", ado::adInteger}}),
                HasSubstr("UPDATE Items SET\r\n    Key1 = INSERTED.Key1\r\n    From INSERTED"));
}

TEST(TriggerBlocks, EmptyKeyColumnStandsAsEmptyText) {
    const std::string script = TriggerFor({{"Name", kText}}, "");
    EXPECT_THAT(script, HasSubstr("    Where (Items. = INSERTED.)\r\n"));
    EXPECT_THAT(script, HasSubstr("        SELECT  @QLXUserID,INSERTED.,CAST(INSERTED.Shown AS "
                                  "NVARCHAR(80)),LEFT(@CurrentColName, 40),"));
    EXPECT_THAT(script, HasSubstr("        Where (INSERTED. = DELETED.)\r\n"));
}

TEST(ColumnReadFailure, LeavesTheLinesWrittenBeforeIt) {
    ScriptedFields fields({{"Key1", ado::adInteger}, {"Name", kText}, {"Notes", kText}});
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
    ScriptedFields fields({{"Key1", ado::adInteger}});
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

INSTANTIATE_TEST_SUITE_P(PieceBytes, ScriptInPieces, ::testing::Values(1, 7, 100, 1000, 1 << 20),
                         [](const auto& info) { return std::to_string(info.param) + "Bytes"; });

}  // namespace
}  // namespace qelt

namespace qelt {
namespace {

// ---- Columns an UPDATE cannot set, and conversions that cannot fail ---------------------------

using test::ComputedColumnFacts;
using test::ComputedFacts;
using test::IdentityFacts;
using test::TypeFacts;

// A catalog that describes the columns.
TableFacts CatalogFacts(std::vector<Field> columns) {
    TableFacts table;
    table.catalogColumns = std::move(columns);
    return table;
}

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
    ::testing::Values(
        SetListCase{"IdentityFirst",
                    {{"Key1", ado::adInteger, IdentityFacts()}, {"A", kText}, {"B", kText}},
                    {},
                    "    A = INSERTED.A,\r\n    B = INSERTED.B\r\n"},
        SetListCase{"IdentityLastTakesTheCommaWithIt",
                    {{"A", kText}, {"B", kText}, {"Key1", ado::adInteger, IdentityFacts()}},
                    {},
                    "    A = INSERTED.A,\r\n    B = INSERTED.B\r\n"},
        SetListCase{"ComputedBetween",
                    {{"A", kText}, {"Total", ado::adInteger, ComputedFacts()}, {"B", kText}},
                    {},
                    "    A = INSERTED.A,\r\n    B = INSERTED.B\r\n"},
        SetListCase{"ComputedAsTheCatalogSays",
                    {{"A", kText}, {"Total", ado::adInteger}, {"B", kText}},
                    ComputedColumnFacts({"Total"}),
                    "    A = INSERTED.A,\r\n    B = INSERTED.B\r\n"},
        SetListCase{"RowVersionAndBinaryTimestamp",
                    {{"A", kText},
                     {"Version", ado::adBinary, TypeFacts("timestamp", 8)},
                     {"Row", ado::adVarBinary, TypeFacts("ROWVERSION")}},
                    {},
                    "    A = INSERTED.A\r\n"},
        SetListCase{"TimestampOfDateAndTimeIsSet",
                    {{"A", kText}, {"Stamp", ado::adDBTimeStamp, TypeFacts("timestamp")}},
                    {},
                    "    A = INSERTED.A,\r\n    Stamp = INSERTED.Stamp\r\n"},
        SetListCase{"IdentityAsTheCatalogSays",
                    {{"A", kText}, {"Serial", ado::adInteger}, {"B", kText}},
                    CatalogFacts({{"serial", ado::adInteger, IdentityFacts()}}),
                    "    A = INSERTED.A,\r\n    B = INSERTED.B\r\n"}),
    [](const auto& info) { return info.param.name; });

struct NoColumnToSetCase {
    const char* name;
    std::vector<Field> columns;
    TableFacts table;
};

class NoColumnToSet : public ::testing::TestWithParam<NoColumnToSetCase> {};

// A trigger that sets nothing would throw away every update of the table: the run fails with the
// lines before the SET list written.
TEST_P(NoColumnToSet, IsAnErrorOfTheRun) {
    const auto& c = GetParam();
    ScriptBuffer script;
    try {
        WriteAuditTriggerScript(script, "Items", "AuditTrailItems", "Key1", "Shown",
                                FieldVector(c.columns), c.table);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), kErrNoColumnToSet);
        EXPECT_THAT(error.Description(),
                    ::testing::StartsWith("No column of Items can be set by an UPDATE"));
    }
    EXPECT_TRUE(script.Text().ends_with("UPDATE Items SET\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoColumnToSet,
    ::testing::Values(
        NoColumnToSetCase{
            "NothingCanBeSet",
            {{"Key1", ado::adInteger, IdentityFacts()}, {"Total", ado::adInteger, ComputedFacts()}},
            {}},
        NoColumnToSetCase{
            "OnlyARowVersion", {{"Version", ado::adBinary, TypeFacts("rowversion")}}, {}},
        NoColumnToSetCase{"AsTheCatalogSays",
                          {{"Key1", ado::adInteger}, {"Total", ado::adInteger}},
                          CatalogFacts({{"Key1", ado::adInteger, IdentityFacts()},
                                        {"Total", ado::adInteger, ComputedFacts()}})}),
    [](const auto& info) { return info.param.name; });

struct CastCase {
    const char* name;
    Field column;
    const char* oldValue;  // what the old-value CASE block logs
    TableFacts table = {};
};

class Casts : public ::testing::TestWithParam<CastCase> {};

TEST_P(Casts, AreWideEnoughThatTheyCannotFail) {
    const auto& c = GetParam();
    const std::string trigger =
        TriggerFor({{"Key1", ado::adInteger}, c.column}, "Key1", "Items", c.table);
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
                 "CAST(DELETED.Value AS NVARCHAR(MAX))"},
        CastCase{"DecimalOf17DigitsAllAfterThePoint",
                 {"Value", ado::adDecimal, TypeFacts("decimal", 17, 17)},
                 "CAST(DELETED.Value AS NVARCHAR(20))"},
        CastCase{"DecimalOf18DigitsAllAfterThePoint",
                 {"Value", ado::adDecimal, TypeFacts("decimal", 18, 18)},
                 "CAST(DELETED.Value AS NVARCHAR(21))"},
        CastCase{"DecimalOf38DigitsAllAfterThePoint",
                 {"Value", ado::adNumeric, TypeFacts("numeric", 38, 38)},
                 "CAST(DELETED.Value AS NVARCHAR(41))"},
        CastCase{"Money", {"Value", ado::adCurrency}, "CAST(DELETED.Value AS NVARCHAR(20))"},
        CastCase{"TextTypeName",
                 {"Value", ado::adLongVarChar, TypeFacts("text")},
                 "CAST(DELETED.Value AS NVARCHAR(MAX))"},
        CastCase{"ImageAsHexadecimalDigits",
                 {"Value", ado::adLongVarBinary, TypeFacts("image")},
                 "CONVERT(NVARCHAR(MAX), CONVERT(VARBINARY(MAX), DELETED.Value), 1)"},
        CastCase{"Geography",
                 {"Value", ado::adVarBinary, TypeFacts("geography")},
                 "CAST(DELETED.Value AS NVARCHAR(MAX))"},
        CastCase{"Geometry",
                 {"Value", ado::adVarBinary, TypeFacts("geometry")},
                 "CAST(DELETED.Value AS NVARCHAR(MAX))"},
        CastCase{"Hierarchyid",
                 {"Value", ado::adVarBinary, TypeFacts("hierarchyid")},
                 "CAST(DELETED.Value AS NVARCHAR(MAX))"},
        CastCase{"Datetime2ReportedAsText",
                 {"Value", ado::adVarWChar, TypeFacts("datetime2", 27, 7)},
                 "CAST(DELETED.Value AS NVARCHAR(20))"},
        CastCase{"DateReportedAsText",
                 {"Value", ado::adVarWChar, TypeFacts("date")},
                 "CAST(DELETED.Value AS NVARCHAR(20))"},
        CastCase{"UniqueidentifierByTypeName",
                 {"Value", ado::adVarWChar, TypeFacts("uniqueidentifier")},
                 "CAST(DELETED.Value AS NVARCHAR(36))"},
        // The catalog's type name stands for the driver's guess, whatever the letter case.
        CastCase{"CatalogTypeNameOverridesDriversText",
                 {"Value", ado::adVarWChar},
                 "CAST(DELETED.Value AS NVARCHAR(20))",
                 CatalogFacts({{"VALUE", ado::adVarWChar, TypeFacts("datetime2", 27, 7)}})},
        CastCase{"CatalogOfOtherColumnsLeavesTheDriversType",
                 {"Value", ado::adVarWChar},
                 "DELETED.Value",
                 CatalogFacts({{"Other", ado::adVarWChar, TypeFacts("datetime2", 27, 7)}})},
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
                            "CompanyName", FieldVector(columns),
                            test::PrimaryKeyFacts({"CompanyIntID"}));
    EXPECT_EQ(script.Text(), CrLf(kCompaniesTrigger));
}

// ---- The key-change refusal and literals beyond ASCII ------------------------------------------

struct KeyRefusalCase {
    const char* name;
    const char* keyColumn;
    TableFacts table;
    bool refused;  // the trigger refuses updates that change the key
};

class KeyChangeRefusal : public ::testing::TestWithParam<KeyRefusalCase> {};

// The trigger finds the rows by their key: unless no update can change it, an update that does is
// rolled back before the trigger's UPDATE.
TEST_P(KeyChangeRefusal, StandsBeforeTheUpdateUnlessTheKeyCannotChange) {
    const auto& c = GetParam();
    const std::string trigger =
        TriggerFor({{"Key1", ado::adInteger}, {"Serial", ado::adInteger}, {"Name", kText}},
                   c.keyColumn, "Items", c.table);
    const std::vector<std::string> lines = ScriptLines(trigger);
    const auto update = std::ranges::find(lines, "UPDATE Items SET");
    ASSERT_NE(update, lines.end());
    const std::vector<std::string> before(lines.begin(), update);
    const std::vector<std::string> refusal = {
        "IF UPDATE(Key1) AND ((SELECT COUNT(*) FROM INSERTED) > 1 OR EXISTS (SELECT Key1 FROM "
        "INSERTED EXCEPT SELECT Key1 FROM DELETED))",
        "BEGIN",
        "    RAISERROR(N'Items: an update may not change the key column Key1, by which the audit "
        "trigger finds the row. The update was rolled back.', 16, 1)",
        "    ROLLBACK TRANSACTION",
        "    RETURN",
        "END",
        ""};
    // The 9 lines from CREATE TRIGGER to the DECLARE's blank line come first.
    const std::size_t opening = 9;
    if (c.refused) {
        ASSERT_EQ(before.size(), opening + refusal.size());
        EXPECT_EQ(std::vector(before.begin() + opening, before.end()), refusal);
    } else {
        EXPECT_EQ(before.size(), opening);
        EXPECT_THAT(trigger, Not(HasSubstr("RAISERROR")));
    }
    // An empty key leaves "Items. = INSERTED." in the script, which no server takes.
    if (*c.keyColumn != '\0') {
        EXPECT_THAT(test::TsqlProblems(trigger), ElementsAre());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyChangeRefusal,
    ::testing::Values(
        KeyRefusalCase{"OrdinaryKey", "Key1", {}, true}, KeyRefusalCase{"EmptyKey", "", {}, false},
        KeyRefusalCase{"IdentityKeyFromTheCatalog", "Key1",
                       CatalogFacts({{"Key1", ado::adInteger, IdentityFacts()}}), false},
        KeyRefusalCase{"IdentityKeyInAnotherLetterCase", "Key1",
                       CatalogFacts({{"KEY1", ado::adInteger, IdentityFacts()}}), false},
        KeyRefusalCase{
            "IdentityOfAnotherColumn", "Key1",
            CatalogFacts({{"Key1", ado::adInteger}, {"Serial", ado::adInteger, IdentityFacts()}}),
            true}),
    [](const auto& info) { return info.param.name; });

struct LiteralCase {
    const char* name;
    const char* column;
    const char* identifier;  // the column where T-SQL expects a name
    const char* literal;     // the column's name as a literal
};

class NameLiterals : public ::testing::TestWithParam<LiteralCase> {};

// Names beyond ASCII are N'…' literals: a '…' literal passes through the server's code page,
// which turns them into '?' and matches no column name.
TEST_P(NameLiterals, AreUnicodeBeyondAscii) {
    const auto& c = GetParam();
    const std::string trigger = TriggerFor({{"Key1", ado::adInteger}, {c.column, ado::adInteger}});
    const std::string identifier = c.identifier;
    const std::string literal = c.literal;
    for (const std::string rows : {"DELETED", "INSERTED"}) {
        EXPECT_THAT(trigger, HasSubstr("            WHEN " + literal + " THEN CAST(" + rows + "." +
                                       identifier + " AS NVARCHAR(20))\r\n"));
    }
    EXPECT_THAT(trigger, HasSubstr("    IF UPDATE(" + identifier +
                                   ") AND (@CurrentColName= " + literal + ")  SET @Flag=1\r\n"));
    EXPECT_THAT(test::TsqlProblems(trigger), ElementsAre());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NameLiterals,
    ::testing::Values(LiteralCase{"Ascii", "Amount", "Amount", "'Amount'"},
                      LiteralCase{"QuoteInAscii", "O'Brien", "[O'Brien]", "'O''Brien'"},
                      LiteralCase{"HanCharacters", "数量", "数量", "N'数量'"},
                      LiteralCase{"LetterWithAccent", "Straße", "Straße", "N'Straße'"},
                      LiteralCase{"QuoteBeyondAscii", "O'Brien€", "[O'Brien€]", "N'O''Brien€'"}),
    [](const auto& info) { return info.param.name; });

// The column loop finds the table by its name: beyond ASCII as an N'…' literal too.
TEST(NameLiterals, TableBeyondAsciiIsAUnicodeLiteral) {
    const std::string trigger =
        TriggerFor({{"Key1", ado::adInteger}, {"Name", kText}}, "Key1", "Bestände");
    EXPECT_THAT(trigger, HasSubstr("WHERE sysobjects.id = syscolumns.id AND sysobjects.name = "
                                   "N'Bestände'\r\n"));
    EXPECT_THAT(trigger,
                HasSubstr("    SET @CurrentColName=COL_NAME(OBJECT_ID(N'Bestände'), @CurrentCol)"));
    EXPECT_THAT(trigger, HasSubstr("    RAISERROR(N'Bestände: an update may not change"));
    EXPECT_THAT(TriggerFor({{"Key1", ado::adInteger}, {"Name", kText}}),
                HasSubstr("sysobjects.name = 'Items'\r\n"));
    EXPECT_THAT(test::TsqlProblems(trigger), ElementsAre());
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
