// The database file drivers of Linux and other unixODBC systems: the names that Debian's driver
// packages register, and their libraries for a system where nothing is registered.
#include "dbsession/FileDrivers.h"

#include <map>

namespace qelt {

std::span<const FileDriver> FileDrivers() {
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

std::string MissingDriverAdvice(const FileDriver* row) {
    const std::string listing = "'odbcinst -q -d' lists the installed drivers";
    if (row == nullptr) {
        return "No ODBC data source or driver of that name is installed: 'odbcinst -q -s' lists "
               "the data sources, " +
               listing + ".";
    }
    // The Debian packages that register the drivers under the rows' first names.
    static const std::map<std::string_view, std::string_view> packages{{"Access", "odbc-mdbtools"},
                                                                       {"SQLite", "libsqliteodbc"}};
    const auto package = packages.find(row->kind);
    const std::string install =
        package == packages.end()
            ? "install a driver that registers it as "
            : "'sudo apt install " + std::string(package->second) + "' registers it as ";
    return "Install the " + std::string(row->kind) + " ODBC driver: " + install +
           std::string(row->installedNames[0]) + "; " + listing + ".";
}

}  // namespace qelt
