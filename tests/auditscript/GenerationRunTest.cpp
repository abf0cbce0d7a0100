#include "auditscript/GenerationRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "auditscript/SQLFuncs.h"
#include "auditscript/WorkedExample.h"
#include "dbsession/ColumnListSession.h"
#include "dbsession/Error.h"
#include "support/CaseName.h"
#include "support/ColumnFacts.h"
#include "support/FakeSession.h"

namespace qelt {
namespace {

using test::FakeSession;
using test::FakeSessionState;
using test::ScriptLines;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// Records what the run does to the window: pointer changes and messages, in order.
class FakeWindow final : public ScriptWindow {
  public:
    std::string itemTable = "Companies";
    std::string databaseName = "/data/QeltOne.db";
    ScriptBuffer script;
    std::vector<std::string> events;
    std::vector<std::string> details;  // of each message
    bool busy = false;
    std::optional<Error> itemTableError;

    std::string ItemTableText() override {
        if (itemTableError) {
            throw *itemTableError;
        }
        return itemTable;
    }
    std::string DatabaseNameText() override { return databaseName; }
    ScriptBuffer& Script() override { return script; }
    void ShowMessage(const std::string& text, MessageStyle style,
                     const std::string& shownDetails) override {
        events.push_back("Message " + std::to_string(static_cast<int>(style)) + ": " + text);
        details.push_back(shownDetails);
    }
    void SetBusyPointer() override {
        busy = true;
        events.push_back("Busy");
    }
    void ResetPointer() override {
        busy = false;
        events.push_back("Default");
    }
};

const std::vector<Field>& kColumns = test::kCompaniesColumns;

// The first `count` lines of the full script, each with its CR LF.
std::string FirstLines(const std::string& script, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t line = 0; line < count; ++line) {
        end = script.find("\r\n", end) + 2;
    }
    return script.substr(0, end);
}

std::string TriggerError(const std::string& description, std::int32_t number) {
    return "Message 0: Error creating the Trigger\r\nDescription: " + description +
           "\r\nNumber: " + std::to_string(number);
}

struct RunCase {
    std::string name;
    std::function<void(FakeWindow&, FakeSessionState&)> arrange;
    std::string expectedScript;               // the buffer after the run
    std::vector<std::string> expectedEvents;  // pointer changes and messages, in order
    RunOutcome::Kind outcome = RunOutcome::Kind::Failed;
    std::int32_t errorNumber = 0;  // of a failed run
};

class GenerationRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(GenerationRun, EndsWithTheRightBufferMessageAndPointer) {
    const auto& c = GetParam();
    FakeWindow window;
    window.script.AppendScriptLine("previous script");
    FakeSession session;
    session.state.columns = kColumns;
    c.arrange(window, session.state);

    const RunOutcome outcome = CreateAuditScript(window, session);

