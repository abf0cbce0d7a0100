#include "dbsession/OdbcSession.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sqlext.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dbsession/ColumnListSession.h"
#include "dbsession/OdbcTestSupport.h"
#include "support/CaseName.h"
#include "support/DriverLeakSuppressions.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"

namespace qelt {
namespace {

using test::FieldsOf;
using test::FolderSnapshot;
using test::TempFolder;
using ::testing::HasSubstr;

const std::filesystem::path kDemoDatabase = QELT_DEMO_DATABASE;

// Creates a SQLite database with the sqlite3 shell: the session itself never writes.
void CreateSQLiteDatabase(const std::filesystem::path& file, const std::string& sql) {
    const auto script = std::filesystem::path(file) += ".sql";
    std::ofstream(script, std::ios::binary) << sql;
    const std::string command = std::string("'") + QELT_SQLITE3_SHELL + "' -bail '" +
                                file.string() + "' < '" + script.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::filesystem::remove(script);
}

// ---- Type codes ---------------------------------------------------------------------------------

// SQL Server's own types, which <sqlext.h> does not name.
constexpr int kSqlSsVariant = -150;
constexpr int kSqlSsXml = -152;
constexpr int kSqlSsTimestampOffset = -155;

struct TypeCase {
    std::string name;
    int sqlType;
    bool isUnsigned;
    std::int32_t adoType;
};

class AdoTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(AdoTypeTest, MapsOdbcTypeToAdoCode) {
    EXPECT_EQ(AdoTypeOfSqlType(GetParam().sqlType, GetParam().isUnsigned), GetParam().adoType)
        << "SQL type " << GetParam().sqlType;
}

INSTANTIATE_TEST_SUITE_P(
    OdbcTypes, AdoTypeTest,
    ::testing::Values(TypeCase{"SQL_WVARCHAR", SQL_WVARCHAR, false, ado::adVarWChar},
                      TypeCase{"SQL_WLONGVARCHAR", SQL_WLONGVARCHAR, false, ado::adLongVarWChar},
                      TypeCase{"SQL_VARCHAR", SQL_VARCHAR, false, ado::adVarChar},
                      TypeCase{"SQL_LONGVARCHAR", SQL_LONGVARCHAR, false, ado::adLongVarChar},
                      TypeCase{"SQL_CHAR", SQL_CHAR, false, ado::adChar},
                      TypeCase{"SQL_WCHAR", SQL_WCHAR, false, ado::adWChar},
                      TypeCase{"SQL_INTEGER", SQL_INTEGER, false, ado::adInteger},
                      TypeCase{"SQL_SMALLINT", SQL_SMALLINT, false, ado::adSmallInt},
                      TypeCase{"SQL_TINYINT", SQL_TINYINT, false, ado::adTinyInt},
                      TypeCase{"SQL_TINYINT_UNSIGNED", SQL_TINYINT, true, ado::adUnsignedTinyInt},
                      TypeCase{"SQL_BIGINT", SQL_BIGINT, false, ado::adBigInt},
                      TypeCase{"SQL_BIT", SQL_BIT, false, ado::adBoolean},
                      TypeCase{"SQL_REAL", SQL_REAL, false, ado::adSingle},
                      TypeCase{"SQL_FLOAT", SQL_FLOAT, false, ado::adDouble},
                      TypeCase{"SQL_DOUBLE", SQL_DOUBLE, false, ado::adDouble},
                      TypeCase{"SQL_DECIMAL", SQL_DECIMAL, false, ado::adNumeric},
                      TypeCase{"SQL_NUMERIC", SQL_NUMERIC, false, ado::adNumeric},
                      TypeCase{"SQL_TYPE_DATE", SQL_TYPE_DATE, false, ado::adDBDate},
                      TypeCase{"SQL_TYPE_TIME", SQL_TYPE_TIME, false, ado::adDBTime},
                      TypeCase{"SQL_TYPE_TIMESTAMP", SQL_TYPE_TIMESTAMP, false, ado::adDBTimeStamp},
                      TypeCase{"SQL_GUID", SQL_GUID, false, ado::adGUID},
                      TypeCase{"SQL_BINARY", SQL_BINARY, false, ado::adBinary},
                      TypeCase{"SQL_VARBINARY", SQL_VARBINARY, false, ado::adVarBinary},
                      TypeCase{"SQL_LONGVARBINARY", SQL_LONGVARBINARY, false, ado::adLongVarBinary},
                      // ODBC 2 date codes, SQL Server's own types and anything unknown: adVariant
                      TypeCase{"SQL_DATE", SQL_DATE, false, ado::adVariant},
                      TypeCase{"SQL_TIMESTAMP", SQL_TIMESTAMP, false, ado::adVariant},
                      TypeCase{"SQL_SS_VARIANT", kSqlSsVariant, false, ado::adVariant},
                      TypeCase{"SQL_SS_XML", kSqlSsXml, false, ado::adVariant},
                      TypeCase{"SQL_SS_TIMESTAMPOFFSET", kSqlSsTimestampOffset, false,
                               ado::adVariant},
                      TypeCase{"SQL_UNKNOWN_TYPE", SQL_UNKNOWN_TYPE, false, ado::adVariant}),
    test::CaseNameOf());

// ---- The SQLite driver on the demo database -----------------------------------------------------

struct TableCase {
    const char* table;
    std::vector<Field> columns;

