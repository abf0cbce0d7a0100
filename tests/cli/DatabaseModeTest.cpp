// qeltaudit --database: the generation run through the ODBC session, its exit codes and what
// reaches standard output, standard error and --output.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/QeltAudit.h"
#include "support/CliRun.h"
#include "support/DriverLeakSuppressions.h"
#include "support/FakeSession.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"
#include "support/TsqlCheck.h"

namespace qelt::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const std::string kDemoDatabase = QELT_DEMO_DATABASE;

class DatabaseModeTest : public ::testing::Test {
  protected:
    test::TempFolder temp_;
    const std::filesystem::path& folder_ = temp_.Path();
};

TEST_F(DatabaseModeTest, WritesTheScriptOfTheDemoTableToStandardOutput) {
    const test::CliResult result =
        test::RunCli({"--database", kDemoDatabase, "--table", "Contacts"});
    EXPECT_EQ(result.exitCode, kExitOk) << result.err;
    // The demo's display names are NVARCHAR(100), wider than the audit table's DisplayName.
    EXPECT_EQ(result.err,
              "qeltaudit: warning: the display column 'DisplayName' holds up to 100 characters "
              "and the audit table's DisplayName 80: the trigger logs longer values cut to 80\n");
    EXPECT_THAT(result.out, StartsWith("CREATE TABLE [dbo].[AuditTrailContacts] ("));
    EXPECT_THAT(result.out, HasSubstr("Where (INSERTED.ContactIntID = DELETED.ContactIntID)"));
    // The driver reports the notes as long text: cast, or the CASE would be of a non-Unicode type.
    EXPECT_THAT(result.out,
                HasSubstr("WHEN 'Notes' THEN CAST(DELETED.Notes AS NVARCHAR(MAX))\r\n"));
    EXPECT_THAT(result.out, HasSubstr("CAST(DELETED.BirthDate AS NVARCHAR(20))"));
}

struct FailureCase {
    const char* name;
    std::vector<std::string> args;  // "@" stands for the test's own folder
    int exitCode;
    const char* errStart;

    friend void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.name; }
};

class DatabaseModeFailureTest : public DatabaseModeTest,
                                public ::testing::WithParamInterface<FailureCase> {};

// Failures print nothing on standard output and leave an existing --output file alone.
TEST_P(DatabaseModeFailureTest, ReportsOnStandardErrorOnly) {
    const auto output = folder_ / "script.sql";
    std::ofstream(output) << "earlier script";
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args) {
        args.push_back(arg == "@" ? folder_.string() : arg);
    }
    args.insert(args.end(), {"--output", output.string()});
    const test::CliResult result = test::RunCli(args);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, StartsWith(GetParam().errStart));
    EXPECT_EQ(test::ReadBytes(output), "earlier script");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DatabaseModeFailureTest,
    ::testing::Values(
        FailureCase{"MissingFile",
                    {"--database", "/nonexistent/QeltOne.db"},
                    kExitOpenFailed,
                    "Error Opening the Database.\n/nonexistent/QeltOne.db\nqeltaudit: "},
        FailureCase{"MissingMdb",
                    {"--database", "/nonexistent/QeltOne.mdb"},
                    kExitOpenFailed,
                    "Error Opening the Database.\n/nonexistent/QeltOne.mdb\n"},
        FailureCase{"FolderIsNoDatabase",
                    {"--database", "@"},
                    kExitOpenFailed,
                    "Error Opening the Database.\n"},
        FailureCase{"UnknownDataSource",
                    {"--database", "DSN=QeltNoSuchSource"},
                    kExitOpenFailed,
                    "Error Opening the Database.\nDSN=QeltNoSuchSource\nqeltaudit: [IM002]"},
        FailureCase{"UnknownTable",
                    {"--database", kDemoDatabase, "--table", "Nope", "--key-column", "NopeID"},
                    kExitRunFailed,
                    "Error creating the Trigger\nDescription: [HY000] "},
        FailureCase{"WithColumns",
                    {"--database", kDemoDatabase, "--columns", "@"},
                    kExitUsage,
                    "qeltaudit: "},
        FailureCase{"TableNotAnIdentifier",
                    {"--database", kDemoDatabase, "--table", "Companies;DROP"},
                    kExitUsage,
                    "qeltaudit: the table"}),
    [](const auto& info) { return std::string(info.param.name); });

