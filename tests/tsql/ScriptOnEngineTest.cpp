// The scripts run on a T-SQL engine, as an administrator runs them: the table is made, qeltaudit
// reads it through FreeTDS, its script is installed batch by batch, then an application's updates
// run and the item table and the audit log are read back.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/CliRun.h"
#include "support/TsqlEngine.h"

namespace qelt::test {
namespace {

using Rows = std::vector<std::vector<std::optional<std::string>>>;

std::optional<std::string> Text(const char* text) {
    return std::string(text);
}

class ScriptOnEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::optional<std::string> connection = TsqlEngineConnectionString();
        ASSERT_TRUE(connection) << "QELT_TSQL_ENV names no engine";
        connectionString_ = *connection;
        engine_ = std::make_unique<TsqlConnection>(connectionString_);
        ASSERT_TRUE(engine_->Connected()) << engine_->ConnectError();
    }
    void TearDown() override {
        for (const std::string& table : made_) {
            Exec("IF OBJECT_ID(N'" + table + "', N'U') IS NOT NULL DROP TABLE " + table);
            Exec("IF OBJECT_ID(N'AuditTrail" + table +
                 "', N'U') IS NOT NULL DROP TABLE AuditTrail" + table);
        }
    }

    // Makes the item table anew from its definition.
    void MakeTable(const std::string& table, const std::string& definition) {
        TearDownTable(table);
        made_.push_back(table);
        Exec("CREATE TABLE " + table + " (" + definition + ")");
    }
    void TearDownTable(const std::string& table) {
        Exec("IF OBJECT_ID(N'" + table + "', N'U') IS NOT NULL DROP TABLE " + table);
        Exec("IF OBJECT_ID(N'AuditTrail" + table + "', N'U') IS NOT NULL DROP TABLE AuditTrail" +
             table);
    }

    // Runs a batch that must succeed.
    Rows Exec(const std::string& batch) {
        const BatchResult result = engine_->Run(batch);
        EXPECT_FALSE(result.Failed()) << batch << "\n" << ::testing::PrintToString(result.errors);
        return result.rows;
    }

    // qeltaudit's script for the table, read through FreeTDS.
    std::string ScriptFor(const std::string& table, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--database", connectionString_, "--table", table};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliResult run = RunCli(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    }

    // Installs the script; every batch must run.
    void Install(const std::string& script) {
        const std::vector<std::string> errors = engine_->RunScript(script);
        EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors) << "\n" << script;
    }

    // The audit rows in the order they were written: user, key, display, field, old, new.
    Rows AuditRows(const std::string& table) {
        return Exec(
            "SELECT QLXUserID, ItemIntID, DisplayName, FieldName, "
            "CAST(OldValue AS NVARCHAR(MAX)), CAST(NewValue AS NVARCHAR(MAX)) FROM AuditTrail" +
            table + " ORDER BY AutoNumber");
    }

    std::string connectionString_;
    std::unique_ptr<TsqlConnection> engine_;
    std::vector<std::string> made_;
};

TEST_F(ScriptOnEngineTest, WorkedExampleTableLogsEachChangedColumn) {
    MakeTable("Companies",
              "CompanyIntID NVARCHAR(10) NOT NULL PRIMARY KEY, CompanyName NVARCHAR(80), "
              "Employees INT, EditedBy NVARCHAR(40), EditDate DATETIME");
    Exec(
        "INSERT INTO Companies VALUES (N'1', N'Acme', 10, N'ann', NULL), "
        "(N'2', N'Bolt', 20, N'bob', NULL)");
    Install(ScriptFor("Companies"));

    Exec("UPDATE Companies SET Employees = 11, EditedBy = N'carl' WHERE CompanyIntID = N'1'");

    EXPECT_EQ(Exec("SELECT CompanyIntID, CompanyName, CAST(Employees AS NVARCHAR(20)), EditedBy "
                   "FROM Companies ORDER BY CompanyIntID"),
              (Rows{{Text("1"), Text("Acme"), Text("11"), Text("carl")},
                    {Text("2"), Text("Bolt"), Text("20"), Text("bob")}}));
    EXPECT_EQ(AuditRows("Companies"),
              (Rows{{Text("carl"), Text("1"), Text("Acme"), Text(EngineName("Employees").c_str()),
                     Text("10"), Text("11")}}));
}

}  // namespace
}  // namespace qelt::test