    friend void PrintTo(const TableCase& table, std::ostream* out) { *out << table.table; }
};

std::vector<Field> DemoCompaniesColumns() {
    return {{"CompanyIntID", ado::adInteger},   {"CompanyName", ado::adVarChar},
            {"Address", ado::adLongVarChar},    {"City", ado::adVarChar},
            {"Phone", ado::adVarChar},          {"Employees", ado::adInteger},
            {"Turnover", ado::adDouble},        {"IsCustomer", ado::adBoolean},
            {"CreateDate", ado::adDBTimeStamp}, {"uuEditedBy", ado::adVarChar},
            {"EditDate", ado::adDBTimeStamp}};
}

class DemoTableTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(DemoTableTest, ProbeQueryDescribesColumnsInTableOrder) {
    OdbcSession session;
    session.SetDatabaseName(kDemoDatabase.string());
    ASSERT_TRUE(session.OpenDatabase()) << session.OpenFailure();
    const auto recordset = session.OpenRecordset(ProbeQuery(GetParam().table), 3, 3, 1);
    ASSERT_NE(recordset, nullptr);
    EXPECT_EQ(FieldsOf(*recordset), GetParam().columns);
}

INSTANTIATE_TEST_SUITE_P(ItemTables, DemoTableTest,
                         ::testing::Values(TableCase{"Companies", DemoCompaniesColumns()},
                                           TableCase{"Contacts",
                                                     {{"ContactIntID", ado::adInteger},
                                                      {"CompanyIntID", ado::adInteger},
                                                      {"DisplayName", ado::adVarChar},
                                                      {"FirstName", ado::adVarChar},
                                                      {"LastName", ado::adVarChar},
                                                      {"JobTitle", ado::adVarChar},
                                                      {"Email", ado::adVarChar},
                                                      {"Mobile", ado::adVarChar},
                                                      {"BirthDate", ado::adDBDate},
                                                      {"Notes", ado::adLongVarChar},
                                                      {"uuEditedBy", ado::adVarChar},
                                                      {"EditDate", ado::adDBTimeStamp}}},
                                           TableCase{"Consultants",
                                                     {{"ConsIntID", ado::adInteger},
                                                      {"DisplayName", ado::adVarChar},
                                                      {"Initials", ado::adVarChar},
                                                      {"Email", ado::adVarChar},
                                                      {"DailyRate", ado::adDouble},
                                                      {"Active", ado::adBoolean},
                                                      {"StartDate", ado::adDBDate},
                                                      {"EditedBy", ado::adVarChar},
                                                      {"EditDate", ado::adDBTimeStamp}}},
                                           TableCase{"Requirements",
                                                     {{"ReqIntID", ado::adInteger},
                                                      {"ReqID", ado::adVarChar},
                                                      {"CompanyIntID", ado::adInteger},
                                                      {"ConsIntID", ado::adInteger},
                                                      {"Title", ado::adVarChar},
                                                      {"Description", ado::adLongVarChar},
                                                      {"Positions", ado::adSmallInt},
                                                      {"Budget", ado::adDouble},
                                                      {"OpenDate", ado::adDBDate},
                                                      {"CloseDate", ado::adDBDate},
                                                      {"uuEditedBy", ado::adVarChar},
                                                      {"EditDate", ado::adDBTimeStamp}}}),
                         [](const auto& info) { return std::string(info.param.table); });

// The run through the driver writes the same bytes as a run over the expected column list.
TEST(OdbcSessionSQLite, CompaniesScriptThroughTheDriverEqualsTheColumnListScript) {
    OdbcSession session;
    test::HeadlessWindow window("Companies", kDemoDatabase.string());
    CreateAuditScript(window, session);
    EXPECT_THAT(window.Messages(), ::testing::IsEmpty());

    ColumnListSession reference{FieldVector(DemoCompaniesColumns())};  // the reference run
    test::HeadlessWindow referenceWindow("Companies", "reference");
    CreateAuditScript(referenceWindow, reference);
    ASSERT_THAT(referenceWindow.Messages(), ::testing::IsEmpty());
    EXPECT_EQ(window.Script().Text(), referenceWindow.Script().Text());
    EXPECT_THAT(window.Script().Text(),
                HasSubstr("WHEN 'CompanyName' THEN DELETED.CompanyName\r\n"));
    EXPECT_THAT(window.Script().Text(), HasSubstr("CAST(DELETED.Turnover AS NVARCHAR(20))"));
}

TEST(OdbcSessionSQLite, UnknownTableThrowsTheDriversNumberAndMessage) {
    OdbcSession session;
    session.SetDatabaseName(kDemoDatabase.string());
    ASSERT_TRUE(session.OpenDatabase()) << session.OpenFailure();
    try {
        session.OpenRecordset(ProbeQuery("Nope"), 3, 3, 1);
        FAIL() << "no error for an unknown table";
    } catch (const OdbcError& error) {
        EXPECT_EQ(error.Number(), 1);  // SQLITE_ERROR
        EXPECT_EQ(error.SqlState(), "HY000");
        EXPECT_THAT(error.Description(), HasSubstr("[HY000]"));
        EXPECT_THAT(error.Description(), HasSubstr("no such table: Nope"));
    }
}

TEST(OdbcSessionSQLite, UnknownTableEndsTheRunWithTheTriggerError) {
    OdbcSession session;
    test::HeadlessWindow window("Nope", kDemoDatabase.string());
    CreateAuditScript(window, session, ColumnOverrides{"NopeID", std::nullopt});
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_THAT(window.Messages()[0], HasSubstr("Error creating the Trigger\r\nDescription: "));
    EXPECT_THAT(window.Messages()[0], HasSubstr("no such table: Nope"));
    EXPECT_THAT(window.Messages()[0], ::testing::EndsWith("\r\nNumber: 1"));
}

TEST(OdbcSessionSQLite, FileDatabaseIsReadOnly) {
    TempFolder folder;
    const auto database = folder.Path() / "QeltOne.db";
    std::filesystem::copy_file(kDemoDatabase, database);
    OdbcSession session;
    session.SetDatabaseName(database.string());
    ASSERT_TRUE(session.OpenDatabase()) << session.OpenFailure();
    EXPECT_THROW(session.OpenRecordset("DELETE FROM Companies", 3, 3, 1), OdbcError);
    EXPECT_THROW(session.OpenRecordset("CREATE TABLE Extra (A INTEGER)", 3, 3, 1), OdbcError);
}

TEST(OdbcSessionSQLite, RunsLeaveEveryFileAsItWas) {
    TempFolder folder;
    const auto database = folder.Path() / "QeltOne.db";
    std::filesystem::copy_file(kDemoDatabase, database);
    const FolderSnapshot before = FolderSnapshot::Of(folder.Path());
    for (const char* table : {"Companies", "Contacts", "Nope", "Requirements"}) {
        OdbcSession session;
        test::HeadlessWindow window(table, database.string());
        CreateAuditScript(window, session, ColumnOverrides{"Id", std::nullopt});
    }
    EXPECT_EQ(FolderSnapshot::Of(folder.Path()), before);
}

// Missing files and unusable texts are open failures that create nothing.
TEST(OdbcSessionSQLite, UnopenableDatabasesAreOpenFailuresThatCreateNothing) {
    TempFolder folder;
    std::ofstream(folder.Path() / "notes.txt") << "not a database";
    const FolderSnapshot before = FolderSnapshot::Of(folder.Path());
    for (const auto& name :
         {folder.Path() / "missing.db", folder.Path() / "sub" / "missing.sqlite",
          folder.Path() / "notes.txt", folder.Path(), folder.Path() / "missing.mdb"}) {
        OdbcSession session;
        session.SetDatabaseName(name.string());
        EXPECT_FALSE(session.OpenDatabase()) << name;
        EXPECT_FALSE(session.OpenFailure().empty()) << name;
    }
    EXPECT_EQ(FolderSnapshot::Of(folder.Path()), before);
}

// Each open failure says what it most likely means; the driver's failures carry its SQLSTATE.
struct OpenFailureCase {
    const char* name;
    std::string database;  // "@" stands for the test's folder
    FailureHint hint;
    const char* sqlState;
};

void PrintTo(const OpenFailureCase& failure, std::ostream* out) {
    *out << failure.name;
}

class OpenFailureReasonTest : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailureReasonTest, ReasonCarriesHintAndDriverDiagnostics) {
    TempFolder folder;
    std::string database = GetParam().database;
    if (const auto at = database.find('@'); at != std::string::npos) {
        database.replace(at, 1, folder.Path().string());
    }
    OdbcSession session;
    session.SetDatabaseName(database);
    ASSERT_FALSE(session.OpenDatabase());
    const FailureReason reason = session.LastOpenFailure();
    EXPECT_EQ(reason.hint, GetParam().hint) << reason.message;
    EXPECT_EQ(reason.sqlState, GetParam().sqlState) << reason.message;
    EXPECT_EQ(reason.message, session.OpenFailure());