// After the message come the lines the window shows behind "Show details": the reason, the
// driver's SQLSTATE and native error, and a hint.
struct DetailsCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<const char*> lines;  // in this order, each on a line of its own

    friend void PrintTo(const DetailsCase& details, std::ostream* out) { *out << details.name; }
};

class DatabaseModeDetailsTest : public DatabaseModeTest,
                                public ::testing::WithParamInterface<DetailsCase> {};

TEST_P(DatabaseModeDetailsTest, ReasonFollowsTheMessage) {
    const test::CliResult result = test::RunCli(GetParam().args);
    std::size_t at = 0;
    for (const char* line : GetParam().lines) {
        at = result.err.find(std::string("\nqeltaudit: ") + line, at);
        ASSERT_NE(at, std::string::npos) << line << " in\n" << result.err;
    }
    EXPECT_TRUE(result.err.ends_with("\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, DatabaseModeDetailsTest,
    ::testing::Values(DetailsCase{"MissingFile",
                                  {"--database", "/nonexistent/QeltOne.db"},
                                  {"the database file '/nonexistent/QeltOne.db' does not exist",
                                   "Hint: Check the path"}},
                      DetailsCase{"MissingDriver",
                                  {"--database", "DRIVER={Qelt No Such Driver};Database=/x.db"},
                                  {"[01000] ", "SQLSTATE: 01000\n",
                                   "Native error: ", "Hint: No ODBC data source or driver"}},
                      DetailsCase{"MissingDataSource",
                                  {"--database", "DSN=QeltNoSuchSource"},
                                  {"[IM002] ", "SQLSTATE: IM002\n",
                                   "Native error: ", "Hint: No ODBC data source or driver"}},
                      DetailsCase{"UnknownTable",
                                  {"--database", kDemoDatabase, "--table", "Nope", "--key-column",
                                   "NopeID"},
                                  {"[HY000] ", "SQLSTATE: HY000\n", "Native error: "}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DatabaseModeTest, OutputFileGetsTheScriptOnSuccess) {
    const auto output = folder_ / "script.sql";
    std::ofstream(output) << "earlier script";
    const test::CliResult result =
        test::RunCli({"--database", kDemoDatabase, "--output", output.string()});
    EXPECT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_EQ(result.out, "");
    const test::CliResult printed = test::RunCli({"--database", kDemoDatabase});
    EXPECT_EQ(test::ReadBytes(output), printed.out);
    EXPECT_THAT(printed.out, StartsWith("CREATE TABLE [dbo].[AuditTrailCompanies] ("));
}

// An output beside the database, new or replaced, is no input: written as any other. Naming the
// database itself is refused (see OutputTest), and the database stays as it was.
TEST_F(DatabaseModeTest, OutputBesideTheDatabaseIsWrittenAndTheDatabaseKept) {
    const auto database = folder_ / "QeltOne.db";
    std::filesystem::copy_file(kDemoDatabase, database);
    const std::string before = test::ReadBytes(database);
    const std::string connection = "DRIVER=SQLite3;Database=" + database.string() + ";NoCreat=1";
    const std::string expected = test::RunCli({"--database", kDemoDatabase}).out;
    for (const char* name : {"new.sql", "new.sql", "QeltOne.db.sql"}) {
        const auto output = folder_ / name;
        const test::CliResult result =
            test::RunCli({"--database", connection, "--output", output.string()});
        EXPECT_EQ(result.exitCode, kExitOk) << name << ": " << result.err;
        EXPECT_TRUE(test::ReadBytes(output) == expected) << name << ": another script";
    }
    const test::CliResult refused =
        test::RunCli({"--database", connection, "--output", (folder_ / "./QeltOne.db").string()});
    EXPECT_EQ(refused.exitCode, kExitUsage);
    EXPECT_TRUE(test::ReadBytes(database) == before) << "the database changed";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 3);
}

// A data source whose definition in odbc.ini names the database file: --output naming that file
// is refused before the data source is opened.
TEST_F(DatabaseModeTest, OutputNamingTheDataSourcesDatabaseIsRefused) {
    const auto database = folder_ / "QeltOne.db";
    std::filesystem::copy_file(kDemoDatabase, database);
    const auto ini =
        temp_.Write("odbc.ini", "[QeltCopy]\nDriver = SQLite3\nDatabase = " + database.string() +
                                    "\nNoCreat = 1\n");
    const test::ScopedEnvironment odbcIni("ODBCINI", ini.string());
    const std::string before = test::ReadBytes(database);
    const test::CliResult result =
        test::RunCli({"--database", "dsn={QeltCopy}", "--output", database.string()});
    EXPECT_EQ(result.exitCode, kExitUsage) << result.err;
    EXPECT_THAT(result.err, HasSubstr("is the database file; name another file"));
    EXPECT_TRUE(test::ReadBytes(database) == before) << "the database changed";
}

// Without --database or --columns the host product's database is opened, as start-up finds it.
TEST_F(DatabaseModeTest, DefaultDatabaseIsTheHostProductsDatabase) {
    const test::ScopedEnvironment registry("QELT_REGISTRY", QELT_DEMO_REGISTRY);
    const test::CliResult result = test::RunCli({});
    EXPECT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_EQ(result.out, test::RunCli({"--database", kDemoDatabase}).out);
}

// A column name with a bare CR would split the script's batches: the run ends with the error.
TEST_F(DatabaseModeTest, ColumnNameWithControlCharacterEndsTheRun) {
    const auto sql = temp_.Write(
        "crafted.sql", "CREATE TABLE Companies (CompanyIntID INTEGER, \"Name\rGO\" TEXT);\n");
    const auto database = folder_ / "crafted.db";
    const std::string command = std::string(QELT_SQLITE3_SHELL) + " '" + database.string() +
                                "' '.read " + sql.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const test::CliResult result = test::RunCli({"--database", database.string()});
    EXPECT_EQ(result.exitCode, kExitRunFailed);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "Error creating the Trigger\nDescription: Column 2: the column name 'Name\\x0DGO' "
              "holds a control character\nNumber: 5\n");
}

// SQLite keeps names SQL Server refuses, an empty one and one of 129 characters: the run ends
// with the error that names the column, as for a control character.
TEST_F(DatabaseModeTest, ColumnNamesSqlServerRefusesEndTheRun) {
    const std::string longName(129, 'n');
    const std::pair<std::string, std::string> cases[] = {
        {"\"\"", "Column 2: the column name is empty"},
        {longName, "Column 2: the column name '" + longName +
                       "' has 129 characters, more than SQL Server's 128"}};
    for (const auto& [name, description] : cases) {
        SCOPED_TRACE(description);
        const auto sql = temp_.Write(
            "refused.sql", "CREATE TABLE Companies (CompanyIntID INTEGER, " + name + " TEXT);\n");
        const auto database = folder_ / ("refused" + std::to_string(name.size()) + ".db");
        const std::string command = std::string(QELT_SQLITE3_SHELL) + " '" + database.string() +
                                    "' '.read " + sql.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const test::CliResult result = test::RunCli({"--database", database.string()});
        EXPECT_EQ(result.exitCode, kExitRunFailed);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err,
                  "Error creating the Trigger\nDescription: " + description + "\nNumber: 5\n");
    }
}

// The host installation is looked up only for the default database, never when --database
// names one, so a broken installation cannot slow or disturb such a run.
TEST_F(DatabaseModeTest, HostSettingsAreLookedUpOnlyWithoutDatabase) {
    int lookups = 0;
    const HostSettingsLookup counted = [&lookups] {
        ++lookups;
        return HostSettings{"/host/", "/data/", kDemoDatabase};
    };
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunQeltAudit({"--database", kDemoDatabase}, out, err, counted), kExitOk) << err.str();
    EXPECT_EQ(RunQeltAudit({"--database", "/nonexistent/QeltOne.db"}, out, err, counted),
              kExitOpenFailed);
    EXPECT_EQ(lookups, 0);
    EXPECT_EQ(RunQeltAudit({}, out, err, counted), kExitOk) << err.str();
    EXPECT_EQ(lookups, 1);
}

