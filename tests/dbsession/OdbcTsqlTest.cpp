// The ODBC session on the T-SQL engine through FreeTDS, as it reads SQL Server: the facts a
// script needs come from the server's catalog. Each test makes its own tables, named after the
// test and the process, and drops them at the end. The script's SET list holds once the script
// generator takes the catalog's column facts over the driver's.
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "dbsession/OdbcSession.h"
#include "support/CliRun.h"
#include "support/TsqlEngine.h"

namespace qelt {
namespace {

using test::EngineName;
using ::testing::HasSubstr;
using ::testing::Not;

std::string Unique(std::string_view name) {
    return std::string(name) + "_" + std::to_string(::getpid());
}

class OdbcSessionTsql : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(connection_.Connected()) << connection_.ConnectError();
        session_.SetDatabaseName(connectionString_);
        ASSERT_TRUE(session_.OpenDatabase()) << session_.OpenFailure();
    }
    void TearDown() override {
        for (auto it = drops_.rbegin(); it != drops_.rend(); ++it) {
            connection_.Run(*it);
        }
    }

    // Runs the batch that creates `object`, which `drop` removes after the test.
    void Create(const std::string& batch, const std::string& drop) {
        drops_.push_back(drop);
        const test::BatchResult result = connection_.Run(batch);
        ASSERT_FALSE(result.Failed()) << result.errors.front() << "\n" << batch;
    }
    void CreateTable(const std::string& table, const std::string& body) {
        Create("CREATE TABLE " + table + " (\n" + body + "\n)", "DROP TABLE " + table);
    }

    const std::string connectionString_ = test::TsqlEngineConnectionString().value_or("");
    test::TsqlConnection connection_{connectionString_};
    OdbcSession session_;
    std::vector<std::string> drops_;
};

struct CatalogColumnCase {
    const char* name;      // as declared
    const char* declared;  // its type and constraints
    std::int32_t adoType;  // from the catalog's type name
    const char* typeName;  // the catalog's, the system type's for an alias type
    std::int32_t size;     // characters, digits or bytes; 0 for none
    std::int32_t scale;
    bool identity;
    bool computed;
};

// The engine keeps datetime2 to microseconds (precision 26, scale 6) where SQL Server keeps
// 100 nanoseconds (27, 7); a SPARSE column is accepted there but not marked sparse, and column
// sets and system versioning are refused: ServerCatalogsTest reads such rows as SQL Server gives
// them.
const std::vector<CatalogColumnCase> kCatalogColumns = {
    {"ItemIntID", "int IDENTITY(1, 1) NOT NULL PRIMARY KEY", ado::adInteger, "int", 10, 0, true,
     false},
    {"Ver", "rowversion", ado::adBinary, "timestamp", 8, 0, false, false},
    {"Qty", "int NULL", ado::adInteger, "int", 10, 0, false, false},
    {"Total", "AS (Qty * 2)", ado::adInteger, "int", 10, 0, false, true},
    {"Ref", "uniqueidentifier NULL", ado::adGUID, "uniqueidentifier", 0, 0, false, false},
    {"Amount", "decimal(38, 10) NULL", ado::adNumeric, "decimal", 38, 10, false, false},
    {"Price", "money NULL", ado::adCurrency, "money", 19, 4, false, false},
    {"Stamp", "datetime2 NULL", ado::adDBTimeStamp, "datetime2", 26, 6, false, false},
    {"Doc", "xml NULL", ado::adLongVarWChar, "xml", 0, 0, false, false},
    {"Name", "nvarchar(60) NULL", ado::adVarWChar, "nvarchar", 60, 0, false, false},
    {"Memo", "nvarchar(max) NULL", ado::adLongVarWChar, "nvarchar", 0, 0, false, false},
    {"Code", "varchar(12) NULL", ado::adVarChar, "varchar", 12, 0, false, false},
    {"Blob", "varbinary(max) NULL", ado::adLongVarBinary, "varbinary", 0, 0, false, false},
    {"Rare", "int SPARSE NULL", ado::adInteger, "int", 10, 0, false, false},
    {"Menge€ä", "smallint NULL", ado::adSmallInt, "smallint", 5, 0, false, false},
};

