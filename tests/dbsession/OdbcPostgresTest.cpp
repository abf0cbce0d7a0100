// The ODBC session against a PostgreSQL server through the Unicode psqlODBC driver. The server,
// its database and the data source come from scripts/postgres-fixture.sh, which CTest runs
// before these tests; ODBCINI points at the fixture's odbc.ini.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "auditscript/GenerationRun.h"
#include "cli/QeltAudit.h"
#include "dbsession/OdbcSession.h"
#include "dbsession/OdbcTestSupport.h"
#include "support/CliRun.h"
#include "support/ProgramRun.h"
#include "support/TsqlCheck.h"

namespace qelt {
namespace {

using ::testing::HasSubstr;

constexpr const char* kDataSource = "DSN=QeltPostgres";

class OdbcSessionPostgres : public ::testing::Test {
  protected:
    void SetUp() override {
        session_.SetDatabaseName(kDataSource);
        ASSERT_TRUE(session_.OpenDatabase()) << session_.OpenFailure();
    }
    OdbcSession session_;
};

// Unquoted names fold to lower case, and the Unicode driver reports text as W types.
TEST_F(OdbcSessionPostgres, ProbeQueryDescribesFoldedNamesAndTypes) {
    const auto recordset = session_.OpenRecordset(ProbeQuery("Companies"), 3, 3, 1);
    ASSERT_NE(recordset, nullptr);
    EXPECT_EQ(test::FieldsOf(*recordset),
              (std::vector<Field>{
                  {"companyintid", ado::adInteger},
                  {"companyname", ado::adVarWChar},
                  {"address", ado::adLongVarWChar},
                  {"countrycode", ado::adWChar},
                  {"employees", ado::adSmallInt},
                  {"shares", ado::adBigInt},
                  {"turnover", ado::adNumeric},
                  {"rating", ado::adSingle},
                  {"score", ado::adDouble},
                  {"iscustomer", ado::adVarChar},  // booleans as text (BoolsAsChar)
                  {"externalref", ado::adGUID},
                  {"logo", ado::adLongVarBinary},
                  {"foundedon", ado::adDBDate},
                  {"opensat", ado::adDBTime},
                  {"createdate", ado::adDBTimeStamp},
                  {"uueditedby", ado::adVarWChar},
                  {"editdate", ado::adDBTimeStamp},
              }));
}

// The Unicode driver's UTF-16 names, surrogate pairs among them, come back as created.
TEST_F(OdbcSessionPostgres, QuotedNamesBeyondAsciiComeBackAsCreated) {
    const auto recordset = session_.OpenRecordset(ProbeQuery("\"Wörter\""), 3, 3, 1);
    ASSERT_NE(recordset, nullptr);
    EXPECT_EQ(test::FieldsOf(*recordset), (std::vector<Field>{{"数量", ado::adInteger},
                                                              {"Preis€", ado::adNumeric},
                                                              {"😀", ado::adLongVarWChar},
                                                              {"Kunde😀𝔘", ado::adVarWChar}}));
}

TEST_F(OdbcSessionPostgres, LowerCaseFoldingIsNotUpperCase) {
    EXPECT_FALSE(session_.UppercaseIdentifiers());
}

TEST_F(OdbcSessionPostgres, UnknownTableThrowsTheServersStateAndMessage) {
    try {
        session_.OpenRecordset(ProbeQuery("Nope"), 3, 3, 1);
        FAIL() << "no error for an unknown table";
    } catch (const OdbcError& error) {
        EXPECT_EQ(error.SqlState(), "42P01");  // undefined_table
        EXPECT_NE(error.Number(), 0);
        EXPECT_THAT(error.Description(), HasSubstr("[42P01]"));
        EXPECT_THAT(error.Description(), HasSubstr("\"nope\" does not exist"));
    }
}

// The server ignores the read-only hint; what a query changes is rolled back all the same.
TEST_F(OdbcSessionPostgres, QueriesChangeNothing) {
    EXPECT_EQ(session_.OpenRecordset("CREATE TABLE Written (A integer)", 3, 3, 1), nullptr);
    EXPECT_THROW(session_.OpenRecordset(ProbeQuery("Written"), 3, 3, 1), OdbcError);
    session_.SetDatabaseName(kDataSource);  // a second connection sees the same
    ASSERT_TRUE(session_.OpenDatabase()) << session_.OpenFailure();
    EXPECT_THROW(session_.OpenRecordset(ProbeQuery("Written"), 3, 3, 1), OdbcError);
}

TEST(OdbcSessionPostgresOpen, UnknownDataSourceIsAnOpenFailure) {
    OdbcSession session;
    session.SetDatabaseName("DSN=QeltNoSuchSource");
    EXPECT_FALSE(session.OpenDatabase());
    EXPECT_THAT(session.OpenFailure(), HasSubstr("[IM002]"));
}

TEST(OdbcSessionPostgresOpen, UnknownDatabaseOnTheServerIsAnOpenFailure) {
    OdbcSession session;
    session.SetDatabaseName(std::string(kDataSource) + ";Database=qelt_missing");
    EXPECT_FALSE(session.OpenDatabase());
    EXPECT_THAT(session.OpenFailure(), HasSubstr("qelt_missing"));
}

// ---- What the script needs beyond names and types ----------------------------------------------

struct FactCase {
    const char* column;
    std::int32_t type;
    const char* typeName;
    std::int32_t size;
    std::int32_t scale;
    bool identity;
};

// The driver tells the server's type name, size and scale, and which column is an identity; the
// generated column it reports as writable, so the catalog has to say that one.
TEST_F(OdbcSessionPostgres, DescribesWhatTheScriptNeeds) {
    const auto recordset = session_.OpenRecordset(ProbeQuery("dbatest"), 3, 3, 1);
    ASSERT_NE(recordset, nullptr);
    const Fields& fields = recordset->GetFields();
    const std::vector<FactCase> expected = {
        {"id", ado::adInteger, "serial", 10, 0, true},
        {"label", ado::adVarWChar, "varchar", 60, 0, false},
        {"total", ado::adInteger, "int4", 10, 0, false},
        {"ref", ado::adGUID, "uuid", 37, 0, false},
        {"amount", ado::adNumeric, "numeric", 38, 10, false},
        {"price", ado::adNumeric, "numeric", 10, 2, false},
        {"payload", ado::adLongVarBinary, "bytea", 0, 0, false},
        {"a_column_name_that_is_longer_than_forty_chars", ado::adLongVarWChar, "text", 0, 0, false},
    };
    ASSERT_EQ(fields.Count(), static_cast<std::int32_t>(expected.size()));
    for (std::int32_t p = 0; p < fields.Count(); ++p) {
        const Field& field = fields.Item(p);
        const FactCase& c = expected[static_cast<std::size_t>(p)];
        EXPECT_EQ(field.Name, c.column);
        EXPECT_EQ(field.Type, c.type) << c.column;
        EXPECT_EQ(field.Facts->typeName, c.typeName) << c.column;
        if (c.size != 0) {
            EXPECT_EQ(field.Facts->size, c.size) << c.column;
        }
        EXPECT_EQ(field.Facts->scale, c.scale) << c.column;
        EXPECT_EQ(field.Facts->identity, c.identity) << c.column;
    }
    const TableFacts table = session_.DescribeTable("dbatest");
    EXPECT_EQ(table.primaryKey, std::vector<std::string>{"id"});
    EXPECT_EQ(table.computedColumns, std::vector<std::string>{"total"});
    // The catalog keeps the names folded: the table as typed is found all the same.
    EXPECT_EQ(session_.DescribeTable("DbaTest").primaryKey, std::vector<std::string>{"id"});
    EXPECT_EQ(session_.DescribeTable("nope").primaryKey, std::vector<std::string>{});
}

// The whole command line on the server's table: the identity and the generated column stay out
// of the UPDATE, the casts fit, the warnings name what cannot be mended, and the script parses.
TEST(OdbcSessionPostgresScript, HoldsForIdentityGeneratedUuidAndWideNumericColumns) {
    const std::vector<std::string> args = {"--database", kDataSource,        "--table",
                                           "dbatest",    "--display-column", "label"};
    test::CliResult result = test::RunCli(args);
    ASSERT_EQ(result.exitCode, cli::kExitOk) << result.err;
    EXPECT_THAT(result.out, HasSubstr("UPDATE dbatest SET\r\n"
                                      "    label = INSERTED.label,\r\n"
                                      "    ref = INSERTED.ref,\r\n"
                                      "    amount = INSERTED.amount,\r\n"
                                      "    price = INSERTED.price,\r\n"
                                      "    payload = INSERTED.payload,\r\n"
                                      "    a_column_name_that_is_longer_than_forty_chars = "
                                      "INSERTED.a_column_name_that_is_longer_than_forty_chars\r\n"
                                      "    From INSERTED\r\n"
                                      "    Where (dbatest.id = INSERTED.id)\r\n"));
    for (const char* value :
         {"CAST(DELETED.ref AS NVARCHAR(36))", "CAST(INSERTED.amount AS NVARCHAR(40))",
          "CAST(DELETED.price AS NVARCHAR(20))"}) {
        EXPECT_THAT(result.out, HasSubstr(value));
    }
    EXPECT_THAT(test::TsqlProblems(result.out), ::testing::ElementsAre());
    EXPECT_EQ(result.err,
              "qeltaudit: warning: the table 'dbatest' has no built-in key column: the script uses "
              "its primary key 'id', as the database reports it (--key-column names another)\n"
              "qeltaudit: warning: the column 'payload' holds binary values, which the trigger "
              "logs as unreadable text\n"
              "qeltaudit: warning: the column 'a_column_name_that_is_longer_than_forty_chars' has "
              "a name of 45 characters and the audit table's FieldName 40: the trigger logs it "
              "cut to its first 40\n");

    std::vector<std::string> strict = args;
    strict.push_back("--strict");
    result = test::RunCli(strict);
    EXPECT_EQ(result.exitCode, cli::kExitWarnings);
    EXPECT_EQ(result.out, "");

    result = test::RunCli({"--drop", "--drop-audit-table", "--table", "dbatest"});
    EXPECT_THAT(test::TsqlProblems(result.out), ::testing::ElementsAre());
}

// Started with its standard output closed, qeltaudit must not let its connection to the server
// take that descriptor, or the script would go into the connection: the run fails with the reason.
TEST(OdbcSessionPostgresScript, ClosedStandardOutputIsAFailureNotTheConnection) {
    const test::ProgramRun run = test::RunProgram(
        QELT_QELTAUDIT, {"--database", kDataSource, "--table", "dbatest", "--key-column", "id"},
        test::kClosedOutput);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitCode, cli::kExitCannotWrite) << run.err;
    EXPECT_THAT(run.err, ::testing::EndsWith(std::string("qeltaudit: cannot write to standard "
                                                         "output: ") +
                                             std::strerror(EBADF) + "\n"));
}

// Names the same ignoring case (simple case folding) end the run at the second one, after the
// lines written before it; names that differ beyond case (ß and SS) pass.
TEST(OdbcSessionPostgresScript, NamesSameIgnoringCaseEndTheRun) {
    test::CliResult result =
        test::RunCli({"--database", kDataSource, "--table", "casetwins", "--key-column", "id"});
    EXPECT_EQ(result.exitCode, cli::kExitRunFailed);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "Error creating the Trigger\nDescription: Column 3: the column name 'NAME' repeats "
              "the name of column 2, 'Name' (names are the same ignoring case)\nNumber: 5\n");