// With no host installation the default is QeltOne.mdb relative to the working folder; there is
// none here, and none is created.
TEST_F(DatabaseModeTest, DefaultDatabaseWithoutHostInstallationIsQeltOneMdb) {
    const test::ScopedEnvironment registry("QELT_REGISTRY", (folder_ / "none.reg").string());
    const test::ScopedEnvironment windows("QELT_WINDOWS_DIR", folder_.string());
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    const test::CliResult result = test::RunCli({});
    std::filesystem::current_path(previous);
    EXPECT_EQ(result.exitCode, kExitOpenFailed);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, StartsWith("Error Opening the Database.\nQeltOne.mdb\n"));
    EXPECT_TRUE(std::filesystem::is_empty(folder_));
}

// The scripts of the demo tables, their names and types as the driver reports them, parse as
// T-SQL.
TEST_F(DatabaseModeTest, ScriptsOfTheDemoTablesParseAsTsql) {
    for (const char* table : {"Companies", "Contacts", "Consultants", "Requirements"}) {
        const test::CliResult result =
            test::RunCli({"--database", kDemoDatabase, "--table", table});
        ASSERT_EQ(result.exitCode, kExitOk) << table << ": " << result.err;
        EXPECT_THAT(test::TsqlProblems(result.out), IsEmpty()) << table;
    }
}

