// The database file drivers of Windows: Microsoft's Access driver and the SQLite3 ODBC driver,
// by the names their installers register.
#include "dbsession/FileDrivers.h"

#include <map>

namespace qelt {

std::span<const FileDriver> FileDrivers() {
    static const FileDriver drivers[] = {
        {"Access",
         {".mdb", ".accdb"},
         {"Microsoft Access Driver (*.mdb, *.accdb)", "Microsoft Access Driver (*.mdb)"},
         {},
         "DBQ",
         FilePathForm::Braced,
         "ReadOnly=1;"},
        // Timeout: milliseconds to wait for a lock held by another program before giving up.
        {"SQLite",
         {".db", ".sqlite", ".sqlite3", ".db3"},
         {"SQLite3 ODBC Driver", "SQLite3"},
         {},
         "Database",
         FilePathForm::SQLiteReadOnlyUri,
         "NoCreat=1;Timeout=1500;"},
    };
    return drivers;
}

std::string MissingDriverAdvice(const FileDriver* row) {
    const std::string listing =
        "the Drivers tab of 'ODBC Data Sources (64-bit)' (odbcad32.exe) lists the installed "
        "drivers";
    if (row == nullptr) {
        return "No ODBC data source or driver of that name is installed: the User DSN and "
               "System DSN tabs of 'ODBC Data Sources (64-bit)' list the data sources, and " +
               listing + ".";
    }
    // The 64-bit packages that register the rows' first names.
    static const std::map<std::string_view, std::string_view> packages{
        {"Access", "the 64-bit Microsoft Access Database Engine"},
        {"SQLite", "the 64-bit SQLite ODBC driver (sqliteodbc_w64)"}};
    const auto package = packages.find(row->kind);
    const std::string install = package == packages.end()
                                    ? "the " + std::string(row->kind) + " ODBC driver"
                                    : std::string(package->second);
    return "Install " + install + ", which registers \"" + std::string(row->installedNames[0]) +
           "\"; " + listing + ".";
}

}  // namespace qelt
