// The database file drivers of Linux and other unixODBC systems, also those a Windows program
// reaches under Wine: the names that Debian's driver packages register, and their libraries for
// a system where nothing is registered.
#include "dbsession/FileDrivers.h"

namespace qelt {

std::span<const FileDriver> UnixOdbcFileDrivers() {
    static const FileDriver drivers[] = {
        // MDBTools splits its connection string at every ';' and reads no braces.
        {"Access",
         {".mdb", ".accdb"},
         {"MDBTools"},
         {"/usr/lib/x86_64-linux-gnu/odbc/libmdbodbc.so",
          "/usr/lib/aarch64-linux-gnu/odbc/libmdbodbc.so", "/usr/lib64/libmdbodbc.so",
          "/usr/local/lib/libmdbodbc.so"},
         "DBQ",
         FilePathForm::Raw,
         "ReadOnly=1;",
         true},
        // Timeout: milliseconds to wait for a lock held by another program before giving up.
        {"SQLite",
         {".db", ".sqlite", ".sqlite3", ".db3"},
         {"SQLite3", "SQLite3 ODBC Driver"},
         {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
          "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib64/libsqlite3odbc.so",
          "/usr/local/lib/libsqlite3odbc.so"},
         "Database",
         FilePathForm::SQLiteReadOnlyUri,
         "NoCreat=1;Timeout=1500;",
         true},
    };
    return drivers;
}

}  // namespace qelt