// Through the SQLite driver: an AUTOINCREMENT key is an identity and a generated column is found
// in the catalog, so neither stands in the trigger's UPDATE; the table outside the built-in list
// takes its primary key; binary data and wide decimals are warned of or cast to fit.
TEST_F(DatabaseModeTest, SQLiteIdentityAndGeneratedColumnsStayOutOfTheUpdate) {
    const auto sql = temp_.Write(
        "dbatest.sql",
        "CREATE TABLE dbatest (id INTEGER PRIMARY KEY AUTOINCREMENT, label NVARCHAR(60),\n"
        "    total INTEGER GENERATED ALWAYS AS (id * 2) VIRTUAL, payload BLOB,\n"
        "    amount DECIMAL(38, 10), stamp DATETIME);\n");
    const auto database = folder_ / "dbatest.db";
    const std::string command = std::string(QELT_SQLITE3_SHELL) + " '" + database.string() +
                                "' '.read " + sql.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const test::CliResult result = test::RunCli(
        {"--database", database.string(), "--table", "dbatest", "--display-column", "label"});
    ASSERT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_THAT(result.out, HasSubstr("UPDATE dbatest SET\r\n"
                                      "    label = INSERTED.label,\r\n"
                                      "    payload = INSERTED.payload,\r\n"
                                      "    amount = INSERTED.amount,\r\n"
                                      "    stamp = INSERTED.stamp\r\n"
                                      "    From INSERTED\r\n"
                                      "    Where (dbatest.id = INSERTED.id)\r\n"));
    EXPECT_THAT(test::TsqlProblems(result.out), IsEmpty());
    EXPECT_EQ(result.err,
              "qeltaudit: warning: the table 'dbatest' has no built-in key column: the script uses "
              "its primary key 'id', as the database reports it (--key-column names another)\n"
              "qeltaudit: warning: the column 'payload' holds binary values, which the trigger "
              "logs as unreadable text\n"
              "qeltaudit: warning: the column 'stamp' holds date and time values, which the "
              "trigger logs to the minute ('Dec  7 2026 11:04PM'): seconds and fractions are "
              "lost\n");
}

