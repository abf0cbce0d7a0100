// The database session through ODBC: connecting, and reading a table's columns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dbsession/DBFuncs.h"
#include "dbsession/Error.h"

namespace qelt {

// The ADO type code of an ODBC SQL type code; `isUnsigned` tells TINYINT's two codes apart.
std::int32_t AdoTypeOfSqlType(int sqlType, bool isUnsigned);

// The database session over ODBC. A database text containing '=' is a connection string used
// as it is; any other text is a database file whose extension picks the driver (FileDrivers.h).
// Opening never prompts, never creates a file and never writes:
// file databases are opened read-only, and each query's transaction is rolled back where the
// driver allows it.
class OdbcSession final : public DatabaseSession {
  public:
    OdbcSession();  // connects to nothing until OpenDatabase
    ~OdbcSession() override;
    OdbcSession(const OdbcSession&) = delete;
    OdbcSession& operator=(const OdbcSession&) = delete;

    void SetDatabaseName(const std::string& name) override;
    // True when the open connection folds unquoted identifiers to upper case; false while
    // nothing is open.
    bool UppercaseIdentifiers() override;
    // Closes any earlier connection and connects to the named database; false when it cannot.
    bool OpenDatabase() override;
    // Runs the query and describes its result columns without reading a row. Throws OdbcError.
    // The cursor, lock and option codes mirror the host's recordset call; the session reads the
    // columns only and needs none of them.
    std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, std::int32_t cursorType,
                                             std::int32_t lockType, std::int32_t options) override;
    // The primary key through SQLPrimaryKeys, and what the server's catalog tells for the server
    // that SQL_DBMS_NAME names (ServerCatalogs.h); nothing more from other drivers.
    TableFacts DescribeTable(const std::string& table) override;
    // The audit table and trigger from the catalog of a server that keeps T-SQL triggers.
    std::optional<InstalledAudit> DescribeInstalledAudit(const std::string& itemTable,
                                                         const std::string& auditTable,
                                                         const std::string& trigger) override;

    FailureReason LastOpenFailure() const override { return openFailure_; }
    // The message of LastOpenFailure: the driver's diagnostics where there are any; empty after
    // a successful open.
    const std::string& OpenFailure() const noexcept { return openFailure_.message; }

  private:
    struct Handles;

    // Starts the driver manager once and connects to the named database; why not when it cannot.
    FailureReason Connect();

    std::string databaseName_;
    std::unique_ptr<Handles> handles_;
    FailureReason openFailure_;
};

}  // namespace qelt