    EXPECT_EQ(outcome.kind, c.outcome);
    EXPECT_EQ(outcome.errorNumber, c.errorNumber);
    EXPECT_EQ(window.script.Text(), c.expectedScript);
    EXPECT_THAT(window.events, ElementsAreArray(c.expectedEvents));
    EXPECT_FALSE(window.busy);
}

const std::string kFull = test::CompaniesScript();
// The audit table's 22 lines, and the trigger's up to its UPDATE line: 9 opening lines and the 7
// of the key-change refusal.
constexpr std::size_t kLinesToTheUpdate = 22 + 17;

INSTANTIATE_TEST_SUITE_P(
    Paths, GenerationRun,
    ::testing::Values(
        RunCase{"Success",
                [](FakeWindow&, FakeSessionState&) {},
                kFull,
                {"Busy", "Default"},
                RunOutcome::Kind::Written},
        RunCase{"DatabaseNotOpened",
                [](FakeWindow&, FakeSessionState& s) { s.opens = false; },
                "",
                {"Busy", "Message 64: Error Opening the Database.\r\n/data/QeltOne.db", "Default"},
                RunOutcome::Kind::OpenFailed},
        RunCase{"OpenDatabaseRaises",
                [](FakeWindow&, FakeSessionState& s) { s.openError = Error(5, "D"); },
                "",
                {"Busy", TriggerError("D", 5), "Default"},
                RunOutcome::Kind::Failed,
                5},
        RunCase{"OpenRecordsetRaisesNegativeNumber",
                [](FakeWindow&, FakeSessionState& s) {
                    s.recordsetError = Error(-2147217865, "Invalid object name 'Companies'.");
                },
                "",
                {"Busy", TriggerError("Invalid object name 'Companies'.", -2147217865), "Default"},
                RunOutcome::Kind::Failed,
                -2147217865},
        RunCase{"NoRecordsetReturned",
                [](FakeWindow&, FakeSessionState& s) { s.returnsNoRecordset = true; },
                FirstLines(kFull, kLinesToTheUpdate),
                {"Busy", TriggerError("The probe query returned no recordset", 91), "Default"},
                RunOutcome::Kind::Failed,
                91},
        RunCase{"FieldReadFails",
                [](FakeWindow&, FakeSessionState& s) {
                    s.scriptFields = [](test::ScriptedFields& f) { f.failAtItem = 2; };
                },
                FirstLines(kFull, kLinesToTheUpdate + 1) +
                    "    CompanyName = INSERTED.CompanyName,\r\n",
                {"Busy", TriggerError("Field read failed", -2147217887), "Default"},
                RunOutcome::Kind::Failed,
                -2147217887},
        RunCase{
            "IdentifierCaseUnreadableKeepsPreviousScript",
            [](FakeWindow&, FakeSessionState& s) { s.uppercaseError = Error(429, "No session"); },
            "previous script\r\n",
            {"Busy", TriggerError("No session", 429), "Default"},
            RunOutcome::Kind::Failed,
            429},
        RunCase{"TableUnreadableKeepsPreviousScript",
                [](FakeWindow& w, FakeSessionState&) { w.itemTableError = Error(380, "No table"); },
                "previous script\r\n",
                {"Busy", TriggerError("No table", 380), "Default"},
                RunOutcome::Kind::Failed,
                380},
        RunCase{"EmptyRecordsetGivesTheEmptyListForm",
                [](FakeWindow&, FakeSessionState& s) { s.columns.clear(); },
                test::CrLf(std::string(test::kCompaniesAuditTable) + test::kCompaniesEmptyTrigger),
                {"Busy", "Default"},
                RunOutcome::Kind::Written},
        RunCase{"ColumnNameWithCarriageReturn",
                [](FakeWindow&, FakeSessionState& s) {
                    s.columns = {{"CompanyIntID", ado::adInteger},
                                 {"Name\rGO", ado::adVarWChar},
                                 {"EditedBy", ado::adVarWChar}};
                },
                FirstLines(kFull, kLinesToTheUpdate + 1),
                {"Busy",
                 TriggerError("Column 2: the column name 'Name\\x0DGO' holds a control character",
                              kErrRefusedColumnName),
                 "Default"},
                RunOutcome::Kind::Failed,
                kErrRefusedColumnName},
        RunCase{"ColumnNameWithNul",
                [](FakeWindow&, FakeSessionState& s) {
                    s.columns = {{std::string("A\0B", 3), ado::adInteger}};
                },
                FirstLines(kFull, kLinesToTheUpdate),
                {"Busy",
                 TriggerError("Column 1: the column name 'A\\x00B' holds a control character",
                              kErrRefusedColumnName),
                 "Default"},
                RunOutcome::Kind::Failed,
                kErrRefusedColumnName},
        RunCase{"NothingCanBeSet",
                [](FakeWindow&, FakeSessionState& s) {
                    s.columns = {{"CompanyIntID", ado::adInteger, test::IdentityFacts()},
                                 {"Total", ado::adInteger, test::ComputedFacts()}};
                },
                FirstLines(kFull, kLinesToTheUpdate),
                {"Busy",
                 TriggerError("No column of Companies can be set by an UPDATE (every one is an "
                              "identity, computed or rowversion column): the trigger would "
                              "discard every update",
                              kErrNoColumnToSet),
                 "Default"},
                RunOutcome::Kind::Failed,
                kErrNoColumnToSet}),
    [](const auto& info) { return info.param.name; });

// The names every column list keeps to: a refused one ends the run where the script reads it,
// after the lines written before it.
const std::string kCompanyNameLine = "    CompanyName = INSERTED.CompanyName,\r\n";
const std::string kName129(129, 'n');
const std::string kMathBoldA =
    "\xF0\x9D\x90\x80";  // a letter of two UTF-16 units, beyond the BMP: bracketed

INSTANTIATE_TEST_SUITE_P(
    RefusedNames, GenerationRun,
    ::testing::Values(
        RunCase{"Empty",
                [](FakeWindow&, FakeSessionState& s) {
                    s.columns = {{"CompanyIntID", ado::adInteger},
                                 {"CompanyName", ado::adVarWChar},
                                 {"", ado::adVarWChar}};
                },
                FirstLines(kFull, kLinesToTheUpdate + 1) + kCompanyNameLine,
                {"Busy", TriggerError("Column 3: the column name is empty", kErrRefusedColumnName),
                 "Default"},
                RunOutcome::Kind::Failed,
                kErrRefusedColumnName},
        RunCase{"Of129Characters",
                [](FakeWindow&, FakeSessionState& s) {
                    s.columns = {{"CompanyIntID", ado::adInteger},
                                 {"CompanyName", ado::adVarWChar},
                                 {kName129, ado::adVarWChar}};
                },
                FirstLines(kFull, kLinesToTheUpdate + 1) + kCompanyNameLine,
                {"Busy",
                 TriggerError("Column 3: the column name '" + kName129 +
                                  "' has 129 characters, more than SQL Server's 128",
                              kErrRefusedColumnName),
                 "Default"},
                RunOutcome::Kind::Failed,
                kErrRefusedColumnName},
        RunCase{"Of129UnitsInUtf16",
                [](FakeWindow&, FakeSessionState& s) {
                    s.columns = {{"CompanyIntID", ado::adInteger},
                                 {std::string(126, 'n') + kMathBoldA, 202},
                                 {std::string(127, 'n') + kMathBoldA, 202}};
                },
                FirstLines(kFull, kLinesToTheUpdate + 1) + "    [" + std::string(126, 'n') +
                    kMathBoldA + "] = INSERTED.[" + std::string(126, 'n') + kMathBoldA + "],\r\n",
                {"Busy",
                 TriggerError("Column 3: the column name '" + std::string(127, 'n') + kMathBoldA +
                                  "' has 129 characters, more than SQL Server's 128",
                              kErrRefusedColumnName),
                 "Default"},
                RunOutcome::Kind::Failed,
                kErrRefusedColumnName},
        RunCase{"RepeatedIgnoringCase",
                [](FakeWindow&, FakeSessionState& s) {
                    s.columns = {{"CompanyIntID", ado::adInteger},
                                 {"CompanyName", ado::adVarWChar},
                                 {"COMPANYNAME", ado::adVarWChar}};
                },
                FirstLines(kFull, kLinesToTheUpdate + 1) + kCompanyNameLine,
                {"Busy",
                 TriggerError("Column 3: the column name 'COMPANYNAME' repeats the name of column "
                              "2, 'CompanyName' (names are the same ignoring case)",
                              kErrRefusedColumnName),
                 "Default"},
                RunOutcome::Kind::Failed,
                kErrRefusedColumnName},
        // Simple case folding: capital sharp s folds to sharp s, but SS stays two letters.
        RunCase{
            "RepeatedIgnoringUnicodeCase",
            [](FakeWindow&, FakeSessionState& s) {
                s.columns = {{"CompanyIntID", ado::adInteger},
                             {"Stra\u00DFe", ado::adVarWChar},
                             {"STRASSE", ado::adVarWChar},
                             {"STRA\u1E9EE", ado::adVarWChar}};
            },
            FirstLines(kFull, kLinesToTheUpdate + 1) +
                "    Stra\u00DFe = INSERTED.Stra\u00DFe,\r\n    STRASSE = INSERTED.STRASSE,\r\n",
            {"Busy",
             TriggerError("Column 4: the column name 'STRA\u1E9EE' repeats the name of column "
                          "2, 'Stra\u00DFe' (names are the same ignoring case)",
                          kErrRefusedColumnName),
             "Default"},
            RunOutcome::Kind::Failed,
            kErrRefusedColumnName}),
    [](const auto& info) { return info.param.name; });

// The reason behind each message goes with it: the session's for an open failure, a driver's
// diagnostics for its error, nothing for the run's own errors, whose message says it all.
struct DetailsCase {
    const char* name;
    std::function<void(FakeSessionState&)> arrange;
    FailureReason reason;  // whose details text the message carries
};

void PrintTo(const DetailsCase& details, std::ostream* out) {
    *out << details.name;
}

class MessageDetails : public ::testing::TestWithParam<DetailsCase> {};

TEST_P(MessageDetails, MessageCarriesTheDetailsOfItsReason) {
    FakeWindow window;
    FakeSession session;
    session.state.columns = kColumns;
    GetParam().arrange(session.state);
    CreateAuditScript(window, session);
    ASSERT_THAT(window.details, ::testing::SizeIs(1));
    EXPECT_EQ(window.details[0], FailureDetailsText(GetParam().reason));
}

const FailureReason kMissingFile{"", 0, "the database file '/data/QeltOne.db' does not exist",
                                 FailureHint::FileNotFound, ""};
const FailureReason kNotADatabase{"HY000", 26, "[HY000] file is not a database (26)",
                                  FailureHint::NotADatabase, ""};

INSTANTIATE_TEST_SUITE_P(
    Reasons, MessageDetails,
    ::testing::Values(
        DetailsCase{"OpenFailure",
                    [](FakeSessionState& s) {
                        s.opens = false;
                        s.openFailure = kMissingFile;
                    },
                    kMissingFile},
        DetailsCase{"OpenFailureWithoutReason", [](FakeSessionState& s) { s.opens = false; }, {}},
        DetailsCase{"DriverError",
                    [](FakeSessionState& s) {
                        s.recordsetDriverError =
                            OdbcError(26, "HY000", "[HY000] file is not a database (26)");
                    },
                    kNotADatabase},
        DetailsCase{"RunsOwnError", [](FakeSessionState& s) { s.returnsNoRecordset = true; }, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GenerationRunOrder, ReadsIdentifierCaseBeforeNamingAndOpeningTheDatabase) {
    FakeWindow window;
    window.databaseName = "DSN=Server1";
    FakeSession session;
    session.state.columns = kColumns;
    CreateAuditScript(window, session);
    EXPECT_THAT(session.state.calls,
                ElementsAre("UppercaseIdentifiers", "DatabaseName=DSN=Server1", "OpenDatabase",
                            "OpenRecordset(SELECT * FROM Companies WHERE 1=2,3,3,1)"));
}

TEST(GenerationRunOrder, EmptyItemTableProbesWithTwoBlanksAndNamesTheBareAuditTable) {
    FakeWindow window;
    window.itemTable = "";
    FakeSession session;
    CreateAuditScript(window, session);
    EXPECT_EQ(session.state.calls.back(), "OpenRecordset(SELECT * FROM  WHERE 1=2,3,3,1)");
    EXPECT_EQ(ScriptLines(window.script.Text()).front(), "CREATE TABLE [dbo].[AuditTrail] (");
}

TEST(GenerationRunOrder, UppercaseIdentifiersUpperCaseTheKeyColumnOnly) {
    FakeWindow window;
    FakeSession session;
    session.state.uppercaseIdentifiers = true;
    session.state.columns = kColumns;
    CreateAuditScript(window, session);
    EXPECT_THAT(window.script.Text(),
                ::testing::HasSubstr("    Where (Companies.COMPANYINTID = INSERTED.COMPANYINTID)"));
    EXPECT_THAT(window.script.Text(),
                ::testing::HasSubstr(",CAST(INSERTED.CompanyName AS NVARCHAR(80)),"));
}

TEST(GenerationRunOrder, OverridesReplaceTheBuiltInColumns) {
    FakeWindow window;
    window.itemTable = "Orders";
    FakeSession session;
    session.state.columns = {{"OrderID", ado::adInteger}, {"Title", ado::adVarWChar}};
    CreateAuditScript(window, session, ColumnOverrides{"OrderID", "Title"});
    EXPECT_THAT(
        window.script.Text(),
        ::testing::HasSubstr("        SELECT  @QLXUserID,INSERTED.OrderID,CAST(INSERTED.Title AS "
                             "NVARCHAR(80)),LEFT(@CurrentColName, 40),"));
    EXPECT_THAT(session.state.calls, ::testing::Not(::testing::Contains("UppercaseIdentifiers")));
}

TEST(SecondRun, ReplacesTheWholeBufferEvenWhenTheDatabaseDoesNotOpen) {
    FakeWindow window;
    FakeSession session;
    session.state.columns = kColumns;
    CreateAuditScript(window, session);
    ASSERT_EQ(window.script.Text(), kFull);

    session.state.opens = false;
    CreateAuditScript(window, session);
    EXPECT_THAT(window.script.Text(), IsEmpty());
    EXPECT_FALSE(window.busy);
}

// A column list whose names were held to the rules as it was read (a columns file) is not
// checked again; any other list is.
struct ColumnListCase {
    const char* name;
    ColumnListSession::Names names;
    RunOutcome::Kind outcome;
};

class ColumnListNames : public ::testing::TestWithParam<ColumnListCase> {};

TEST_P(ColumnListNames, AreCheckedByTheRunUnlessCheckedAsTheListWasRead) {
    FakeWindow window;
    ColumnListSession session(
        FieldVector{
            {"CompanyIntID", ado::adInteger}, {"Name", ado::adVarWChar}, {"NAME", ado::adVarWChar}},
        false, GetParam().names);
    EXPECT_EQ(CreateAuditScript(window, session).kind, GetParam().outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ColumnListNames,
    ::testing::Values(ColumnListCase{"Unchecked", ColumnListSession::Names::Unchecked,
                                     RunOutcome::Kind::Failed},
                      ColumnListCase{"CheckedAsRead", ColumnListSession::Names::Checked,
                                     RunOutcome::Kind::Written}),
    test::CaseNameOf());

}  // namespace
}  // namespace qelt
