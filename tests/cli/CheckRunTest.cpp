#include "cli/CheckRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "auditscript/GenerationRun.h"
#include "auditscript/SQLFuncs.h"
#include "cli/ConsoleWindow.h"
#include "cli/QeltAudit.h"
#include "support/FakeSession.h"

namespace qelt::cli {
namespace {

using ::testing::HasSubstr;

const std::vector<Field> kColumns = {{"CompanyIntID", ado::adInteger},
                                     {"CompanyName", ado::adVarWChar},
                                     {"Employees", ado::adInteger}};

// The trigger text a script run writes for the columns.
std::string TriggerText(const std::vector<Field>& columns) {
    test::FakeSession session;
    session.state.columns = columns;
    ConsoleWindow window("Companies", "db");
    CreateAuditScript(window, session);
    return window.Script().Text();
}

InstalledAudit CurrentInstallation() {
    InstalledAudit audit;
    std::vector<std::string> columns;
    for (const std::string_view column : AuditTableColumnNames()) {
        columns.emplace_back(column);
    }
    audit.auditTableColumns = columns;
    audit.triggerExists = true;
    audit.insteadOfUpdate = true;
    audit.definition = TriggerText(kColumns);
    return audit;
}

struct CheckCase {
    std::string name;
    std::function<void(InstalledAudit&)> change;
    int exitCode;
    std::string finding;
};

class CheckRunTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckRunTest, ReportsEachFindingAndSumsUp) {
    test::FakeSession session;
    session.state.columns = kColumns;
    InstalledAudit installed = CurrentInstallation();
    GetParam().change(installed);
    session.state.installedAudit = installed;
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = RunCheck({"db", {{"Companies", {}}}, {}, {}}, session, out, err);
    EXPECT_EQ(exitCode, GetParam().exitCode) << out.str() << err.str();
    EXPECT_THAT(out.str(), HasSubstr(GetParam().finding));
    EXPECT_THAT(out.str(),
                HasSubstr(exitCode == kExitOk ? "1 table checked: 1 current, 0 to mend\n"
                                              : "1 table checked: 0 current, 1 to mend;"));
    EXPECT_EQ(err.str(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Installations, CheckRunTest,
    ::testing::Values(
        CheckCase{"Current", [](InstalledAudit&) {}, kExitOk,
                  "Companies: the audit trigger is current"},
        CheckCase{"DefinitionUnreadable",
                  [](InstalledAudit& a) {
                      a.definition.reset();
                      a.definitionFailure = "the trigger is encrypted";
                  },
                  kExitCheckFindings,
                  "the definition of QLX_AuditTrailCompanies cannot be read (the trigger is "
                  "encrypted)"},
        CheckCase{"Disabled", [](InstalledAudit& a) { a.disabled = true; }, kExitCheckFindings,
                  "is disabled"},
        CheckCase{"NotInsteadOf", [](InstalledAudit& a) { a.insteadOfUpdate = false; },
                  kExitCheckFindings, "is not an INSTEAD OF UPDATE trigger"},
        CheckCase{"AuditTableLacksAColumn",
                  [](InstalledAudit& a) { a.auditTableColumns->pop_back(); }, kExitCheckFindings,
                  "lacks the columns TransDate"},
        CheckCase{"NoAuditTable", [](InstalledAudit& a) { a.auditTableColumns.reset(); },
                  kExitCheckFindings, "the audit table AuditTrailCompanies does not exist"},
        CheckCase{"ColumnAddedSince",
                  [](InstalledAudit& a) {
                      a.definition = TriggerText({kColumns[0], kColumns[1]});
                  },
                  kExitCheckFindings, "the column 'Employees' was added after the trigger"},
        CheckCase{"NotOurs",
                  [](InstalledAudit& a) {
                      a.definition =
                          "CREATE TRIGGER QLX_AuditTrailCompanies ON Companies "
                          "INSTEAD OF UPDATE AS BEGIN RETURN END";
                  },
                  kExitCheckFindings, "was not made by qeltaudit"}),
    [](const auto& info) { return info.param.name; });

TEST(CheckRun, DatabaseWithoutTriggersAsksForASavedScript) {
    test::FakeSession session;
    session.state.columns = kColumns;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCheck({"db", {{"Companies", {}}}, {}, {}}, session, out, err), kExitUsage);
    EXPECT_THAT(err.str(), HasSubstr("--check --against FILE"));
}

TEST(CheckRun, DatabaseThatDoesNotOpenEndsTheCheck) {
    test::FakeSession session;
    session.state.opens = false;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCheck({"db", {{"Companies", {}}, {"Contacts", {}}}, {}, {}}, session, out, err),
              kExitOpenFailed);
    EXPECT_EQ(out.str(), "");
    EXPECT_THAT(err.str(), HasSubstr("Error Opening the Database."));
}

TEST(CheckRun, SavedScriptStandsForTheInstalledTrigger) {
    test::FakeSession session;
    session.state.columns = kColumns;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCheck({"db", {{"Companies", {}}}, {}, TriggerText({kColumns[0], kColumns[2]})},
                       session, out, err),
              kExitCheckFindings);
    EXPECT_THAT(out.str(), HasSubstr("the column 'CompanyName' was added after the trigger"));
}

}  // namespace
}  // namespace qelt::cli
