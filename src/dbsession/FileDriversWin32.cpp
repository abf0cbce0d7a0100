// The database file drivers of Windows: Microsoft's Access driver and the SQLite3 ODBC driver,
// by the names their installers register.
#include "dbsession/FileDrivers.h"

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

}  // namespace qelt
