// Database files and the ODBC drivers that open them, one row per kind and platform.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Database files and the ODBC drivers that open them, as data: each kind of file is one row of
// this platform's table (FileDriversUnixOdbc.cpp or FileDriversWin32.cpp), holding all that is
// known of its driver. Nothing here talks to a driver; the session looks the row's drivers up and
// connects with the string built here. A driver whose server name (SQL_DBMS_NAME) has an entry in
// ServerCatalogs.cpp also has its catalog read.
namespace qelt {

// How a driver takes the database file in its connection string.
enum class FilePathForm {
    Braced,  // the path, in braces when it holds characters that would end the value early
    Raw,     // the path as it is: the driver reads no braces, so a path with ';' cannot be named
    SQLiteReadOnlyUri,  // a percent-encoded read-only file: URI
};

struct FileDriver {
    std::string_view kind;                         // "Access": in messages and the README
    std::vector<std::string_view> extensions;      // with the dot, in lower case
    std::vector<std::string_view> installedNames;  // the driver list's names, preferred first
    std::vector<std::string_view> libraries = {};  // files a DRIVER= value may name directly
    std::string_view pathKey;                      // the key that names the file: "DBQ"
    FilePathForm pathForm;
    std::string_view options;  // the rest of the string: "ReadOnly=1;"
    // The driver has no wide (UTF-16) calls: its text goes through the narrow calls in UTF-8.
    bool utf8Calls = false;
    // The option that keeps the driver from creating a missing database file ("NoCreat"); empty
    // for a driver that never creates one.
    std::string_view noCreateKey = {};
    // What installs the driver under installedNames[0]: the Debian package for unixODBC (which the
    // Debian package recommends, see cmake/Packaging.cmake), the installer on Windows.
    std::string_view package = {};
};

// This platform's table: Windows' drivers, or unixODBC's on Linux and for a Windows program
// under Wine, whose odbc32 hands every connection to unixODBC.
std::span<const FileDriver> FileDrivers();
std::span<const FileDriver> UnixOdbcFileDrivers();

// The name a driver opens a database file by.
struct DriverFileName {
    std::string name;  // UTF-8; empty when the drivers cannot reach the file
    bool windowsForm;  // a drive letter and backslashes; otherwise a Unix name
};

// The drivers' name of a file the program names `file` (absolute): the same path, except under
// Wine, where the drivers are Linux libraries and take the file's Unix name.
DriverFileName DriverFileNameOf(const std::filesystem::path& file);

// Whether a library of the table is on this machine.
bool DriverLibraryPresent(std::string_view library);

// What to install, and how to see what is installed, when a row's driver is missing; for no row
// (a connection string naming a data source or driver that is not there), how to list them.
std::string MissingDriverAdvice(const FileDriver* row);

// A database text containing '=' is an ODBC connection string, used as it is.
bool IsConnectionString(std::string_view databaseText);

// The row whose extension the file name has, compared ignoring ASCII case; null for none.
const FileDriver* FileDriverFor(std::string_view fileName, std::span<const FileDriver> drivers);
const FileDriver* FileDriverFor(std::string_view fileName);

// The value of a connection string's key (DRIVER, DSN), compared ignoring ASCII case, without its
// braces; empty when there is none. Keys are read as the driver manager reads them: blanks and
// ';' before a key are skipped.
std::string ConnectionStringValue(std::string_view connectionString, std::string_view key);
// Every value the key has in the string, in order: a driver manager may take the first or the last.
std::vector<std::string> ConnectionStringValues(std::string_view connectionString,
                                                std::string_view key);

// A connection string key whose value a driver manager copies into a buffer of fixed size.
struct ConnectionKeyLimit {
    std::string_view key;
    std::size_t longest;  // bytes of UTF-8 the buffer holds
};
// unixODBC's buffers, also those a Windows program reaches under Wine.
std::span<const ConnectionKeyLimit> UnixOdbcKeyLimits();
// This platform's driver manager's.
std::span<const ConnectionKeyLimit> DriverManagerKeyLimits();

// Why no driver manager may be given the connection string: a value longer than `limits` allow,
// or SAVEFILE, which has the driver manager write a file DSN. Empty when it may be given.
std::string ConnectionStringRefusal(std::string_view connectionString,
                                    std::span<const ConnectionKeyLimit> limits);

// The keys that the drivers of the tables take a database file by: DBQ, Database.
std::vector<std::string_view> FileKeys();

// The database files a connection string names: the values of the file keys, compared ignoring
// ASCII case, without braces. A server's Database value, a name on the server, is among them: as
// a file name it mostly leads nowhere.
std::vector<std::string> FilesNamedIn(std::string_view connectionString);

// The row of the driver called by an installed name or a library, compared ignoring ASCII case;
// null for none.
const FileDriver* FileDriverCalled(std::string_view driver, std::span<const FileDriver> drivers);
const FileDriver* FileDriverCalled(std::string_view driver);

// The row whose driver a connection string names in its DRIVER= value; null for none.
const FileDriver* FileDriverNamedIn(std::string_view connectionString,
                                    std::span<const FileDriver> drivers);
const FileDriver* FileDriverNamedIn(std::string_view connectionString);

// A connection string value, in braces (with '}' doubled) when it holds ';', '{', '}' or '=' or
// begins or ends with a blank.
std::string ConnectionValue(std::string_view value);

// The connection string for a database file, or why the file cannot be opened without creating
// or changing anything beside it.
struct FileConnection {
    std::string connectionString;  // empty when `failure` says why not
    std::string failure;
};
// `driver` is the DRIVER= value (an installed name in braces or a library path); `file` is
// absolute, as the program opens it, and `name` is the driver's name of it.
FileConnection FileConnectionString(const FileDriver& row, std::string_view driver,
                                    const std::filesystem::path& file, const DriverFileName& name);
FileConnection FileConnectionString(const FileDriver& row, std::string_view driver,
                                    const std::filesystem::path& file);

// A connection string for the row's driver that cannot create a missing database file: the row's
// no-create option added when the string has none; refused when the string turns it off.
FileConnection WithoutCreating(const FileDriver& row, std::string connectionString);

// What a path names, found without opening it for reading: a FIFO or a device must not block.
enum class FileKind { Missing, Unreachable, Regular, Folder, Fifo, Device, Socket, Other };
FileKind KindOfFile(const std::filesystem::path& file);
// "a folder", "a FIFO", "a device", "a socket", "no regular file".
std::string_view FileKindText(FileKind kind);

// Why the driver manager must not be called yet: a configuration file it reads exists but is no
// regular file (reading a FIFO or a device would hang the run). Empty when none is.
std::string DriverManagerConfigurationRefusal();

// "(.mdb, .accdb, .db)": every extension of the table, for messages.
std::string KnownExtensionsText(std::span<const FileDriver> drivers);
// ".mdb/.accdb through the Access driver, .db/.db3 through the SQLite driver": for --help.
std::string FileDriversHelpText();

}  // namespace qelt