// The MDBTools driver reports every column read-only, being read-only itself: the trigger's
// UPDATE still sets every column.
TEST_F(DatabaseModeTest, AccessColumnsStayInTheUpdate) {
    const test::CliResult result =
        test::RunCli({"--database", QELT_ACCESS_DATABASE, "--table", "Fruit", "--key-column",
                      "Fruit", "--display-column", "Fruit"});
    ASSERT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_THAT(result.out, HasSubstr("UPDATE Fruit SET\r\n"
                                      "    Fruit = INSERTED.Fruit,\r\n"
                                      "    Fiber = INSERTED.Fiber,\r\n"
                                      "    Fat = INSERTED.Fat,\r\n"
                                      "    Protien = INSERTED.Protien,\r\n"
                                      "    Sugar = INSERTED.Sugar,\r\n"
                                      "    [Vit A] = INSERTED.[Vit A],\r\n"
                                      "    [Vit C] = INSERTED.[Vit C],\r\n"
                                      "    [Vit B1] = INSERTED.[Vit B1],\r\n"
                                      "    [Vit B2] = INSERTED.[Vit B2],\r\n"
                                      "    [Vit B6] = INSERTED.[Vit B6],\r\n"
                                      "    [Vit E] = INSERTED.[Vit E]\r\n"
                                      "    From INSERTED\r\n"));
    EXPECT_THAT(test::TsqlProblems(result.out), IsEmpty());
}

// A database that keeps no T-SQL triggers is checked against the script that was run, saved.
struct SavedScriptCase {
    std::string name;
    std::vector<std::string> table;  // the options naming the table and its columns
    std::string database;
};

class CheckAgainstSavedScript : public DatabaseModeTest,
                                public ::testing::WithParamInterface<SavedScriptCase> {};

TEST_P(CheckAgainstSavedScript, IsCurrentAndNamesAColumnTheScriptLacks) {
    const SavedScriptCase& c = GetParam();
    std::vector<std::string> script = {"--database", c.database};
    script.insert(script.end(), c.table.begin(), c.table.end());
    const test::CliResult made = test::RunCli(script);
    ASSERT_EQ(made.exitCode, kExitOk) << made.err;
    const std::filesystem::path saved = temp_.Write("installed.sql", made.out);

    std::vector<std::string> check = script;
    check.insert(check.end(), {"--check", "--against", saved.string()});
    test::CliResult result = test::RunCli(check);
    EXPECT_EQ(result.exitCode, kExitOk) << result.out << result.err;
    EXPECT_THAT(result.out, HasSubstr("the audit trigger is current"));

    // A script made before the table had its last column lacks every line naming it.
    const auto last = made.out.find("        END,");
    const auto lastCase = made.out.rfind("WHEN '", last) + 6;
    const std::string column = made.out.substr(lastCase, made.out.find('\'', lastCase) - lastCase);
    std::string older;
    for (const std::string& line : test::ScriptLines(made.out)) {
        if (line.find(column) == std::string::npos) {
            older += line + "\r\n";
        }
    }
    temp_.Write("installed.sql", older);
    result = test::RunCli(check);
    EXPECT_EQ(result.exitCode, kExitCheckFindings) << result.out << result.err;
    EXPECT_THAT(result.out, HasSubstr("was added after the trigger was made"));

    // Without a saved script there is nothing to compare.
    check.resize(check.size() - 2);
    result = test::RunCli(check);
    EXPECT_EQ(result.exitCode, kExitUsage);
    EXPECT_THAT(result.err, HasSubstr("--check --against FILE"));
}

INSTANTIATE_TEST_SUITE_P(
    Databases, CheckAgainstSavedScript,
    ::testing::Values(SavedScriptCase{"SQLite", {"--table", "Contacts"}, kDemoDatabase},
                      SavedScriptCase{"Access",
                                      {"--table", "Fruit", "--key-column", "Fruit",
                                       "--display-column", "Fruit"},
                                      QELT_ACCESS_DATABASE}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace qelt::cli
