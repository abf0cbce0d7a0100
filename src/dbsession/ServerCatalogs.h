// The catalog queries of each kind of server, one entry per server.
#pragma once

// What the ODBC session knows of each kind of server's catalog: the queries that tell a table's
// facts and how their rows are read. Private to the session, which runs the queries; a server
// whose catalog the session reads is one entry of ServerCatalogs.cpp.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbsession/DBFuncs.h"

namespace qelt {

// One row of a catalog query's result, every value as text; NULL as nothing.
using CatalogRow = std::vector<std::optional<std::string>>;

// A catalog query about one table, and what its rows add to the table's facts.
struct CatalogQuery {
    std::string sql;
    void (*take)(const std::vector<CatalogRow>& rows, TableFacts& facts);
};

// The catalog queries for `table` on the server whose driver reports `dbmsName` as its
// SQL_DBMS_NAME; none for a server (or a file driver) whose catalog the session does not read.
// `table` is the name as the catalog keeps it. A query the server fails tells nothing.
std::vector<CatalogQuery> CatalogQueriesFor(std::string_view dbmsName, std::string_view table);

// A catalog query about a table's audit objects, and what its rows tell of them.
struct AuditQuery {
    std::string sql;
    void (*take)(const std::vector<CatalogRow>& rows, InstalledAudit& audit);
};

// The queries that describe an item table's audit table and trigger on the server whose driver
// reports `dbmsName`; nothing for a server that keeps no T-SQL triggers.
std::optional<std::vector<AuditQuery>> AuditQueriesFor(std::string_view dbmsName,
                                                       std::string_view itemTable,
                                                       std::string_view auditTable,
                                                       std::string_view trigger);

// The ADO type code that a SQL Server type name stands for; `unlimited` for the (max) form of
// varchar, nvarchar and varbinary.
std::int32_t AdoTypeOfSqlServerTypeName(std::string_view typeName, bool unlimited);

}  // namespace qelt