    result =
        test::RunCli({"--database", kDataSource, "--table", "casefolds", "--key-column", "id"});
    EXPECT_EQ(result.exitCode, cli::kExitRunFailed);
    EXPECT_EQ(result.err,
              "Error creating the Trigger\nDescription: Column 4: the column name 'STRA\u1E9EE' "
              "repeats the name of column 2, 'Stra\u00DFe' (names are the same ignoring "
              "case)\nNumber: 5\n");
}

// PostgreSQL keeps no T-SQL triggers: the script that was run, saved, is checked against the
// table's columns today.
TEST(OdbcSessionPostgresScript, CheckAgainstTheSavedScriptIsCurrent) {
    const std::vector<std::string> args = {"--database", kDataSource,        "--table",
                                           "dbatest",    "--display-column", "label"};
    const test::CliResult made = test::RunCli(args);
    ASSERT_EQ(made.exitCode, cli::kExitOk) << made.err;
    test::TempFolder folder;
    const std::filesystem::path saved = folder.Path() / "dbatest.sql";
    test::WriteFile(saved, made.out);
    std::vector<std::string> check = args;
    check.insert(check.end(), {"--check", "--against", saved.string()});
    const test::CliResult result = test::RunCli(check);
    EXPECT_EQ(result.exitCode, cli::kExitOk) << result.out << result.err;
    EXPECT_THAT(result.out, HasSubstr("dbatest: the audit trigger is current"));
}

}  // namespace
}  // namespace qelt
