// The catalog queries each kind of server gets, and how their rows become table facts: here with
// rows as SQL Server gives them, including what the T-SQL engine of OdbcTsqlTest cannot show
// (sparse columns, column sets, system versioning).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbsession/ServerCatalogs.h"

namespace qelt {
namespace {

using ::testing::HasSubstr;

constexpr const char* kSqlServer = "Microsoft SQL Server";

struct EngineCase {
    const char* name;
    const char* dbmsName;
    std::size_t queries;
    const char* inEveryQuery;
};

class CatalogQueriesTest : public ::testing::TestWithParam<EngineCase> {};

TEST_P(CatalogQueriesTest, ServerGetsItsOwnQueries) {
    const std::vector<CatalogQuery> queries = CatalogQueriesFor(GetParam().dbmsName, "Kunde'n€");
    ASSERT_EQ(queries.size(), GetParam().queries);
    for (const CatalogQuery& query : queries) {
        EXPECT_THAT(query.sql, HasSubstr(GetParam().inEveryQuery));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, CatalogQueriesTest,
    ::testing::Values(EngineCase{"SqlServer", kSqlServer, 4, "OBJECT_ID(N'Kunde''n€')"},
                      EngineCase{"SqlServerInOtherCase", "MICROSOFT SQL SERVER", 4, "sys."},
                      EngineCase{"PostgreSql", "PostgreSQL", 1, "table_name = 'Kunde''n€'"},
                      EngineCase{"Sqlite", "SQLite", 1, "pragma_table_xinfo('Kunde''n€')"},
                      // A read-only file driver's catalog is not read: no query to fail on it.
                      EngineCase{"AccessFile", "MDBTOOLS", 0, ""},
                      EngineCase{"DriverThatDoesNotTell", "", 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The facts the SQL Server queries give for `rows` of each query in turn.
TableFacts SqlServerFacts(const std::vector<std::vector<CatalogRow>>& rowsOfEachQuery) {
    const std::vector<CatalogQuery> queries = CatalogQueriesFor(kSqlServer, "T");
    TableFacts facts;
    for (std::size_t i = 0; i < rowsOfEachQuery.size(); ++i) {
        queries.at(i).take(rowsOfEachQuery[i], facts);
    }
    return facts;
}

// name, type name, max_length, precision, scale, is_identity, is_computed, is_sparse,
// is_column_set
CatalogRow ColumnRow(const char* name, const char* type, const char* maxLength,
                     const char* precision, const char* scale, const char* flags) {
    CatalogRow row{name, type, maxLength, precision, scale};
    for (const char* flag = flags; *flag != '\0'; ++flag) {
        row.emplace_back(std::string(1, *flag));
    }
    return row;
}

struct ColumnCase {
    const char* name;
    CatalogRow row;
    Field expected;
};

class SqlServerColumnTest : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(SqlServerColumnTest, RowBecomesTheColumn) {
    const TableFacts facts = SqlServerFacts({{GetParam().row}});
    ASSERT_EQ(facts.catalogColumns.size(), 1U);
    EXPECT_EQ(facts.catalogColumns[0], GetParam().expected);
    EXPECT_EQ(facts.IsComputed(GetParam().expected.Name), GetParam().expected.Facts->computed);
}

ColumnFacts Facts(const char* typeName, std::int32_t size, std::int32_t scale = 0) {
    ColumnFacts facts;
    facts.typeName = typeName;
    facts.size = size;
    facts.scale = scale;
    return facts;
}

template <typename Change>
ColumnFacts Facts(const char* typeName, std::int32_t size, Change change) {
    ColumnFacts facts = Facts(typeName, size);
    change(facts);
    return facts;
}

INSTANTIATE_TEST_SUITE_P(
    Columns, SqlServerColumnTest,
    ::testing::Values(ColumnCase{"Identity",
                                 ColumnRow("Id", "int", "4", "10", "0", "1000"),
                                 {"Id", ado::adInteger,
                                  Facts("int", 10, [](auto& f) { f.identity = true; })}},
                      ColumnCase{"Computed",
                                 ColumnRow("Total", "decimal", "9", "12", "2", "0100"),
                                 {"Total", ado::adNumeric,
                                  Facts("decimal", 12,
                                        [](auto& f) {
                                            f.scale = 2;
                                            f.computed = true;
                                        })}},
                      ColumnCase{"Sparse",
                                 ColumnRow("Rare", "nvarchar", "40", "0", "0", "0010"),
                                 {"Rare", ado::adVarWChar,
                                  Facts("nvarchar", 20, [](auto& f) { f.sparse = true; })}},
                      ColumnCase{"ColumnSet",
                                 ColumnRow("AllRare", "xml", "-1", "0", "0", "0001"),
                                 {"AllRare", ado::adLongVarWChar,
                                  Facts("xml", 0, [](auto& f) { f.columnSet = true; })}},
                      ColumnCase{"RowVersion",
                                 ColumnRow("Ver", "timestamp", "8", "0", "0", "0000"),
                                 {"Ver", ado::adBinary, Facts("timestamp", 8)}},
                      ColumnCase{"NcharInCharacters",
                                 ColumnRow("Code", "nchar", "20", "0", "0", "0000"),
                                 {"Code", ado::adWChar, Facts("nchar", 10)}},
                      ColumnCase{"NvarcharMaxIsLongWithoutSize",
                                 ColumnRow("Memo", "nvarchar", "-1", "0", "0", "0000"),
                                 {"Memo", ado::adLongVarWChar, Facts("nvarchar", 0)}},
                      ColumnCase{"VarbinaryMaxIsLong",
                                 ColumnRow("Blob", "varbinary", "-1", "0", "0", "0000"),
                                 {"Blob", ado::adLongVarBinary, Facts("varbinary", 0)}},
                      ColumnCase{"WideDecimalInDigits",
                                 ColumnRow("Amount", "decimal", "17", "38", "10", "0000"),
                                 {"Amount", ado::adNumeric, Facts("decimal", 38, 10)}},
                      ColumnCase{"Datetime2InCharacters",
                                 ColumnRow("Stamp", "datetime2", "8", "27", "7", "0000"),
                                 {"Stamp", ado::adDBTimeStamp, Facts("datetime2", 27, 7)}},
                      ColumnCase{"TypeOfNoKnownName",
                                 ColumnRow("Shape", "geometry", "-1", "0", "0", "0000"),
                                 {"Shape", ado::adVariant, Facts("geometry", 0)}},
                      ColumnCase{"NullsTellNothing",
                                 CatalogRow{"Odd", "int", std::nullopt, std::nullopt, std::nullopt,
                                            std::nullopt, std::nullopt, std::nullopt, std::nullopt},
                                 {"Odd", ado::adInteger, Facts("int", 0)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SqlServerCatalog, WhatKeepsAnInsteadOfUpdateTriggerOff) {
    const TableFacts facts = SqlServerFacts({{}, {{"FK_A"}, {"FK_B"}}, {{"TR_Old"}}, {{"2"}}});
    EXPECT_EQ(facts.cascadingForeignKeys, (std::vector<std::string>{"FK_A", "FK_B"}));
    EXPECT_EQ(facts.insteadOfUpdateTriggers, std::vector<std::string>{"TR_Old"});
    EXPECT_TRUE(facts.systemVersioned);
}

// temporal_type 1 is the history table of a system-versioned one, which takes triggers.
TEST(SqlServerCatalog, HistoryTableIsNotSystemVersioned) {
    EXPECT_FALSE(SqlServerFacts({{}, {}, {}, {{"1"}}}).systemVersioned);
    EXPECT_FALSE(SqlServerFacts({{}, {}, {}, {}}).systemVersioned);
}

}  // namespace
}  // namespace qelt
