// The catalog queries of each kind of server, one entry per server.
#include "dbsession/ServerCatalogs.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "text/Ascii.h"
#include "text/Doubled.h"

namespace qelt {

namespace {

std::string SqlLiteral(std::string_view text) {
    return text::Enclosed("'", text, '\'', "'");
}

// A Unicode literal: the table's name may hold any character, which a '...' literal would turn
// into the database's code page.
std::string UnicodeSqlLiteral(std::string_view text) {
    return text::Enclosed("N'", text, '\'', "'");
}

std::string TextAt(const CatalogRow& row, std::size_t column) {
    return column < row.size() && row[column] ? *row[column] : std::string();
}

std::int32_t NumberAt(const CatalogRow& row, std::size_t column) {
    const std::string text = TextAt(row, column);
    std::int32_t number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number;
}

bool FlagAt(const CatalogRow& row, std::size_t column) {
    return NumberAt(row, column) != 0;
}

// Each row's first column, in order.
std::vector<std::string> FirstColumn(const std::vector<CatalogRow>& rows) {
    std::vector<std::string> names;
    for (const CatalogRow& row : rows) {
        if (!row.empty() && row[0]) {
            names.push_back(*row[0]);
        }
    }
    return names;
}

// ---- SQL Server ---------------------------------------------------------------------------
// sys.* views as SQL Server 2016 has them; the T-SQL engine of the tests answers them too, with
// names folded to lower case. Types are compared by name: the engine's type ids are its own.

// What sys.columns.max_length or precision gives a column's size in.
enum class SizeFrom {
    Characters,  // max_length halved: the n-types keep two bytes a character
    Bytes,       // max_length: one byte a character, or binary bytes
    Precision,   // digits, or the characters of a date and time
    Nothing,     // no size that a script could use
};

struct SqlServerType {
    std::string_view name;
    std::int32_t adoType;
    std::int32_t unlimitedAdoType;  // the (max) form
    SizeFrom size;
};

// The ADO codes are the ones an ADO recordset on SQL Server reports.
constexpr std::array kSqlServerTypes{
    SqlServerType{"bigint", ado::adBigInt, ado::adBigInt, SizeFrom::Precision},
    SqlServerType{"binary", ado::adBinary, ado::adBinary, SizeFrom::Bytes},
    SqlServerType{"bit", ado::adBoolean, ado::adBoolean, SizeFrom::Precision},
    SqlServerType{"char", ado::adChar, ado::adChar, SizeFrom::Bytes},
    SqlServerType{"date", ado::adDBDate, ado::adDBDate, SizeFrom::Precision},
    SqlServerType{"datetime", ado::adDBTimeStamp, ado::adDBTimeStamp, SizeFrom::Precision},
    SqlServerType{"datetime2", ado::adDBTimeStamp, ado::adDBTimeStamp, SizeFrom::Precision},
    SqlServerType{"datetimeoffset", ado::adDBTimeStamp, ado::adDBTimeStamp, SizeFrom::Precision},
    SqlServerType{"decimal", ado::adNumeric, ado::adNumeric, SizeFrom::Precision},
    SqlServerType{"float", ado::adDouble, ado::adDouble, SizeFrom::Precision},
    SqlServerType{"image", ado::adLongVarBinary, ado::adLongVarBinary, SizeFrom::Nothing},
    SqlServerType{"int", ado::adInteger, ado::adInteger, SizeFrom::Precision},
    SqlServerType{"money", ado::adCurrency, ado::adCurrency, SizeFrom::Precision},
    SqlServerType{"nchar", ado::adWChar, ado::adWChar, SizeFrom::Characters},
    SqlServerType{"ntext", ado::adLongVarWChar, ado::adLongVarWChar, SizeFrom::Nothing},
    SqlServerType{"numeric", ado::adNumeric, ado::adNumeric, SizeFrom::Precision},
    SqlServerType{"nvarchar", ado::adVarWChar, ado::adLongVarWChar, SizeFrom::Characters},
    SqlServerType{"real", ado::adSingle, ado::adSingle, SizeFrom::Precision},
    SqlServerType{"smalldatetime", ado::adDBTimeStamp, ado::adDBTimeStamp, SizeFrom::Precision},
    SqlServerType{"smallint", ado::adSmallInt, ado::adSmallInt, SizeFrom::Precision},
    SqlServerType{"smallmoney", ado::adCurrency, ado::adCurrency, SizeFrom::Precision},
    SqlServerType{"sql_variant", ado::adVariant, ado::adVariant, SizeFrom::Nothing},
    SqlServerType{"sysname", ado::adVarWChar, ado::adVarWChar, SizeFrom::Characters},
    SqlServerType{"text", ado::adLongVarChar, ado::adLongVarChar, SizeFrom::Nothing},
    SqlServerType{"time", ado::adDBTime, ado::adDBTime, SizeFrom::Precision},
    SqlServerType{"timestamp", ado::adBinary, ado::adBinary, SizeFrom::Bytes},  // rowversion
    SqlServerType{"tinyint", ado::adUnsignedTinyInt, ado::adUnsignedTinyInt, SizeFrom::Precision},
    SqlServerType{"uniqueidentifier", ado::adGUID, ado::adGUID, SizeFrom::Nothing},
    SqlServerType{"varbinary", ado::adVarBinary, ado::adLongVarBinary, SizeFrom::Bytes},
    SqlServerType{"varchar", ado::adVarChar, ado::adLongVarChar, SizeFrom::Bytes},
    SqlServerType{"xml", ado::adLongVarWChar, ado::adLongVarWChar, SizeFrom::Nothing},
};

const SqlServerType* SqlServerTypeNamed(std::string_view name) {
    const auto found = std::ranges::find_if(kSqlServerTypes, [name](const SqlServerType& type) {
        return text::EqualsIgnoringAsciiCase(type.name, name);
    });
    return found != kSqlServerTypes.end() ? &*found : nullptr;
}

// sys.columns.max_length of a (max) column.
constexpr std::int32_t kUnlimitedLength = -1;

// Rows of: name, type name (the system type's, for an alias type), max_length, precision,
// scale, is_identity, is_computed, is_sparse, is_column_set.
void TakeSqlServerColumns(const std::vector<CatalogRow>& rows, TableFacts& facts) {
    for (const CatalogRow& row : rows) {
        ColumnFacts column;
        column.typeName = TextAt(row, 1);
        const std::int32_t maxLength = NumberAt(row, 2);
        const SqlServerType* type = SqlServerTypeNamed(column.typeName);
        const SizeFrom sizeFrom = type != nullptr ? type->size : SizeFrom::Nothing;
        if (maxLength != kUnlimitedLength) {
            column.size = sizeFrom == SizeFrom::Characters  ? maxLength / 2
                          : sizeFrom == SizeFrom::Bytes     ? maxLength
                          : sizeFrom == SizeFrom::Precision ? NumberAt(row, 3)
                                                            : 0;
        }
        column.scale = NumberAt(row, 4);
        column.identity = FlagAt(row, 5);
        column.computed = FlagAt(row, 6);
        column.sparse = FlagAt(row, 7);
        column.columnSet = FlagAt(row, 8);
        std::string name = TextAt(row, 0);
        if (column.computed) {
            facts.computedColumns.push_back(name);
        }
        const std::int32_t adoType =
            AdoTypeOfSqlServerTypeName(column.typeName, maxLength == kUnlimitedLength);
        facts.catalogColumns.emplace_back(std::move(name), adoType, std::move(column));
    }
}

void TakeCascadingForeignKeys(const std::vector<CatalogRow>& rows, TableFacts& facts) {
    facts.cascadingForeignKeys = FirstColumn(rows);
}

void TakeInsteadOfUpdateTriggers(const std::vector<CatalogRow>& rows, TableFacts& facts) {
    facts.insteadOfUpdateTriggers = FirstColumn(rows);
}

// sys.tables.temporal_type of a system-versioned table.
constexpr std::int32_t kSystemVersionedTemporalTable = 2;

void TakeTemporalType(const std::vector<CatalogRow>& rows, TableFacts& facts) {
    facts.systemVersioned =
        !rows.empty() && NumberAt(rows.front(), 0) == kSystemVersionedTemporalTable;
}

std::vector<CatalogQuery> SqlServerQueries(std::string_view table) {
    const std::string object = "OBJECT_ID(" + UnicodeSqlLiteral(table) + ")";
    return {
        {"SELECT c.name, COALESCE(s.name, t.name), c.max_length, c.precision, c.scale, "
         "c.is_identity, c.is_computed, c.is_sparse, c.is_column_set "
         "FROM sys.columns AS c "
         "JOIN sys.types AS t ON t.user_type_id = c.user_type_id "
         "LEFT JOIN sys.types AS s ON t.is_user_defined = 1 AND s.user_type_id = t.system_type_id "
         "WHERE c.object_id = " +
             object + " ORDER BY c.column_id",
         TakeSqlServerColumns},
        // An ON UPDATE action keeps an INSTEAD OF UPDATE trigger off the table (Msg 2113).
        {"SELECT name FROM sys.foreign_keys WHERE parent_object_id = " + object +
             " AND update_referential_action <> 0 ORDER BY name",
         TakeCascadingForeignKeys},
        {"SELECT tr.name FROM sys.triggers AS tr "
         "JOIN sys.trigger_events AS e ON e.object_id = tr.object_id "
         "WHERE tr.parent_id = " +
             object +
             " AND tr.is_instead_of_trigger = 1 AND e.type_desc = 'UPDATE' ORDER BY tr.name",
         TakeInsteadOfUpdateTriggers},
        {"SELECT temporal_type FROM sys.tables WHERE object_id = " + object, TakeTemporalType},
    };
}

// The audit table's columns; no rows when there is no such table.
void TakeAuditTableColumns(const std::vector<CatalogRow>& rows, InstalledAudit& audit) {
    if (!rows.empty()) {
        audit.auditTableColumns = FirstColumn(rows);
    }
}

// The audit trigger: whether it is INSTEAD OF, disabled, fires on UPDATE, and its text.
void TakeAuditTrigger(const std::vector<CatalogRow>& rows, InstalledAudit& audit) {
    if (rows.empty()) {
        return;
    }
    const CatalogRow& row = rows.front();
    audit.triggerExists = true;
    audit.insteadOfUpdate = FlagAt(row, 0) && NumberAt(row, 2) > 0;
    audit.disabled = FlagAt(row, 1);
    if (row.size() > 3 && row[3]) {
        audit.definition = *row[3];
    } else {
        audit.definitionFailure =
            "the server gives no text: the trigger is encrypted, or the "
            "login may not see it (VIEW DEFINITION)";
    }
}

std::vector<AuditQuery> SqlServerAuditQueries(std::string_view itemTable,
                                              std::string_view auditTable,
                                              std::string_view trigger) {
    return {
        {"SELECT c.name FROM sys.columns AS c WHERE c.object_id = OBJECT_ID(" +
             UnicodeSqlLiteral("[dbo].[" + std::string(auditTable) + "]") +
             ", N'U') ORDER BY c.column_id",
         TakeAuditTableColumns},
        // Found by name, in any letter case: the catalog may fold it. The text is joined from
        // sys.sql_modules, which gives it where OBJECT_DEFINITION of the name may not.
        {"SELECT tr.is_instead_of_trigger, tr.is_disabled, (SELECT COUNT(*) FROM "
         "sys.trigger_events AS e WHERE e.object_id = tr.object_id AND e.type_desc = 'UPDATE'), "
         "m.definition FROM sys.triggers AS tr LEFT JOIN sys.sql_modules AS m ON m.object_id = "
         "tr.object_id WHERE LOWER(tr.name) = LOWER(" +
             UnicodeSqlLiteral(trigger) + ") AND tr.parent_id = OBJECT_ID(" +
             UnicodeSqlLiteral(itemTable) + ")",
         TakeAuditTrigger},
    };
}

// ---- PostgreSQL and SQLite: the generated columns, which their drivers report as writable ----

void TakeComputedColumns(const std::vector<CatalogRow>& rows, TableFacts& facts) {
    facts.computedColumns = FirstColumn(rows);
}

std::vector<CatalogQuery> PostgreSqlQueries(std::string_view table) {
    return {{"SELECT column_name FROM information_schema.columns WHERE table_name = " +
                 SqlLiteral(table) + " AND is_generated = 'ALWAYS'",
             TakeComputedColumns}};
}

std::vector<CatalogQuery> SqliteQueries(std::string_view table) {
    return {
        {"SELECT name FROM pragma_table_xinfo(" + SqlLiteral(table) + ") WHERE hidden IN (2, 3)",
         TakeComputedColumns}};
}

// ---- The servers ----------------------------------------------------------------------------

// A file driver (FileDrivers.h) whose database keeps a catalog has its entry here too, by the name
// its driver reports.
struct ServerCatalog {
    std::string_view dbmsName;  // SQL_DBMS_NAME as the server's drivers report it
    std::vector<CatalogQuery> (*queries)(std::string_view table);
    // Null for a server that keeps no T-SQL triggers.
    std::vector<AuditQuery> (*auditQueries)(std::string_view itemTable, std::string_view auditTable,
                                            std::string_view trigger);
};

constexpr std::array kServerCatalogs{
    ServerCatalog{"Microsoft SQL Server", SqlServerQueries, SqlServerAuditQueries},
    ServerCatalog{"PostgreSQL", PostgreSqlQueries, nullptr},
    ServerCatalog{"SQLite", SqliteQueries, nullptr},
};

const ServerCatalog* CatalogOf(std::string_view dbmsName) {
    for (const ServerCatalog& catalog : kServerCatalogs) {
        if (text::EqualsIgnoringAsciiCase(catalog.dbmsName, dbmsName)) {
            return &catalog;
        }
    }
    return nullptr;
}

}  // namespace

std::vector<CatalogQuery> CatalogQueriesFor(std::string_view dbmsName, std::string_view table) {
    const ServerCatalog* catalog = CatalogOf(dbmsName);
    return catalog != nullptr ? catalog->queries(table) : std::vector<CatalogQuery>{};
}

std::optional<std::vector<AuditQuery>> AuditQueriesFor(std::string_view dbmsName,
                                                       std::string_view itemTable,
                                                       std::string_view auditTable,
                                                       std::string_view trigger) {
    const ServerCatalog* catalog = CatalogOf(dbmsName);
    if (catalog == nullptr || catalog->auditQueries == nullptr) {
        return std::nullopt;
    }
    return catalog->auditQueries(itemTable, auditTable, trigger);
}

std::int32_t AdoTypeOfSqlServerTypeName(std::string_view typeName, bool unlimited) {
    const SqlServerType* type = SqlServerTypeNamed(typeName);
    if (type == nullptr) {
        return ado::adVariant;
    }
    return unlimited ? type->unlimitedAdoType : type->adoType;
}

}  // namespace qelt
