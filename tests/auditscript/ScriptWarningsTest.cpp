#include "auditscript/ScriptWarnings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ColumnFacts.h"

namespace qelt {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

constexpr std::int32_t kText = ado::adVarWChar;

using test::IdentityFacts;
using test::PrimaryKeyFacts;

ColumnFacts Sized(std::int32_t size, std::string typeName = {}, std::int32_t scale = 0) {
    return test::TypeFacts(std::move(typeName), size, scale);
}

struct WarningCase {
    const char* name;
    std::vector<Field> columns;         // key ID and display Shown unless the case names others
    std::vector<std::string> expected;  // a telling part of each warning, in order
    TableFacts table = {};
    const char* keyColumn = "ID";

    friend void PrintTo(const WarningCase& c, std::ostream* out) { *out << c.name; }
};

class Warnings : public ::testing::TestWithParam<WarningCase> {};

TEST_P(Warnings, NameTheColumnTheProblemAndTheServerError) {
    const auto& c = GetParam();
    std::vector<std::string> texts;
    AuditScriptWarnings("Items", c.keyColumn, "Shown", FieldVector(c.columns), c.table,
                        [&texts](std::string_view text) { texts.emplace_back(text); });
    std::vector<::testing::Matcher<std::string>> expected;
    for (const std::string& part : c.expected) {
        expected.push_back(HasSubstr(part));
    }
    for (const std::string& text : texts) {
        EXPECT_EQ(text.find('\n'), std::string::npos) << "one line each";
    }
    EXPECT_THAT(texts, ElementsAreArray(expected));
}

// Table facts made up by an edit of the empty ones.
template <typename Edit>
TableFacts TableWith(Edit edit) {
    TableFacts table;
    edit(table);
    return table;
}

ColumnFacts ColumnSetFacts() {
    ColumnFacts facts;
    facts.columnSet = true;
    return facts;
}

const Field kKey{"ID", ado::adInteger};
const std::string kLongKey(50, 'k');
const Field kShown{"Shown", kText, Sized(80)};

INSTANTIATE_TEST_SUITE_P(
    Cases, Warnings,
    ::testing::Values(
        WarningCase{"NoneForOrdinaryColumns",
                    {kKey,
                     kShown,
                     {"Count", ado::adInteger},
                     {"Day", ado::adDBDate},
                     {"Name", kText, Sized(40)},
                     {"Code", ado::adWChar, Sized(20)},
                     {"Price", ado::adNumeric, Sized(38)},
                     {"Ref", ado::adGUID}},
                    {},
                    PrimaryKeyFacts({"id"})},
        WarningCase{"KeyNotInTheTable",
                    {kShown},
                    {"the key column 'ID' is not a column of the table: the script's CREATE "
                     "TRIGGER fails (Msg 207"}},
        WarningCase{"DisplayNotInTheTable",
                    {kKey},
                    {"the display column 'Shown' is not a column of the table: the script's CREATE "
                     "TRIGGER fails (Msg 207"}},
        WarningCase{"TextKeyWiderThanItemIntID",
                    {{"ID", kText, Sized(11)}, kShown},
                    {"holds up to 11 characters and the audit table's ItemIntID 10: every update "
                     "of a row whose value is longer fails (Msg 8152"}},
        WarningCase{"BigintKey",
                    {{"ID", ado::adBigInt}, kShown},
                    {"19 characters and the audit table's ItemIntID 10: every update of a row "
                     "whose value is longer fails (Msg 8115"}},
        WarningCase{"DecimalKeyWithScale",
                    {{"ID", ado::adNumeric, Sized(10, "", 2)}, kShown},
                    {"11 characters and the audit table's ItemIntID 10: every update of a row "
                     "whose value is longer fails (Msg 8115"}},
        WarningCase{"UniqueidentifierKey",
                    {{"ID", ado::adGUID}, kShown},
                    {"36 characters and the audit table's ItemIntID 10: every update of a row "
                     "whose value is longer fails (Msg 8170"}},
        WarningCase{"DisplayWiderThanDisplayName",
                    {kKey, {"Shown", kText, Sized(81)}},
                    {"display column 'Shown' holds up to 81 characters and the audit table's "
                     "DisplayName 80: the trigger logs longer values cut to 80"}},
        WarningCase{"KeyThatIsNotThePrimaryKey",
                    {kKey, kShown},
                    {"the key column 'ID' is not the table's primary key (Code, Year)"},
                    PrimaryKeyFacts({"Code", "Year"})},
        WarningCase{"NamesLongerThanFieldName",
                    {kKey,
                     kShown,
                     {std::string(40, 'a'), ado::adInteger},
                     {std::string(41, 'b'), ado::adInteger},
                     // 39 letters and a character beyond U+FFFF: 41 UTF-16 units
                     {std::string(39, 'c') + "\xF0\x9F\x98\x80", ado::adInteger}},
                    {"has a name of 41 characters and the audit table's FieldName 40: the "
                     "trigger logs it cut to its first 40",
                     "has a name of 41 characters"}},
        WarningCase{"LongNamesThatAreNeverLogged",
                    {{kLongKey, ado::adInteger},
                     kShown,
                     {std::string(50, 'i'), ado::adInteger, IdentityFacts()},
                     {"EditDate", ado::adDBTimeStamp}},
                    {},
                    {},
                    kLongKey.c_str()},
        WarningCase{"ValuesLoggedInPart",
                    {kKey,
                     kShown,
                     {"Blob", ado::adLongVarBinary, Sized(0, "bytea")},
                     {"Picture", ado::adLongVarBinary, Sized(0, "image")},
                     {"Any", ado::adVariant, Sized(0, "sql_variant")},
                     {"Padded", ado::adWChar, Sized(21)},
                     {"Ratio", ado::adDouble},
                     {"Created", ado::adDBTimeStamp, Sized(23, "datetime")},
                     {"Precise", ado::adDBTimeStamp, Sized(27, "datetime2")},
                     {"Minute", ado::adDBTimeStamp, Sized(16, "smalldatetime")},
                     {"Version", ado::adBinary, Sized(8, "timestamp")}},
                    // An image is logged as its 0x… digits: nothing lost.
                    {"'Blob' holds binary values, which the trigger logs as unreadable text",
                     "'Any' is an sql_variant",
                     "'Padded' holds fixed-length text longer than 20 characters, which the "
                     "trigger logs cut to 20",
                     "'Ratio' holds floating-point values",
                     "'Created' holds date and time values, "
                     "which the trigger logs to the minute",
                     "'Precise' holds date and time values, which the trigger logs cut to 20"}},
        WarningCase{
            "Money",
            {kKey,
             kShown,
             {"Price", ado::adCurrency},
             {"Fee", ado::adNumeric, Sized(19, "money", 4)},
             {"Tip", ado::adNumeric, Sized(10, "SMALLMONEY", 4)},
             {"Amount", ado::adNumeric, Sized(19, "decimal", 4)}},
            {"'Price' holds money values, which the trigger logs with 2 of their 4 decimals",
             "'Fee' holds money values", "'Tip' holds money values"}},
        WarningCase{"DateAndTimeReportedAsText",
                    {kKey,
                     kShown,
                     {"Created", kText, Sized(23, "datetime")},
                     {"Precise", kText, Sized(27, "datetimeoffset")}},
                    {"'Created' holds date and time values, which the trigger logs to the minute",
                     "'Precise' holds date and time values, which the trigger logs cut to 20"}},
        WarningCase{"CatalogTypeOverridesTheDrivers",
                    {kKey, kShown, {"Created", kText}, {"Total", ado::adDouble}},
                    {"'Created' holds date and time values, which the trigger logs cut to 20"},
                    TableWith([](TableFacts& t) {
                        t.catalogColumns = {{"created", kText, Sized(27, "datetime2")},
                                            {"Total", ado::adDouble, test::ComputedFacts()}};
                    })},
        WarningCase{"CascadingForeignKeys",
                    {kKey, kShown},
                    {"the table has foreign keys with an ON UPDATE action (FK_A, FK_B): the "
                     "script's CREATE TRIGGER fails (Msg 2113"},
                    TableWith([](TableFacts& t) {
                        t.cascadingForeignKeys = {"FK_A", "FK_B"};
                    })},
        WarningCase{"InsteadOfUpdateTriggers",
                    {kKey, kShown},
                    {"the table already has the audit trigger 'QLX_AuditTrailItems': the script's "
                     "CREATE TABLE and CREATE TRIGGER fail (Msg 2714",
                     "the table already has the INSTEAD OF UPDATE trigger 'KeepHistory': the "
                     "script's CREATE TRIGGER fails (Msg 2111"},
                    TableWith([](TableFacts& t) {
                        t.insteadOfUpdateTriggers = {"QLX_AuditTrailItems", "KeepHistory"};
                    })},
        // Only the audit trigger this table's script creates is the audit trigger, in any case.
        WarningCase{
            "AuditTriggerInOtherLetterCase",
            {kKey, kShown},
            {"the table already has the audit trigger 'qlx_audittrailITEMS': the "
             "script's CREATE TABLE and CREATE TRIGGER fail (Msg 2714"},
            TableWith([](TableFacts& t) { t.insteadOfUpdateTriggers = {"qlx_audittrailITEMS"}; })},
        WarningCase{"AuditTriggerOfAnotherTableIsAnotherTrigger",
                    {kKey, kShown},
                    {"the table already has the INSTEAD OF UPDATE trigger "
                     "'QLX_AuditTrailItemsOld': the script's CREATE TRIGGER fails (Msg 2111"},
                    TableWith([](TableFacts& t) {
                        t.insteadOfUpdateTriggers = {"QLX_AuditTrailItemsOld"};
                    })},
        WarningCase{"SystemVersioned",
                    {kKey, kShown},
                    {"the table is a system-versioned temporal table: SQL Server permits no "
                     "INSTEAD OF trigger on it, and the script's CREATE TRIGGER fails"},
                    TableWith([](TableFacts& t) { t.systemVersioned = true; })},
        WarningCase{"ColumnSet",
                    {kKey, kShown, {"Extras", ado::adLongVarWChar}},
                    {"the table has the sparse column set 'Extras': the trigger's UPDATE sets it "
                     "beside its sparse columns, and every update fails (Msg 360"},
                    TableWith([](TableFacts& t) {
                        t.catalogColumns = {{"Extras", ado::adLongVarWChar, ColumnSetFacts()}};
                    })},
        WarningCase{"TableWarningsComeFirst",
                    {kKey, kShown, {"Ratio", ado::adDouble}},
                    {"system-versioned temporal table", "'Ratio' holds floating-point values"},
                    TableWith([](TableFacts& t) { t.systemVersioned = true; })}),
    [](const auto& info) { return info.param.name; });

TEST(Warnings, NoneForAnEmptyColumnList) {
    int count = 0;
    AuditScriptWarnings("Items", "ID", "Shown", FieldVector(), {},
                        [&count](std::string_view) { ++count; });
    EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace qelt