    session.SetDatabaseName(kDemoDatabase.string());
    ASSERT_TRUE(session.OpenDatabase());
    EXPECT_EQ(session.LastOpenFailure(), FailureReason{});
}

INSTANTIATE_TEST_SUITE_P(
    Failures, OpenFailureReasonTest,
    ::testing::Values(OpenFailureCase{"MissingFile", "@/missing.db", FailureHint::FileNotFound, ""},
                      OpenFailureCase{"MissingMdb", "@/missing.mdb", FailureHint::FileNotFound, ""},
                      OpenFailureCase{"UnknownDriver",
                                      "DRIVER={Qelt No Such Driver};Database=@/x.db",
                                      FailureHint::NoDriver, "01000"},
                      OpenFailureCase{"UnknownDataSource", "DSN=QeltNoSuchSource",
                                      FailureHint::NoDriver, "IM002"},
                      OpenFailureCase{"UnknownExtension", "@/notes.txt", FailureHint::None, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// SQLite opens any file and finds out at the first query that it holds no database.
TEST(OdbcSessionSQLite, FileThatIsNoDatabaseFailsTheProbeWithItsHint) {
    TempFolder folder;
    const auto database = folder.Path() / "notes.db";
    test::WriteFile(database, std::string(4096, 'x'));
    OdbcSession session;
    session.SetDatabaseName(database.string());
    ASSERT_TRUE(session.OpenDatabase()) << session.OpenFailure();
    try {
        session.OpenRecordset(ProbeQuery("Companies"), 3, 3, 1);
        FAIL() << "the probe ran";
    } catch (const OdbcError& error) {
        const FailureReason reason = ReasonOfError(error);
        EXPECT_EQ(reason.hint, FailureHint::NotADatabase) << error.what();
        EXPECT_FALSE(reason.sqlState.empty());
    }
}

// Root reads every file: only another user can see the permission hint.
TEST(OdbcSessionSQLite, UnreadableFileIsAnOpenFailureWithThePermissionHint) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may read every file";
    }
    TempFolder folder;
    const auto database = folder.Path() / "QeltOne.db";
    std::filesystem::copy_file(kDemoDatabase, database);
    std::filesystem::permissions(database, std::filesystem::perms::none);
    OdbcSession session;
    session.SetDatabaseName(database.string());
    EXPECT_FALSE(session.OpenDatabase());
    EXPECT_EQ(session.LastOpenFailure().hint, FailureHint::PermissionDenied)
        << session.OpenFailure();
}

TEST(OdbcSessionSQLite, FailedOpenClosesTheEarlierConnection) {
    OdbcSession session;
    session.SetDatabaseName(kDemoDatabase.string());
    ASSERT_TRUE(session.OpenDatabase()) << session.OpenFailure();
    session.SetDatabaseName("missing.db");
    EXPECT_FALSE(session.OpenDatabase());
    EXPECT_FALSE(session.UppercaseIdentifiers());
    EXPECT_THROW(session.OpenRecordset(ProbeQuery("Companies"), 3, 3, 1), OdbcError);
}

TEST(OdbcSessionSQLite, ReopeningReplacesTheConnection) {
    TempFolder folder;
    const auto other = folder.Path() / "Other.sqlite3";
    CreateSQLiteDatabase(other, "CREATE TABLE Companies (Only INTEGER);");
    OdbcSession session;
    for (const auto& [database, count] :
         {std::pair{kDemoDatabase.string(), 11}, std::pair{other.string(), 1},
          std::pair{"DRIVER={SQLite3};Database=" + other.string(), 1},
          std::pair{kDemoDatabase.string(), 11}}) {
        session.SetDatabaseName(database);
        ASSERT_TRUE(session.OpenDatabase()) << session.OpenFailure();
        EXPECT_EQ(session.OpenRecordset(ProbeQuery("Companies"), 3, 3, 1)->GetFields().Count(),
                  count);
    }
}

// Without an odbcinst.ini naming the driver, its library is used directly.
TEST(OdbcSessionSQLite, DriverLibraryServesWhenNoDriverIsRegistered) {
    TempFolder emptyConfiguration;
    const char* previous = std::getenv("ODBCSYSINI");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("ODBCSYSINI", emptyConfiguration.Path().c_str(), 1);
    OdbcSession session;
    session.SetDatabaseName(kDemoDatabase.string());
    const bool opened = session.OpenDatabase();
    previous != nullptr ? setenv("ODBCSYSINI", saved.c_str(), 1) : unsetenv("ODBCSYSINI");
    ASSERT_TRUE(opened) << session.OpenFailure();
    EXPECT_EQ(session.OpenRecordset(ProbeQuery("Consultants"), 3, 3, 1)->GetFields().Count(), 9);
}

TEST(OdbcSessionSQLite, UppercaseIdentifiersIsFalseUnopenedAndForSQLite) {
    OdbcSession session;
    EXPECT_FALSE(session.UppercaseIdentifiers());
    session.SetDatabaseName(kDemoDatabase.string());
    ASSERT_TRUE(session.OpenDatabase()) << session.OpenFailure();
    EXPECT_FALSE(session.UppercaseIdentifiers());
}

TEST(OdbcSessionSQLite, OpenRecordsetBeforeOpenDatabaseThrows) {
    OdbcSession session;
    EXPECT_THROW(session.OpenRecordset(ProbeQuery("Companies"), 3, 3, 1), OdbcError);
}

// Names beyond ASCII and file names with the connection string's and the URI's special
// characters reach the driver and come back intact.
TEST(OdbcSessionSQLite, UnusualNamesSurviveTheRoundTrip) {
    TempFolder folder;
    const auto subfolder = folder.Path() / "a;b {c}%20#?d é";
    std::filesystem::create_directories(subfolder);
    const auto database = subfolder / "Qelt One.db";
    CreateSQLiteDatabase(
        folder.Path() / "w.db",
        "CREATE TABLE Companies (\"Straße\" NVARCHAR(10), \"名前\" TEXT, \"Größe_µ\" INTEGER);");
    std::filesystem::rename(folder.Path() / "w.db", database);
    const FolderSnapshot before = FolderSnapshot::Of(folder.Path());
    OdbcSession session;
    session.SetDatabaseName(database.string());
    ASSERT_TRUE(session.OpenDatabase()) << session.OpenFailure();
    const auto recordset = session.OpenRecordset(ProbeQuery("Companies"), 3, 3, 1);
    ASSERT_NE(recordset, nullptr);
    EXPECT_EQ(FieldsOf(*recordset), (std::vector<Field>{{"Straße", ado::adVarChar},
                                                        {"名前", ado::adLongVarChar},
                                                        {"Größe_µ", ado::adInteger}}));
    EXPECT_EQ(FolderSnapshot::Of(folder.Path()), before);
}

struct NamesCase {
    const char* name;
    std::vector<std::string> columns;
};

// Column names beyond ASCII, outside the Basic Multilingual Plane (surrogate pairs in UTF-16) and
// around the 256-unit buffer the names are first read into come back exactly as created.
class ColumnNamesTest : public ::testing::TestWithParam<NamesCase> {};

TEST_P(ColumnNamesTest, ComeBackAsCreated) {
    TempFolder folder;
    const auto database = folder.Path() / "Names.db";
    std::string create = "CREATE TABLE Companies (";
    for (const std::string& column : GetParam().columns) {
        create += (column == GetParam().columns.front() ? "\"" : ", \"") + column + "\" TEXT";
    }
    CreateSQLiteDatabase(database, create + ");");
    OdbcSession session;
    session.SetDatabaseName(database.string());
    ASSERT_TRUE(session.OpenDatabase()) << session.OpenFailure();
    const auto recordset = session.OpenRecordset(ProbeQuery("Companies"), 3, 3, 1);
    ASSERT_NE(recordset, nullptr);
    std::vector<Field> expected;
    for (const std::string& column : GetParam().columns) {
        expected.push_back({column, ado::adLongVarChar});
    }
    EXPECT_EQ(FieldsOf(*recordset), expected);
}

std::string Repeated(const std::string& unit, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += unit;
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Names, ColumnNamesTest,
    ::testing::Values(NamesCase{"BeyondAscii", {"数量", "Preis€", "Größe_µ", "été", "a b"}},
                      NamesCase{"Astral", {"😀", "Kunde😀", "𝔘𝔫𝔦", "a😀b😀"}},
                      NamesCase{"FillingTheBuffer",
                                {Repeated("a", 255), Repeated("é", 255), Repeated("x", 256)}},
                      NamesCase{"PastTheBuffer", {Repeated("数", 300), Repeated("😀", 200) + "z"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The SQLite driver registered under a name of its own goes through the wide calls, which
// unixODBC converts for it, reporting the byte length of the UTF-8 text: the name ends at its
// NUL. (Its UCS-2 conversion loses what lies beyond U+FFFF.) Named as a file driver, directly or
// by a data source, it gets the narrow calls, which keep every name.
TEST(OdbcSessionSQLite, NamesBeyondAsciiThroughAnUnknownAndAKnownDriverName) {
    TempFolder folder;
    const auto database = folder.Path() / "Names.db";
    CreateSQLiteDatabase(database,
                         "CREATE TABLE Companies (\"数量\" INTEGER, \"Preis€\" TEXT, \"😀\" TEXT);");
    test::WriteFile(
        folder.Path() / "odbcinst.ini",
        "[QeltLite]\nDriver = libsqlite3odbc.so\n[SQLite3]\nDriver = libsqlite3odbc.so\n");
    test::WriteFile(folder.Path() / "odbc.ini",
                    "[QeltLiteSource]\nDriver = QeltLite\nDatabase = " + database.string() +
                        "\n[SQLite3Source]\nDriver = SQLite3\nDatabase = " + database.string() +
                        "\n");
    const test::ScopedEnvironment odbcSysIni("ODBCSYSINI", folder.Path().string());
    const test::ScopedEnvironment odbcIni("ODBCINI", (folder.Path() / "odbc.ini").string());
    const std::vector<Field> expected{
        {"数量", ado::adInteger}, {"Preis€", ado::adLongVarChar}, {"😀", ado::adLongVarChar}};
    for (const auto& [text, intact] :
         {std::pair{"DRIVER={QeltLite};Database=" + database.string(), 2},
          std::pair{"DRIVER={SQLite3};Database=" + database.string(), 3},
          std::pair{std::string("DSN=QeltLiteSource"), 2},
          std::pair{std::string("dsn=sqlite3source"), 3}}) {
        OdbcSession session;
        session.SetDatabaseName(text);
        ASSERT_TRUE(session.OpenDatabase()) << text << ": " << session.OpenFailure();
        const auto recordset = session.OpenRecordset(ProbeQuery("Companies"), 3, 3, 1);
        ASSERT_NE(recordset, nullptr);
        auto fields = FieldsOf(*recordset);
        ASSERT_EQ(fields.size(), 3u);
        fields.resize(static_cast<std::size_t>(intact));
        EXPECT_EQ(fields, std::vector<Field>(expected.begin(), expected.begin() + intact)) << text;
    }
}

// A file held under an exclusive lock by another program: the probe gives up within seconds
// with the driver's message.
TEST(OdbcSessionSQLite, LockedDatabaseFailsWithinSecondsWithTheDriversMessage) {
    TempFolder folder;
    const auto database = folder.Path() / "Locked.db";
    CreateSQLiteDatabase(database, "CREATE TABLE Companies (Id INTEGER);");
    // The shell says when it holds the lock through a FIFO, which the test's read waits on.
    const auto locked = folder.Path() / "locked";
    ASSERT_EQ(mkfifo(locked.c_str(), 0600), 0);
    const std::string command =
        std::string("'") + QELT_SQLITE3_SHELL + "' '" + database.string() + "'";
    FILE* holder = popen(command.c_str(), "w");
    ASSERT_NE(holder, nullptr);
    std::fprintf(holder,
                 "BEGIN EXCLUSIVE;\nINSERT INTO Companies VALUES (1);\n.shell echo held > '%s'\n",
                 locked.c_str());
    std::fflush(holder);
    std::string held;
    std::getline(std::ifstream(locked), held);
    const auto start = std::chrono::steady_clock::now();
    OdbcSession session;
    test::HeadlessWindow window("Companies", database.string());
    CreateAuditScript(window, session);
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(holder, "ROLLBACK;\n");
    pclose(holder);
    ASSERT_EQ(held, "held") << "the sqlite3 shell took no lock";
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_THAT(window.Messages()[0], HasSubstr("Error creating the Trigger"));
    EXPECT_THAT(window.Messages()[0], HasSubstr("database is locked"));
    EXPECT_LT(seconds, 8.0);
    std::printf("locked database given up after %.2f s\n", seconds);
}

// A WAL-mode database is read without creating its -wal and -shm files; one whose log cannot be
// read without creating a file beside it is an open failure saying so.
TEST(OdbcSessionSQLite, WalModeDatabaseIsReadWithoutCreatingFiles) {
    TempFolder folder;
    const auto database = folder.Path() / "Wal.db";
    CreateSQLiteDatabase(
        database, "PRAGMA journal_mode=WAL;\nCREATE TABLE Companies (Id INTEGER, Name TEXT);");
    const FolderSnapshot before = FolderSnapshot::Of(folder.Path());
    for (int run = 0; run < 2; ++run) {
        OdbcSession session;
        test::HeadlessWindow window("Companies", database.string());
        CreateAuditScript(window, session, ColumnOverrides{"Id", std::nullopt});
        EXPECT_THAT(window.Messages(), ::testing::IsEmpty());
        EXPECT_THAT(window.Script().Text(),
                    HasSubstr("WHEN 'Name' THEN CAST(DELETED.Name AS NVARCHAR(MAX))"));
    }
    EXPECT_EQ(FolderSnapshot::Of(folder.Path()), before);
}

TEST(OdbcSessionSQLite, WalLogWithoutSharedMemoryIsAnOpenFailureThatCreatesNothing) {
    TempFolder source;
    TempFolder folder;
    // A copy taken while the shell has the database open: the log not yet checkpointed, no -shm.
    CreateSQLiteDatabase(source.Path() / "Wal.db",
                         "PRAGMA journal_mode=WAL;\nCREATE TABLE Companies (Id INTEGER);\n"
                         ".shell cp '" +
                             (source.Path() / "Wal.db").string() + "' '" +
                             (source.Path() / "Wal.db-wal").string() + "' '" +
                             folder.Path().string() + "'\n");
    ASSERT_TRUE(std::filesystem::exists(folder.Path() / "Wal.db-wal"));
    const FolderSnapshot before = FolderSnapshot::Of(folder.Path());
    OdbcSession session;
    session.SetDatabaseName((folder.Path() / "Wal.db").string());
    EXPECT_FALSE(session.OpenDatabase());
    EXPECT_THAT(session.OpenFailure(), HasSubstr("WAL mode"));
    EXPECT_EQ(FolderSnapshot::Of(folder.Path()), before);
}

// The driver manager takes a connection string's length as a 16-bit number. Past it the length
// would wrap: here to the first part only, which names a file to create without NoCreat=1.
class LongConnectionStringTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(LongConnectionStringTest, IsRefusedBeforeAnyDriverSeesIt) {
    TempFolder folder;
    const std::string head =
        "DRIVER={SQLite3};Database=" + (folder.Path() / "made.db").string() + ";";
    const std::string tail = ";NoCreat=1;";
    std::string text = head + "X=";
    text += std::string(GetParam() - text.size() - tail.size(), 'a') + tail;
    ASSERT_EQ(text.size(), GetParam());
    OdbcSession session;
    session.SetDatabaseName(text);
    EXPECT_FALSE(session.OpenDatabase());
    EXPECT_THAT(session.OpenFailure(), HasSubstr("at most 32767"));
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongConnectionStringTest,
                         ::testing::Values(32768, 65536 + 60, 65536 * 3 + 100),
                         [](const auto& info) { return std::to_string(info.param) + "Bytes"; });

// At the limit the string still reaches the driver (here naming a file in a missing folder,
// which nothing can create). It carries NoCreat=1, so nothing is added to it.
TEST(OdbcSessionSQLite, ConnectionStringAtTheLimitReachesTheDriver) {
    TempFolder folder;
    std::string text =
        "DRIVER={SQLite3};NoCreat=1;Database=" + (folder.Path() / "missing" / "made.db").string() +
        ";X=";
    text += std::string(32767 - text.size() - 1, 'a') + ";";
    OdbcSession session;
    session.SetDatabaseName(text);
    session.OpenDatabase();
    EXPECT_THAT(session.OpenFailure(), ::testing::Not(HasSubstr("at most 32767")));
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

// ---- Connection strings and files the driver manager cannot take -------------------------------

// The open, run in a child process: a driver manager that waits forever on a FIFO or ends the
// process over an overflowed buffer fails the test instead of hanging it or ending it.
struct GuardedOpen {
    bool finished = false;  // the child came back within the guard's minute
    bool opened = false;
    std::string failure;  // the open failure's message
};

GuardedOpen OpenInAChild(const std::string& database) {
    int channel[2];
    if (pipe(channel) != 0) {
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        OdbcSession session;
        session.SetDatabaseName(database);
        const std::string result = (session.OpenDatabase() ? "1" : "0") + session.OpenFailure();
        const auto written = write(channel[1], result.data(), result.size());
        _exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string result;
    pollfd ready{channel[0], POLLIN, 0};
    char buffer[4096];
    while (poll(&ready, 1, 60'000) == 1) {
        const ssize_t got = read(channel[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        result.append(buffer, static_cast<std::size_t>(got));
    }
    close(channel[0]);
    kill(child, SIGKILL);  // nothing, when it has ended already
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || result.empty()) {
        return {};
    }
    return {true, result[0] == '1', result.substr(1)};
}

std::string InFolder(std::string text, const TempFolder& folder) {
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at)) {
        text.replace(at, 1, folder.Path().string());
    }
    return text;
}

// Values longer than unixODBC's buffers never reach it; values at its limits do, and the driver
// manager or the driver refuses them in words of its own.
struct LimitCase {
    const char* name;
    std::string connectionString;  // "@" stands for the test's folder
    bool refused;
};

void PrintTo(const LimitCase& limit, std::ostream* out) {
    *out << limit.name;
}

class DriverManagerLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(DriverManagerLimitTest, LongValuesAreOpenFailuresBeforeTheDriverManager) {
    TempFolder folder;
    const GuardedOpen open = OpenInAChild(InFolder(GetParam().connectionString, folder));
    ASSERT_TRUE(open.finished) << "the driver manager ended or hung the process";
    EXPECT_FALSE(open.opened);
    if (GetParam().refused) {
        EXPECT_THAT(open.failure, HasSubstr("the ODBC driver manager holds at most"));
    } else {
        EXPECT_THAT(open.failure, ::testing::StartsWith("["));  // a driver manager's diagnostic
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DriverManagerLimitTest,
    ::testing::Values(LimitCase{"DriverPastTheLimit",
                                "DRIVER={" + std::string(1001, 'a') + "};Database=@/q.db", true},
                      LimitCase{"DriverAtTheLimit",
                                "DRIVER={" + std::string(1000, 'a') + "};Database=@/q.db", false},
                      LimitCase{"DataSourcePastTheLimit", "DSN=" + std::string(33, 'a'), true},
                      LimitCase{"DataSourceAtTheLimit", "DSN=" + std::string(32, 'a'), false},
                      // The SQLite driver takes the narrow calls, where unixODBC reads file DSNs.
                      LimitCase{"FileDsnPastTheLimit",
                                "DRIVER=SQLite3;Database=@/q.db;FILEDSN=" + std::string(4090, 'a'),
                                true},
                      LimitCase{"FileDsnAtTheLimit",
                                "DRIVER=SQLite3;Database=@/q.db;FILEDSN=" + std::string(1000, 'a'),
                                false}),
    [](const auto& info) { return std::string(info.param.name); });

// SAVEFILE has the driver manager write a file DSN once connected.
TEST(OdbcSessionSQLite, SaveFileIsAnOpenFailureThatWritesNothing) {
    TempFolder folder;
    std::filesystem::copy_file(kDemoDatabase, folder.Path() / "QeltOne.db");
    const FolderSnapshot before = FolderSnapshot::Of(folder.Path());
    const GuardedOpen open =
        OpenInAChild(InFolder("DRIVER=SQLite3;Database=@/QeltOne.db;SAVEFILE=@/saved", folder));
    ASSERT_TRUE(open.finished);
    EXPECT_FALSE(open.opened);
    EXPECT_THAT(open.failure, HasSubstr("SAVEFILE would have the driver manager write"));
    EXPECT_EQ(FolderSnapshot::Of(folder.Path()), before);
}

// Whatever the connection string or the data source says, a missing SQLite file stays missing.
class SQLiteNoCreateTest : public ::testing::TestWithParam<std::pair<const char*, std::string>> {};

TEST_P(SQLiteNoCreateTest, MissingFileIsAnOpenFailureThatCreatesNothing) {
    TempFolder folder;
    TempFolder configuration;
    const std::string database = (folder.Path() / "missing.db").string();
    configuration.Write("odbcinst.ini", "[SQLite3]\nDriver = libsqlite3odbc.so\n");
    configuration.Write("odbc.ini", "[QeltMissing]\nDriver = SQLite3\nDatabase = " + database +
                                        "\n[QeltCreating]\nDriver = SQLite3\nNoCreat = 0\n"
                                        "Database = " +
                                        database + "\n");
    const test::ScopedEnvironment odbcSysIni("ODBCSYSINI", configuration.Path().string());
    const test::ScopedEnvironment odbcIni("ODBCINI", (configuration.Path() / "odbc.ini").string());
    const GuardedOpen open = OpenInAChild(InFolder(GetParam().second, folder));
    ASSERT_TRUE(open.finished);
    EXPECT_FALSE(open.opened);
    EXPECT_FALSE(open.failure.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

INSTANTIATE_TEST_SUITE_P(
    ConnectionStrings, SQLiteNoCreateTest,
    ::testing::Values(
        std::pair{"DriverName", std::string("DRIVER=SQLite3;Database=@/missing.db")},
        std::pair{"OtherCase", std::string("driver={sqlite3};database=@/missing.db;")},
        std::pair{"Library", std::string("DRIVER=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so;"
                                         "Database=@/missing.db")},
        std::pair{"UriAskingToCreate",
                  std::string("DRIVER=SQLite3;Database=file:@/missing.db?mode=rwc")},
        std::pair{"DataSource", std::string("DSN=QeltMissing")},
        std::pair{"DataSourceThatTurnsTheOptionOff", std::string("DSN=QeltCreating")},
        std::pair{"TurnedOff", std::string("DRIVER=SQLite3;Database=@/missing.db;NoCreat=0")}),
    [](const auto& info) { return std::string(info.param.first); });

// A configuration file of the driver manager that is no regular file is an open failure naming
// it, before the driver manager reads it (a FIFO or /dev/zero would hang the run).
struct ConfigurationCase {
    const char* name;
    const char* file;  // in the configuration folder; "~" is the home folder
    const char* kind;
    bool userFileSet;  // ODBCINI names the folder's odbc.ini, else ~/.odbc.ini is read
};

void PrintTo(const ConfigurationCase& configuration, std::ostream* out) {
    *out << configuration.name;
}

class ConfigurationFileTest : public ::testing::TestWithParam<ConfigurationCase> {};

TEST_P(ConfigurationFileTest, IsAnOpenFailureNamingTheFile) {
    const ConfigurationCase& c = GetParam();
    TempFolder configuration;
    configuration.Write("odbcinst.ini", "[SQLite3]\nDriver = libsqlite3odbc.so\n");
    configuration.Write("odbc.ini", "");
    std::filesystem::create_directory(configuration.Path() / "home");
    std::string file = c.file;
    if (file.starts_with('~')) {
        file.replace(0, 1, "home");
    }
    const std::filesystem::path special = configuration.Path() / file;
    std::filesystem::remove(special);
    if (std::string(c.kind) == "a FIFO") {
        ASSERT_EQ(mkfifo(special.c_str(), 0600), 0);
    } else if (std::string(c.kind) == "a device") {
        std::filesystem::create_symlink("/dev/zero", special);
    } else {
        std::filesystem::create_directory(special);
    }
    const test::ScopedEnvironment odbcSysIni("ODBCSYSINI", configuration.Path().string());
    const test::ScopedEnvironment odbcIni(
        "ODBCINI",
        c.userFileSet ? std::optional((configuration.Path() / "odbc.ini").string()) : std::nullopt);
    const test::ScopedEnvironment home("HOME", (configuration.Path() / "home").string());
    const GuardedOpen open = OpenInAChild(kDemoDatabase.string());
    ASSERT_TRUE(open.finished) << "the driver manager hung on " << special;
    EXPECT_FALSE(open.opened);
    EXPECT_THAT(open.failure,
                HasSubstr("the ODBC configuration file '" + special.string() + "' is " + c.kind));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConfigurationFileTest,
    ::testing::Values(ConfigurationCase{"UserSourcesAreAFifo", "odbc.ini", "a FIFO", true},
                      ConfigurationCase{"UserSourcesAreADevice", "odbc.ini", "a device", true},
                      ConfigurationCase{"DriversAreAFifo", "odbcinst.ini", "a FIFO", true},
                      ConfigurationCase{"DriversAreAFolder", "odbcinst.ini", "a folder", true},
                      ConfigurationCase{"HomeSourcesAreAFifo", "~/.odbc.ini", "a FIFO", false},
                      ConfigurationCase{"HomeDriversAreADevice", "~/.odbcinst.ini", "a device",
                                        false}),
    [](const auto& info) { return std::string(info.param.name); });

// /dev/null switches the user's data sources off: it reads as an empty file and never waits.
TEST(ConfigurationFile, NullDeviceIsAnEmptyFile) {
    const test::ScopedEnvironment odbcIni("ODBCINI", std::string("/dev/null"));
    const GuardedOpen open = OpenInAChild(kDemoDatabase.string());
    ASSERT_TRUE(open.finished);
    EXPECT_TRUE(open.opened) << open.failure;
}

// A database path naming no regular file says what it names, and opens nothing: nothing writes
// to the FIFO, so opening it would block.
class DatabasePathKindTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {
};

TEST_P(DatabasePathKindTest, IsAnOpenFailureSayingWhatThePathIs) {
    const std::string kind = GetParam().second;
    TempFolder folder;
    const std::filesystem::path path = folder.Path() / GetParam().first;
    if (kind == "a FIFO") {
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    } else if (kind == "a device") {
        std::filesystem::create_symlink("/dev/zero", path);
    } else if (kind == "a folder") {
        std::filesystem::create_directory(path);
    } else {
        const int server = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(path.string().size(), sizeof address.sun_path);
        std::ranges::copy(path.string(), address.sun_path);
        ASSERT_EQ(bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        close(server);
    }
    const FolderSnapshot before = FolderSnapshot::Of(folder.Path());
    const GuardedOpen open = OpenInAChild(path.string());
    ASSERT_TRUE(open.finished) << "the open blocked on " << path;
    EXPECT_FALSE(open.opened);
    EXPECT_EQ(open.failure,
              "the database file '" + path.string() + "' is " + kind + ", not a database file");
    EXPECT_EQ(FolderSnapshot::Of(folder.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DatabasePathKindTest,
    ::testing::Values(std::pair{"Folder.db", "a folder"}, std::pair{"Fifo.db", "a FIFO"},
                      std::pair{"FifoAccess.mdb", "a FIFO"}, std::pair{"Device.sqlite", "a device"},
                      std::pair{"Socket.db3", "a socket"}),
    [](const auto& info) { return std::filesystem::path(info.param.first).stem().string(); });

// ---- The MDBTools driver ----------------------------------------------------------------------

// The driver is found and refuses a file that is no Access database.
TEST(OdbcSessionAccess, FileThatIsNoAccessDatabaseIsAnOpenFailure) {
    TempFolder folder;
    const auto database = folder.Path() / "QeltOne.mdb";
    std::ofstream(database) << "not an Access database";
    const FolderSnapshot before = FolderSnapshot::Of(folder.Path());
    OdbcSession session;
    session.SetDatabaseName(database.string());
    EXPECT_FALSE(session.OpenDatabase());
    EXPECT_THAT(session.OpenFailure(), ::testing::Not(HasSubstr("no ODBC driver")));
    EXPECT_EQ(FolderSnapshot::Of(folder.Path()), before);
}

// MDBTools reads no braces and splits at every ';': a path with braces or blanks reaches it
// unchanged (it names the file it could not use on standard error), a path with ';' is refused.
TEST(OdbcSessionAccess, PathReachesTheDriverUnchanged) {
    TempFolder folder;
    const auto database = folder.Path() / "k}z {q}" / "Qelt One.mdb";
    test::WriteFile(database, "not an Access database");
    OdbcSession session;
    session.SetDatabaseName(database.string());
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(session.OpenDatabase());
    const std::string driverOutput = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(driverOutput, HasSubstr("Unable to locate database " + database.string() + "\n"));
}

TEST(OdbcSessionAccess, PathWithSemicolonIsAnOpenFailure) {
    TempFolder folder;
    const auto database = folder.Path() / "a;b" / "QeltOne.mdb";
    test::WriteFile(database, "not an Access database");
    OdbcSession session;
    session.SetDatabaseName(database.string());
    EXPECT_FALSE(session.OpenDatabase());
    EXPECT_THAT(session.OpenFailure(), HasSubstr("contains ';'"));
}

// The driver is read-only and says so of every column: that makes no column computed, and no
// catalog query is sent to it.
TEST(OdbcSessionAccess, ReadOnlyDriverMakesNoColumnComputed) {
    OdbcSession session;
    session.SetDatabaseName(QELT_ACCESS_DATABASE);
    ASSERT_TRUE(session.OpenDatabase()) << session.OpenFailure();
    const auto recordset = session.OpenRecordset(ProbeQuery("Fruit"), 3, 3, 1);
    ASSERT_NE(recordset, nullptr);
    const std::vector<Field> fields = FieldsOf(*recordset);
    ASSERT_EQ(fields.size(), 11U);
    EXPECT_EQ(fields[0].Name, "Fruit");
    for (const Field& field : fields) {
        EXPECT_FALSE(field.Facts->computed) << field.Name;
        EXPECT_FALSE(field.Facts->identity) << field.Name;
    }
    const TableFacts table = session.DescribeTable("Fruit");
    EXPECT_TRUE(table.catalogColumns.empty());
    EXPECT_TRUE(table.computedColumns.empty());
}

TEST(OdbcSessionAccess, MissingMdbIsAnOpenFailure) {
    TempFolder folder;
    OdbcSession session;
    session.SetDatabaseName((folder.Path() / "QeltOne.mdb").string());
    EXPECT_FALSE(session.OpenDatabase());
    EXPECT_THAT(session.OpenFailure(), HasSubstr("does not exist"));
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

}  // namespace
}  // namespace qelt
