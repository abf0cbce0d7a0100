// qeltaudit --check and --refresh on a T-SQL engine: a trigger installed from the script is
// current; the table changes under it (a column added or dropped, the trigger disabled, dropped,
// replaced by hand, the audit table gone) and the check names what happened; the refresh script
// replaces the trigger and keeps the log.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/CliRun.h"
#include "support/TempFolder.h"
#include "support/TsqlEngine.h"
#include "tsql/EngineTest.h"

namespace qelt::test {
namespace {

constexpr const char* kTable = "CheckedItems";
constexpr int kCurrent = 0;
constexpr int kFindings = 3;

class CheckOnEngineTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakeTable(kTable,
                  "ItemIntID INT NOT NULL PRIMARY KEY, DisplayName NVARCHAR(80), Price INT, "
                  "Notes NVARCHAR(100)");
        Exec(std::string("INSERT INTO ") + kTable + " VALUES (1, N'One', 10, N'n')");
        Install(Script({}));
        Exec(std::string("UPDATE ") + kTable + " SET Price = 11 WHERE ItemIntID = 1");
    }
    std::vector<std::string> Args(std::vector<std::string> more) const {
        std::vector<std::string> args = {
            "--database",   connectionString_, "--table",          kTable,
            "--key-column", "ItemIntID",       "--display-column", "DisplayName"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    std::string Script(std::vector<std::string> mode) {
        const CliResult run = RunCli(Args(std::move(mode)));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    }

    CliResult Check() { return RunCli(Args({"--check"})); }

    std::size_t AuditRowCount() {
        const Rows rows = Exec(std::string("SELECT COUNT(*) FROM AuditTrail") + kTable);
        return rows.empty() || !rows[0][0] ? 0 : std::stoul(*rows[0][0]);
    }
};

bool Says(const CliResult& run, const std::string& text) {
    return run.out.find(text) != std::string::npos;
}

TEST_F(CheckOnEngineTest, InstalledTriggerIsCurrent) {
    const CliResult check = Check();
    EXPECT_EQ(check.exitCode, kCurrent) << check.out << check.err;
    EXPECT_TRUE(Says(check, "CheckedItems: the audit trigger is current")) << check.out;
    EXPECT_TRUE(Says(check, "1 table checked: 1 current, 0 to mend")) << check.out;
}

TEST_F(CheckOnEngineTest, AddedColumnIsNamedAndRefreshKeepsTheLog) {
    Exec(std::string("ALTER TABLE ") + kTable + " ADD Colour NVARCHAR(20)");
    // The fault the check exists for: the old trigger discards the new column's update.
    Exec(std::string("UPDATE ") + kTable + " SET Colour = N'red' WHERE ItemIntID = 1");
    EXPECT_EQ(Exec(std::string("SELECT Colour FROM ") + kTable), (Rows{{std::nullopt}}));

    const CliResult check = Check();
    EXPECT_EQ(check.exitCode, kFindings) << check.out << check.err;
    EXPECT_TRUE(Says(check, "the column 'colour'") || Says(check, "the column 'Colour'"))
        << check.out;
    EXPECT_TRUE(Says(check, "every update of it is discarded")) << check.out;

    const std::size_t logged = AuditRowCount();
    ASSERT_GT(logged, 0u);
    const std::string refresh = Script({"--refresh"});
    Install(refresh);
    Install(refresh);  // safe to run twice
    EXPECT_EQ(AuditRowCount(), logged);
    EXPECT_EQ(Check().exitCode, kCurrent);

    Exec(std::string("UPDATE ") + kTable + " SET Colour = N'red' WHERE ItemIntID = 1");
    EXPECT_EQ(Exec(std::string("SELECT Colour FROM ") + kTable), (Rows{{std::string("red")}}));
    EXPECT_EQ(AuditRowCount(), logged + 1);
}

// The engine drops a trigger with a column it names, where SQL Server keeps it and fails every
// update (Msg 207): the script that was run, saved, shows the dropped column on both.
TEST_F(CheckOnEngineTest, DroppedColumnIsNamedAgainstTheSavedScript) {
    TempFolder folder;
    const std::filesystem::path saved = folder.Path() / "installed.sql";
    WriteFile(saved, Script({}));
    Exec(std::string("ALTER TABLE ") + kTable + " DROP COLUMN Notes");

    const CliResult check = RunCli(Args({"--check", "--against", saved.string()}));
    EXPECT_EQ(check.exitCode, kFindings) << check.out << check.err;
    EXPECT_TRUE(Says(check, "the column 'Notes' was dropped after the trigger was made"))
        << check.out;

    Install(Script({"--refresh"}));
    EXPECT_EQ(Check().exitCode, kCurrent) << Check().out;
    Exec(std::string("UPDATE ") + kTable + " SET Price = 12 WHERE ItemIntID = 1");
}

TEST_F(CheckOnEngineTest, AgainstAFileThatIsNoScriptOfOursIsAUsageError) {
    TempFolder folder;
    const std::filesystem::path other = folder.Path() / "other.sql";
    WriteFile(other, "SELECT 1\nGO\n");
    const CliResult check = RunCli(Args({"--check", "--against", other.string()}));
    EXPECT_EQ(check.exitCode, 64);
    EXPECT_EQ(check.out, "");
    EXPECT_NE(check.err.find("is not a script qeltaudit wrote"), std::string::npos) << check.err;
}

struct BrokenInstallation {
    std::string name;
    std::string damage;  // T-SQL that breaks the installation; %T stands for the table
    std::string finding;
};

class BrokenInstallationTest : public CheckOnEngineTest,
                               public ::testing::WithParamInterface<BrokenInstallation> {};

std::string ForTheTable(std::string text) {
    for (auto at = text.find("%T"); at != std::string::npos; at = text.find("%T")) {
        text.replace(at, 2, kTable);
    }
    return text;
}

TEST_P(BrokenInstallationTest, IsAFinding) {
    for (const std::string& batch : ScriptBatches(ForTheTable(GetParam().damage))) {
        Exec(batch);
    }
    const CliResult check = Check();
    EXPECT_EQ(check.exitCode, kFindings) << check.out << check.err;
    EXPECT_TRUE(Says(check, ForTheTable(GetParam().finding))) << check.out;
}

INSTANTIATE_TEST_SUITE_P(
    Damage, BrokenInstallationTest,
    ::testing::Values(
        BrokenInstallation{"Disabled", "DISABLE TRIGGER QLX_AuditTrail%T ON %T\n",
                           "is disabled: the table's updates are not audited"},
        BrokenInstallation{"Missing", "DROP TRIGGER QLX_AuditTrail%T\n",
                           "does not exist on the table: its updates are not audited"},
        BrokenInstallation{"AuditTableMissing", "DROP TABLE AuditTrail%T\n",
                           "the audit table AuditTrail%T does not exist"},
        BrokenInstallation{"WrittenByHand",
                           "DROP TRIGGER QLX_AuditTrail%T\nGO\nCREATE TRIGGER QLX_AuditTrail%T ON "
                           "%T INSTEAD OF UPDATE AS\nBEGIN\n    SET NOCOUNT ON\nEND\n",
                           "was not made by qeltaudit"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace qelt::test