std::string ColumnsOf(const std::vector<CatalogColumnCase>& columns) {
    std::string body;
    for (const CatalogColumnCase& column : columns) {
        body += std::string(body.empty() ? "" : ",\n") + "[" + column.name + "] " + column.declared;
    }
    return body;
}

// A table named beyond ASCII is found: its name reaches OBJECT_ID as a Unicode literal.
TEST_F(OdbcSessionTsql, CatalogDescribesEveryColumn) {
    const std::string table = Unique("QeltKatalog_Größe");
    CreateTable("[" + table + "]", ColumnsOf(kCatalogColumns));

    const TableFacts facts = session_.DescribeTable(table);
    ASSERT_EQ(facts.catalogColumns.size(), kCatalogColumns.size());
    for (std::size_t i = 0; i < kCatalogColumns.size(); ++i) {
        const CatalogColumnCase& expected = kCatalogColumns[i];
        const Field& column = facts.catalogColumns[i];
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(column.Name, EngineName(expected.name));
        EXPECT_EQ(column.Type, expected.adoType);
        EXPECT_EQ(column.Facts->typeName, expected.typeName);
        EXPECT_EQ(column.Facts->size, expected.size);
        EXPECT_EQ(column.Facts->scale, expected.scale);
        EXPECT_EQ(column.Facts->identity, expected.identity);
        EXPECT_EQ(column.Facts->computed, expected.computed);
    }
    EXPECT_EQ(facts.computedColumns, std::vector<std::string>{EngineName("Total")});
    EXPECT_THAT(facts.primaryKey, ::testing::ElementsAre(::testing::StrCaseEq("ItemIntID")));
    EXPECT_TRUE(facts.cascadingForeignKeys.empty());
    EXPECT_TRUE(facts.insteadOfUpdateTriggers.empty());
    EXPECT_FALSE(facts.systemVersioned);
}

// An alias type is reported as the system type it stands for, with that type's size.
TEST_F(OdbcSessionTsql, AliasTypeIsItsSystemType) {
    const std::string type = Unique("QeltAmount");
    const std::string table = Unique("QeltAliased");
    Create("CREATE TYPE " + type + " FROM decimal(12, 3)", "DROP TYPE " + type);
    CreateTable(table, "Id int NOT NULL PRIMARY KEY, Amount " + type + " NULL, Who sysname NULL");

    const TableFacts facts = session_.DescribeTable(table);
    ASSERT_EQ(facts.catalogColumns.size(), 3U);
    EXPECT_EQ(facts.catalogColumns[1].Facts->typeName, "decimal");
    EXPECT_EQ(facts.catalogColumns[1].Type, ado::adNumeric);
    EXPECT_EQ(facts.catalogColumns[1].Facts->size, 12);
    EXPECT_EQ(facts.catalogColumns[1].Facts->scale, 3);
    EXPECT_EQ(facts.catalogColumns[2].Type, ado::adVarWChar);
    EXPECT_EQ(facts.catalogColumns[2].Facts->size, 128);
}

// Only a key with an ON UPDATE action keeps an INSTEAD OF UPDATE trigger off the table.
TEST_F(OdbcSessionTsql, ForeignKeysThatCascadeUpdates) {
    const std::string parent = Unique("QeltParent");
    const std::string child = Unique("QeltChild");
    const std::string cascading = Unique("FK_QeltChild_Cascade");
    CreateTable(parent, "Id int NOT NULL PRIMARY KEY");
    CreateTable(child,
                "Id int NOT NULL PRIMARY KEY,\n"
                "ParentId int NULL CONSTRAINT " +
                    cascading + " REFERENCES " + parent +
                    " (Id) ON UPDATE CASCADE,\n"
                    "OtherId int NULL CONSTRAINT " +
                    Unique("FK_QeltChild_Plain") + " REFERENCES " + parent +
                    " (Id) ON DELETE CASCADE");

    EXPECT_EQ(session_.DescribeTable(child).cascadingForeignKeys,
              std::vector<std::string>{EngineName(cascading)});
    EXPECT_TRUE(session_.DescribeTable(parent).cascadingForeignKeys.empty());
}

