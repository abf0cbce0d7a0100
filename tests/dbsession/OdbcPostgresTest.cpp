// The ODBC session against a PostgreSQL server through the Unicode psqlODBC driver. The server,
// its database and the data source come from scripts/postgres-fixture.sh, which CTest runs
// before these tests; ODBCINI points at the fixture's odbc.ini.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "auditscript/GenerationRun.h"
#include "dbsession/OdbcSession.h"
#include "dbsession/OdbcTestSupport.h"

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

}  // namespace
}  // namespace qelt
