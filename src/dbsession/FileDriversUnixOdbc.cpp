// The database file drivers of Linux and other unixODBC systems, also those a Windows program
// reaches under Wine: the names that Debian's driver packages register, and their libraries for
// a system where nothing is registered. A new driver is one row here and one in
// FileDriversWin32.cpp.
#include "dbsession/FileDrivers.h"

namespace qelt {

std::span<const FileDriver> UnixOdbcFileDrivers() {
    static const FileDriver drivers[] = {
        {
            .kind = "Access",
            .extensions = {".mdb", ".accdb"},
            .installedNames = {"MDBTools"},
            .libraries = {"/usr/lib/x86_64-linux-gnu/odbc/libmdbodbc.so",
                          "/usr/lib/aarch64-linux-gnu/odbc/libmdbodbc.so",
                          "/usr/lib64/libmdbodbc.so", "/usr/local/lib/libmdbodbc.so"},
            .pathKey = "DBQ",
            // MDBTools splits its connection string at every ';' and reads no braces.
            .pathForm = FilePathForm::Raw,
            .options = "ReadOnly=1;",
            .utf8Calls = true,
            .package = "odbc-mdbtools",
        },
        {
            .kind = "SQLite",
            .extensions = {".db", ".sqlite", ".sqlite3", ".db3"},
            .installedNames = {"SQLite3", "SQLite3 ODBC Driver"},
            .libraries = {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                          "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so",
                          "/usr/lib64/libsqlite3odbc.so", "/usr/local/lib/libsqlite3odbc.so"},
            .pathKey = "Database",
            .pathForm = FilePathForm::SQLiteReadOnlyUri,
            // Timeout: milliseconds to wait for a lock held by another program before giving up.
            .options = "NoCreat=1;Timeout=1500;",
            .utf8Calls = true,
            .noCreateKey = "NoCreat",
            .package = "libsqliteodbc",
        },
    };
    return drivers;
}

// unixODBC copies these values into fixed buffers, unchecked: longer ones overflow them and the
// C library ends the process. DRIVER: the driver's name (INI_MAX_PROPERTY_VALUE + 1 bytes).
// DSN: a data source's name (SQL_MAX_DSN_LENGTH). FILEDSN: the file DSN's path, built with the
// file DSN folder and ".dsn" in FILENAME_MAX + 2 bytes; a name of INI_MAX_PROPERTY_VALUE leaves the
// folder 3,000 bytes.
std::span<const ConnectionKeyLimit> UnixOdbcKeyLimits() {
    static constexpr ConnectionKeyLimit limits[] = {
        {"DRIVER", 1000},
        {"DSN", 32},
        {"FILEDSN", 1000},
    };
    return limits;
}

}  // namespace qelt