// Of the triggers on a table, the INSTEAD OF UPDATE one is named: a second cannot be created.
TEST_F(OdbcSessionTsql, InsteadOfUpdateTriggerOnTheTable) {
    const std::string table = Unique("QeltTriggered");
    const std::string other = Unique("QeltUntriggered");
    const std::string insteadOfUpdate = Unique("QeltInsteadOfUpdate");
    CreateTable(table, "Id int NOT NULL PRIMARY KEY, Name nvarchar(20) NULL");
    CreateTable(other, "Id int NOT NULL PRIMARY KEY");
    Create("CREATE TRIGGER " + insteadOfUpdate + " ON " + table +
               " INSTEAD OF UPDATE AS BEGIN SET NOCOUNT ON END",
           "DROP TRIGGER " + insteadOfUpdate);
    const std::string insteadOfInsert = Unique("QeltInsteadOfInsert");
    Create("CREATE TRIGGER " + insteadOfInsert + " ON " + table +
               " INSTEAD OF INSERT AS BEGIN SET NOCOUNT ON END",
           "DROP TRIGGER " + insteadOfInsert);
    const std::string afterUpdate = Unique("QeltAfterUpdate");
    Create("CREATE TRIGGER " + afterUpdate + " ON " + table +
               " AFTER UPDATE AS BEGIN SET NOCOUNT ON END",
           "DROP TRIGGER " + afterUpdate);

    EXPECT_EQ(session_.DescribeTable(table).insteadOfUpdateTriggers,
              std::vector<std::string>{EngineName(insteadOfUpdate)});
    EXPECT_TRUE(session_.DescribeTable(other).insteadOfUpdateTriggers.empty());
}

TEST_F(OdbcSessionTsql, UnknownTableTellsNothing) {
    const TableFacts facts = session_.DescribeTable(Unique("QeltNoSuchTable"));
    EXPECT_TRUE(facts.catalogColumns.empty());
    EXPECT_TRUE(facts.primaryKey.empty());
    EXPECT_TRUE(facts.computedColumns.empty());
}

// A quote in the name stays inside the literal.
TEST_F(OdbcSessionTsql, QuoteInTheTableNameStaysInTheLiteral) {
    const std::string table = Unique("Qelt'Quoted");
    CreateTable("[" + table + "]", "Id int NOT NULL PRIMARY KEY");
    const TableFacts facts = session_.DescribeTable(table);
    ASSERT_EQ(facts.catalogColumns.size(), 1U);
    EXPECT_EQ(facts.catalogColumns[0].Name, "id");
}

// The script's UPDATE sets every column that can be set, and none that the server fills.
TEST_F(OdbcSessionTsql, ScriptLeavesWhatTheServerFillsOutOfTheSetList) {
    const std::string table = Unique("QeltScripted");
    CreateTable(table, ColumnsOf(kCatalogColumns));

    const test::CliResult result =
        test::RunCli({"--database", connectionString_, "--table", table, "--key-column",
                      "ItemIntID", "--display-column", "Name"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string setList = result.out.substr(
        result.out.find("UPDATE " + table + " SET"),
        result.out.find("From INSERTED") - result.out.find("UPDATE " + table + " SET"));
    for (const char* filled : {"ItemIntID", "Ver", "Total"}) {
        EXPECT_THAT(setList, Not(HasSubstr(std::string(filled) + " = INSERTED."))) << filled;
    }
    for (const char* settable : {"Qty", "Ref", "Amount", "Price", "Stamp", "Doc", "Name", "Memo",
                                 "Code", "Blob", "Rare", "[Menge€ä]"}) {
        EXPECT_THAT(setList, HasSubstr(std::string(settable) + " = INSERTED." + settable))
            << settable;
    }
}

}  // namespace
}  // namespace qelt
