// The database session through ODBC: connecting, and reading a table's columns.
#include "dbsession/OdbcSession.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <clocale>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

#include "dbsession/FileDrivers.h"
#include "dbsession/ServerCatalogs.h"
#include "text/Ascii.h"
#include "text/Utf.h"
#include "text/Utf8Path.h"

namespace qelt {

namespace {

// Seconds a connection attempt or a query may take before the driver gives up, so that a dead
// server cannot hang the run.
constexpr SQLULEN kLoginTimeoutSeconds = 15;
constexpr SQLULEN kConnectionTimeoutSeconds = 30;
constexpr SQLULEN kQueryTimeoutSeconds = 60;
// Text lengths in and out of most calls are SQLSMALLINT: no text can be longer.
constexpr auto kLongestText = static_cast<std::size_t>(std::numeric_limits<SQLSMALLINT>::max());

// ---- Text: UTF-8 inside, UTF-16 (SQLWCHAR) or UTF-8 at the ODBC boundary ---------------------
// The wide calls make Unicode drivers work in Unicode (and report the W types). For a driver
// without wide calls the driver manager converts, and unixODBC converts through UCS-2, losing
// every character beyond U+FFFF: a file driver known to have none gets UTF-8 through the narrow
// calls, which reach it unconverted.

using OdbcChar = SQLWCHAR;
using OdbcText = std::basic_string<OdbcChar>;

// unixODBC converts the wide calls of ANSI-only drivers named in a connection string with iconv
// from the LC_CTYPE codeset. A program that never chose a locale runs in "C", whose ASCII
// would turn every other letter into '?': such a program gets the UTF-8 that its text is in.
void UseUtf8CharacterTypeIfUnset() {
#ifndef _WIN32
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    if (current != nullptr &&
        (std::string_view(current) == "C" || std::string_view(current) == "POSIX")) {
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
#endif
}

// The text a call wrote into `buffer` (UTF-16 or UTF-8 units), `length` units long at most.
// unixODBC reports the byte length of an ANSI-only driver's UTF-8 text, longer than its UTF-16
// form: the text ends at the first NUL.
template <typename Unit>
std::string FromOdbcBuffer(const std::vector<Unit>& buffer, SQLSMALLINT length) {
    const std::size_t limit =
        std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), buffer.size() - 1);
    const auto end =
        std::find(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(limit), Unit{0});
    if constexpr (sizeof(Unit) == 1) {
        return std::string(buffer.begin(), end);
    } else {
        return text::Utf16ToUtf8(buffer.data(), static_cast<std::size_t>(end - buffer.begin()));
    }
}

// Whether a call may have cut its text off: a length that fills the buffer. The SQLite driver
// cuts names off silently and reports the length it copied, so a full buffer is asked again
// with a larger one.

bool CutOff(SQLSMALLINT length, std::size_t bufferSize) {
    const auto units = static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0));
    return bufferSize < kLongestText && units + 1 >= bufferSize;
}

std::size_t LargerBuffer(SQLSMALLINT length, std::size_t bufferSize) {
    return std::min(
        std::max(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)) + 1, bufferSize * 2),
        kLongestText);
}

SQLCHAR* Utf8Units(const std::string& text) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
}

// ---- Handles and diagnostics ----------------------------------------------------------------

// One ODBC handle, freed with its owner; it knows whether its text goes through the narrow
// calls in UTF-8.
class OdbcHandle {
  public:
    OdbcHandle() = default;
    OdbcHandle(SQLSMALLINT type, SQLHANDLE handle, bool utf8Calls = false)
        : type_(type), handle_(handle), utf8Calls_(utf8Calls) {}
    OdbcHandle(OdbcHandle&& other) noexcept
        : type_(other.type_),
          handle_(std::exchange(other.handle_, nullptr)),
          utf8Calls_(other.utf8Calls_) {}
    OdbcHandle& operator=(OdbcHandle&& other) noexcept {
        std::swap(type_, other.type_);
        std::swap(handle_, other.handle_);
        std::swap(utf8Calls_, other.utf8Calls_);
        return *this;
    }
    ~OdbcHandle() {
        if (handle_ != SQL_NULL_HANDLE) {
            SQLFreeHandle(type_, handle_);
        }
    }

    SQLSMALLINT Type() const { return type_; }
    SQLHANDLE Get() const { return handle_; }
    bool Utf8Calls() const { return utf8Calls_; }

  private:
    SQLSMALLINT type_ = SQL_HANDLE_ENV;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
    bool utf8Calls_ = false;
};

bool Succeeded(SQLRETURN result) {
    return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO;
}

struct Diagnostics {
    std::int32_t nativeError = 0;
    std::string sqlState;
    std::string text;  // every record as "[SQLSTATE] message", joined by "; "
};

template <typename Unit>
Diagnostics ReadDiagnosticsIn(const OdbcHandle& handle) {
    Diagnostics diagnostics;
    for (SQLSMALLINT record = 1;; ++record) {
        std::vector<Unit> state(6);
        SQLINTEGER native = 0;
        std::vector<Unit> message(1024);
        SQLSMALLINT messageLength = 0;
        const auto readRecord = [&] {
            if constexpr (sizeof(Unit) == 1) {
                return SQLGetDiagRec(handle.Type(), handle.Get(), record, state.data(), &native,
                                     message.data(), static_cast<SQLSMALLINT>(message.size()),
                                     &messageLength);
            } else {
                return SQLGetDiagRecW(handle.Type(), handle.Get(), record, state.data(), &native,
                                      message.data(), static_cast<SQLSMALLINT>(message.size()),
                                      &messageLength);
            }
        };
        SQLRETURN result = readRecord();
        while (Succeeded(result) && CutOff(messageLength, message.size())) {
            message.resize(LargerBuffer(messageLength, message.size()));
            result = readRecord();
        }
        if (!Succeeded(result)) {
            break;
        }
        const std::string sqlState = FromOdbcBuffer(state, 5);
        if (record == 1) {
            diagnostics.nativeError = static_cast<std::int32_t>(native);
            diagnostics.sqlState = sqlState;
        } else {
            diagnostics.text += "; ";
        }
        std::string text = FromOdbcBuffer(message, messageLength);
        text.erase(text.find_last_not_of(" \r\n") + 1);  // some drivers end it with a newline
        diagnostics.text += sqlState.empty() ? text : "[" + sqlState + "] " + text;
    }
    return diagnostics;
}

Diagnostics ReadDiagnostics(const OdbcHandle& handle) {
    return handle.Utf8Calls() ? ReadDiagnosticsIn<SQLCHAR>(handle)
                              : ReadDiagnosticsIn<OdbcChar>(handle);
}

// The error of a failed call: the first diagnostic record's native number and SQLSTATE with
// the text of every record; the return code itself when the driver left no record.
[[noreturn]] void ThrowOdbcError(const OdbcHandle& handle, SQLRETURN result,
                                 const char* operation) {
    Diagnostics diagnostics = ReadDiagnostics(handle);
    if (diagnostics.text.empty()) {
        throw OdbcError(result, "", std::string(operation) + " failed without a diagnostic");
    }
    throw OdbcError(diagnostics.nativeError, std::move(diagnostics.sqlState), diagnostics.text);
}

// Why a call failed, from the driver's diagnostics.
FailureReason DriverFailure(const OdbcHandle& handle, const char* operation) {
    Diagnostics diagnostics = ReadDiagnostics(handle);
    if (diagnostics.text.empty()) {
        return FailureReason{"", 0, std::string(operation) + " failed", FailureHint::None, ""};
    }
    const FailureHint hint = HintOfDiagnostic(diagnostics.sqlState, diagnostics.text);
    return FailureReason{std::move(diagnostics.sqlState), diagnostics.nativeError,
                         std::move(diagnostics.text), hint, ""};
}

FailureReason Failure(std::string message, FailureHint hint = FailureHint::None) {
    return FailureReason{"", 0, std::move(message), hint, ""};
}

// Whether this user may not read the file: drivers that cannot open it say why in words of their
// own, or not at all.
bool ReadingIsDenied(const std::filesystem::path& file) {
    errno = 0;
    const std::ifstream stream(file, std::ios::binary);
    return !stream.is_open() && errno == EACCES;
}

// ---- Database text to connection string -----------------------------------------------------

// Hands each entry of a driver manager list (SQLDriversW: drivers and their attributes;
// SQLDataSourcesW: data sources and their drivers) to `take` as two texts, until it returns
// false or the list ends.
template <typename ListCall, typename Take>
void ForEachListed(const OdbcHandle& environment, ListCall list, Take take) {
    std::vector<OdbcChar> first(512);
    std::vector<OdbcChar> second(2048);
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
        SQLSMALLINT firstLength = 0;
        SQLSMALLINT secondLength = 0;
        const SQLRETURN result = list(
            environment.Get(), direction, first.data(), static_cast<SQLSMALLINT>(first.size()),
            &firstLength, second.data(), static_cast<SQLSMALLINT>(second.size()), &secondLength);
        if (!Succeeded(result) ||
            !take(FromOdbcBuffer(first, firstLength), FromOdbcBuffer(second, secondLength))) {
            return;
        }
    }
}

std::set<std::string> InstalledDrivers(const OdbcHandle& environment) {
    std::set<std::string> names;
    ForEachListed(environment, SQLDriversW, [&names](std::string name, const std::string&) {
        names.insert(std::move(name));
        return true;
    });
    return names;
}

// The driver a data source names (an installed name or a library), or nothing when no data
// source has that name. Data source names compare ignoring ASCII case, as the driver manager's.
std::optional<std::string> DataSourceDriver(const OdbcHandle& environment, std::string_view name) {
    std::optional<std::string> found;
    ForEachListed(environment, SQLDataSourcesW,
                  [&](const std::string& dataSource, std::string driver) {
                      if (text::EqualsIgnoringAsciiCase(dataSource, name)) {
                          found = std::move(driver);
                      }
                      return !found;
                  });
    return found;
}

// The DRIVER= value for a kind of file, or nothing when no driver for it is installed.
std::optional<std::string> FindDriver(const OdbcHandle& environment, const FileDriver& row) {
    const std::set<std::string> installed = InstalledDrivers(environment);
    for (const std::string_view name : row.installedNames) {
        if (installed.contains(std::string(name))) {
            std::string braced = "{";
            braced += name;
            return braced += "}";
        }
    }
    for (const std::string_view library : row.libraries) {
        if (DriverLibraryPresent(library)) {
            return ConnectionValue(library);
        }
    }
    return std::nullopt;
}

// The ADO code of each ODBC type whose code says it all; TINYINT's two codes tell its sign apart.
constexpr std::array<std::pair<int, std::int32_t>, 23> kAdoTypesOfSqlTypes{{
    {SQL_WVARCHAR, ado::adVarWChar},   {SQL_WLONGVARCHAR, ado::adLongVarWChar},
    {SQL_VARCHAR, ado::adVarChar},     {SQL_LONGVARCHAR, ado::adLongVarChar},
    {SQL_CHAR, ado::adChar},           {SQL_WCHAR, ado::adWChar},
    {SQL_INTEGER, ado::adInteger},     {SQL_SMALLINT, ado::adSmallInt},
    {SQL_BIGINT, ado::adBigInt},       {SQL_BIT, ado::adBoolean},
    {SQL_REAL, ado::adSingle},         {SQL_FLOAT, ado::adDouble},
    {SQL_DOUBLE, ado::adDouble},       {SQL_DECIMAL, ado::adNumeric},
    {SQL_NUMERIC, ado::adNumeric},     {SQL_TYPE_DATE, ado::adDBDate},
    {SQL_TYPE_TIME, ado::adDBTime},    {SQL_TYPE_TIMESTAMP, ado::adDBTimeStamp},
    {SQL_GUID, ado::adGUID},           {SQL_BINARY, ado::adBinary},
    {SQL_VARBINARY, ado::adVarBinary}, {SQL_LONGVARBINARY, ado::adLongVarBinary},
    {SQL_TINYINT, ado::adTinyInt},
}};

}  // namespace

std::int32_t AdoTypeOfSqlType(int sqlType, bool isUnsigned) {
    if (sqlType == SQL_TINYINT && isUnsigned) {
        return ado::adUnsignedTinyInt;
    }
    const auto found =
        std::ranges::find(kAdoTypesOfSqlTypes, sqlType, &std::pair<int, std::int32_t>::first);
    return found != kAdoTypesOfSqlTypes.end() ? found->second : ado::adVariant;
}

namespace {

class OdbcRecordset final : public Recordset {
  public:
    explicit OdbcRecordset(std::vector<Field> fields) : fields_(std::move(fields)) {}
    const Fields& GetFields() const override { return fields_; }

  private:
    FieldVector fields_;
};

// A numeric attribute of a result column; a driver that does not know it answers -1.
SQLLEN NumericColumnAttribute(const OdbcHandle& statement, SQLUSMALLINT column,
                              SQLUSMALLINT attribute) {
    SQLLEN value = -1;
    if (!Succeeded(
            SQLColAttribute(statement.Get(), column, attribute, nullptr, 0, nullptr, &value))) {
        return -1;
    }
    return value;
}

// The server's name of a result column's type ("uuid", "numeric", "timestamp"), or "" when the
// driver does not tell. Longer names than a buffer's worth are of no use and stay cut.
template <typename Unit>
std::string ColumnTypeName(const OdbcHandle& statement, SQLUSMALLINT column) {
    std::vector<Unit> typeName(130);
    SQLSMALLINT bytes = 0;
    const auto bufferBytes = static_cast<SQLSMALLINT>(typeName.size() * sizeof(Unit));
    SQLRETURN result = SQL_ERROR;
    if constexpr (sizeof(Unit) == 1) {
        result = SQLColAttribute(statement.Get(), column, SQL_DESC_TYPE_NAME, typeName.data(),
                                 bufferBytes, &bytes, nullptr);
    } else {
        result = SQLColAttributeW(statement.Get(), column, SQL_DESC_TYPE_NAME, typeName.data(),
                                  bufferBytes, &bytes, nullptr);
    }
    if (!Succeeded(result)) {
        return {};
    }
    return FromOdbcBuffer(typeName, static_cast<SQLSMALLINT>(bytes / sizeof(Unit)));
}

// What SQLDescribeCol tells of a result column.
struct ColumnDescription {
    std::string name;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
};

template <typename Unit>
ColumnDescription DescribeColumnCall(const OdbcHandle& statement, SQLUSMALLINT column) {
    std::vector<Unit> name(256);
    SQLSMALLINT nameLength = 0;
    ColumnDescription description;
    SQLSMALLINT nullable = 0;
    const auto describe = [&] {
        SQLRETURN result = SQL_ERROR;
        if constexpr (sizeof(Unit) == 1) {
            result = SQLDescribeCol(statement.Get(), column, name.data(),
                                    static_cast<SQLSMALLINT>(name.size()), &nameLength,
                                    &description.sqlType, &description.size, &description.digits,
                                    &nullable);
        } else {
            result = SQLDescribeColW(statement.Get(), column, name.data(),
                                     static_cast<SQLSMALLINT>(name.size()), &nameLength,
                                     &description.sqlType, &description.size, &description.digits,
                                     &nullable);
        }
        if (!Succeeded(result)) {
            ThrowOdbcError(statement, result, "SQLDescribeCol");
        }
    };
    describe();
    while (CutOff(nameLength, name.size())) {
        name.resize(LargerBuffer(nameLength, name.size()));
        describe();
    }
    description.name = FromOdbcBuffer(name, nameLength);
    return description;
}

// Whether a result column's numbers are unsigned (SQL_DESC_UNSIGNED).
bool IsUnsignedColumn(const OdbcHandle& statement, SQLUSMALLINT column) {
    SQLLEN unsignedAttribute = SQL_FALSE;
    const SQLRETURN result = SQLColAttribute(statement.Get(), column, SQL_DESC_UNSIGNED, nullptr, 0,
                                             nullptr, &unsignedAttribute);
    if (!Succeeded(result)) {
        ThrowOdbcError(statement, result, "SQLColAttribute");
    }
    return unsignedAttribute == SQL_TRUE;
}

template <typename Unit>
Field DescribeColumnIn(const OdbcHandle& statement, SQLUSMALLINT column) {
    ColumnDescription description = DescribeColumnCall<Unit>(statement, column);
    // Only TINYINT has an ADO code for each sign.
    const bool isUnsigned =
        description.sqlType == SQL_TINYINT && IsUnsignedColumn(statement, column);
    Field field{std::move(description.name), AdoTypeOfSqlType(description.sqlType, isUnsigned)};
    // The column size and digits of SQLDescribeCol are what every driver fills in (the SQLite
    // driver reports a decimal's scale as its SQL_DESC_PRECISION).
    ColumnFacts& facts = field.Facts.Edit();
    facts.size = static_cast<std::int32_t>(std::min<SQLULEN>(
        description.size, static_cast<SQLULEN>(std::numeric_limits<std::int32_t>::max())));
    facts.scale = std::max<SQLSMALLINT>(description.digits, 0);
    facts.typeName = ColumnTypeName<Unit>(statement, column);
    facts.identity =
        NumericColumnAttribute(statement, column, SQL_DESC_AUTO_UNIQUE_VALUE) == SQL_TRUE;
    // SQL_DESC_UPDATABLE is not read: a read-only driver (MDBTools) reports every column
    // read-only, which says nothing of what an UPDATE on the server may set.
    return field;
}

Field DescribeColumn(const OdbcHandle& statement, SQLUSMALLINT column) {
    return statement.Utf8Calls() ? DescribeColumnIn<SQLCHAR>(statement, column)
                                 : DescribeColumnIn<OdbcChar>(statement, column);
}

// Ends the current transaction of a connection without committing it.
struct RollbackOnExit {
    SQLHANDLE connection;  // null: nothing to roll back
    ~RollbackOnExit() {
        if (connection != nullptr) {
            SQLEndTran(SQL_HANDLE_DBC, connection, SQL_ROLLBACK);
        }
    }
};

// The whole text in a column of the row just fetched, read a piece at a time (a trigger's
// definition runs to megabytes); nothing for NULL or a failed read.
template <typename Unit>
std::optional<std::string> TextInColumnIn(const OdbcHandle& statement, SQLUSMALLINT column) {
    constexpr SQLSMALLINT kTarget = sizeof(Unit) == 1 ? SQL_C_CHAR : SQL_C_WCHAR;
    // Beyond this a value is cut: no catalog text the session asks for comes near it.
    constexpr std::size_t kMostUnits = std::size_t{1} << 28;
    std::vector<Unit> piece(4096);
    std::vector<Unit> whole;
    for (;;) {
        SQLLEN bytes = 0;
        const SQLRETURN result =
            SQLGetData(statement.Get(), column, kTarget, piece.data(),
                       static_cast<SQLLEN>(piece.size() * sizeof(Unit)), &bytes);
        if (result == SQL_NO_DATA) {
            break;
        }
        if (!Succeeded(result) || bytes == SQL_NULL_DATA) {
            return std::nullopt;
        }
        // The driver ends each piece with a NUL; a piece that filled the buffer says so.
        const std::size_t room = piece.size() - 1;
        const std::size_t units =
            bytes == SQL_NO_TOTAL || bytes < 0
                ? room
                : std::min(room, static_cast<std::size_t>(bytes) / sizeof(Unit));
        whole.insert(whole.end(), piece.begin(),
                     piece.begin() + static_cast<std::ptrdiff_t>(units));
        if (result == SQL_SUCCESS || whole.size() >= kMostUnits) {
            break;
        }
    }
    const auto end = std::find(whole.begin(), whole.end(), Unit{0});
    if constexpr (sizeof(Unit) == 1) {
        return std::string(whole.begin(), end);
    } else {
        return text::Utf16ToUtf8(whole.data(), static_cast<std::size_t>(end - whole.begin()));
    }
}

std::optional<std::string> TextInColumn(const OdbcHandle& statement, SQLUSMALLINT column) {
    return statement.Utf8Calls() ? TextInColumnIn<SQLCHAR>(statement, column)
                                 : TextInColumnIn<OdbcChar>(statement, column);
}

// Runs the query text on the statement, through the calls its connection takes.
SQLRETURN ExecuteDirect(const OdbcHandle& statement, const std::string& sql) {
    if (statement.Utf8Calls()) {
        return SQLExecDirect(statement.Get(), Utf8Units(sql), static_cast<SQLINTEGER>(sql.size()));
    }
    OdbcText odbcSql = text::Utf8ToUtf16As<OdbcChar>(sql);
    return SQLExecDirectW(statement.Get(), odbcSql.data(), static_cast<SQLINTEGER>(odbcSql.size()));
}

// Every row of a query's result, each value as text; nothing when the query fails.
std::optional<std::vector<CatalogRow>> QueryRows(const OdbcHandle& statement,
                                                 const std::string& sql) {
    SQLSMALLINT columns = 0;
    if (!Succeeded(ExecuteDirect(statement, sql)) ||
        !Succeeded(SQLNumResultCols(statement.Get(), &columns))) {
        return std::nullopt;
    }
    std::vector<CatalogRow> rows;
    while (Succeeded(SQLFetch(statement.Get()))) {
        CatalogRow& row = rows.emplace_back();
        for (SQLSMALLINT column = 1; column <= columns; ++column) {
            row.push_back(TextInColumn(statement, static_cast<SQLUSMALLINT>(column)));
        }
    }
    return rows;
}

// The server's name as the driver reports it (SQL_DBMS_NAME); empty when it does not tell.
template <typename Unit>
std::string DbmsNameIn(const OdbcHandle& connection) {
    std::vector<Unit> name(128);
    SQLSMALLINT bytes = 0;
    const auto bufferBytes = static_cast<SQLSMALLINT>(name.size() * sizeof(Unit));
    SQLRETURN result = SQL_ERROR;
    if constexpr (sizeof(Unit) == 1) {
        result = SQLGetInfo(connection.Get(), SQL_DBMS_NAME, name.data(), bufferBytes, &bytes);
    } else {
        result = SQLGetInfoW(connection.Get(), SQL_DBMS_NAME, name.data(), bufferBytes, &bytes);
    }
    if (!Succeeded(result)) {
        return {};
    }
    return FromOdbcBuffer(name, static_cast<SQLSMALLINT>(bytes / sizeof(Unit)));
}

std::string DbmsName(const OdbcHandle& connection) {
    return connection.Utf8Calls() ? DbmsNameIn<SQLCHAR>(connection)
                                  : DbmsNameIn<OdbcChar>(connection);
}

// The primary key's columns in key order (KEY_SEQ), as SQLPrimaryKeys reports them.
std::vector<std::string> PrimaryKeyColumns(const OdbcHandle& statement, const std::string& table) {
    SQLRETURN result = SQL_ERROR;
    if (statement.Utf8Calls()) {
        result = SQLPrimaryKeys(statement.Get(), nullptr, 0, nullptr, 0, Utf8Units(table),
                                static_cast<SQLSMALLINT>(std::min(table.size(), kLongestText)));
    } else {
        OdbcText odbcTable = text::Utf8ToUtf16As<OdbcChar>(table);
        result =
            SQLPrimaryKeysW(statement.Get(), nullptr, 0, nullptr, 0, odbcTable.data(),
                            static_cast<SQLSMALLINT>(std::min(odbcTable.size(), kLongestText)));
    }
    std::vector<std::pair<SQLSMALLINT, std::string>> columns;
    while (Succeeded(result) && Succeeded(SQLFetch(statement.Get()))) {
        SQLSMALLINT sequence = 0;
        SQLLEN indicator = 0;
        SQLGetData(statement.Get(), 5, SQL_C_SSHORT, &sequence, 0, &indicator);
        if (std::optional<std::string> name = TextInColumn(statement, 4)) {
            columns.emplace_back(sequence, std::move(*name));
        }
    }
    std::ranges::stable_sort(columns, {}, &std::pair<SQLSMALLINT, std::string>::first);
    std::vector<std::string> names;
    for (auto& column : columns) {
        names.push_back(std::move(column.second));
    }
    return names;
}

bool Failed(const FailureReason& reason) {
    return !reason.message.empty();
}

// Where a database text leads: the connection string, and what it is known to reach.
struct ConnectionTarget {
    std::string connectionString;
    const FileDriver* fileDriver = nullptr;     // the file driver it reaches, when known
    std::optional<std::filesystem::path> file;  // the database file, when the text names one
    FailureReason failure;                      // why the text leads nowhere

    bool Utf8Calls() const { return fileDriver != nullptr && fileDriver->utf8Calls; }
};

ConnectionTarget Refused(FailureReason failure) {
    ConnectionTarget target;
    target.failure = std::move(failure);
    return target;
}

// A connection string is used as it is, except that a file driver it reaches must not create a
// missing database file.
ConnectionTarget TargetOfConnectionString(const OdbcHandle& environment,
                                          std::string connectionString) {
    const FileDriver* named = FileDriverNamedIn(connectionString);
    if (const std::string dataSource = ConnectionStringValue(connectionString, "DSN");
        named == nullptr && !dataSource.empty()) {
        // A data source names its driver in its definition, which the driver manager lists.
        const auto driver = DataSourceDriver(environment, dataSource);
        named = driver ? FileDriverCalled(*driver) : nullptr;
    }
    if (named == nullptr) {
        return {std::move(connectionString), nullptr, std::nullopt, {}};
    }
    FileConnection kept = WithoutCreating(*named, std::move(connectionString));
    if (!kept.failure.empty()) {
        return Refused(Failure(std::move(kept.failure)));
    }
    return {std::move(kept.connectionString), named, std::nullopt, {}};
}

// Why a path that is no regular file cannot be opened; nothing for a regular file.
FailureReason RefusalOfFileKind(const std::string& databaseName, FileKind kind) {
    switch (kind) {
        case FileKind::Regular:
            return {};
        case FileKind::Missing:
            return Failure("the database file '" + databaseName + "' does not exist",
                           FailureHint::FileNotFound);
        case FileKind::Unreachable:
            return Failure(
                "the database file '" + databaseName + "' cannot be reached: permission denied",
                FailureHint::PermissionDenied);
        default:
            return Failure("the database file '" + databaseName + "' is " +
                           std::string(FileKindText(kind)) + ", not a database file");
    }
}

// A database file is opened through the installed driver of the row its extension picks.
ConnectionTarget TargetOfFile(const OdbcHandle& environment, const std::string& databaseName) {
#ifdef _WIN32
    // Windows names files in UTF-16: a name that is no UTF-8 names no file there.
    if (!text::IsValidUtf8(databaseName)) {
        return Refused(Failure("the database file name is not UTF-8 text"));
    }
#endif
    const FileDriver* row = FileDriverFor(databaseName);
    if (row == nullptr) {
        return Refused(Failure("'" + databaseName +
                               "' is neither a connection string (KEY=value;...) nor a "
                               "database file with a known extension " +
                               KnownExtensionsText(FileDrivers())));
    }
    std::filesystem::path file = text::Utf8Path(databaseName);
    if (FailureReason refusal = RefusalOfFileKind(databaseName, KindOfFile(file));
        Failed(refusal)) {
        return Refused(std::move(refusal));
    }
    const std::optional<std::string> driver = FindDriver(environment, *row);
    if (!driver) {
        FailureReason noDriver =
            Failure("no ODBC driver for " + std::string(row->kind) +
                        " databases is installed; name one in a connection string",
                    FailureHint::NoDriver);
        noDriver.fileKind = row->kind;
        return Refused(std::move(noDriver));
    }
    std::error_code error;
    FileConnection built =
        FileConnectionString(*row, *driver, std::filesystem::absolute(file, error));
    if (!built.failure.empty()) {
        return Refused(Failure(std::move(built.failure)));
    }
    return {std::move(built.connectionString), row, std::move(file), {}};
}

// The connection string as the connect call takes it: UTF-8 through the narrow call for a driver
// without wide calls, UTF-16 otherwise.
struct ConnectText {
    const std::string& utf8;
    OdbcText utf16;  // empty for the narrow call
    bool utf8Calls;

    ConnectText(const std::string& connectionString, bool narrow)
        : utf8(connectionString),
          utf16(narrow ? OdbcText() : text::Utf8ToUtf16As<OdbcChar>(connectionString)),
          utf8Calls(narrow) {}
    std::size_t Length() const { return utf8Calls ? utf8.size() : utf16.size(); }
};

// Why no driver manager may be given the connection string; nothing when it may be given.
FailureReason RefusalOfConnectionString(const ConnectText& text) {
    if (std::string refusal = ConnectionStringRefusal(text.utf8, DriverManagerKeyLimits());
        !refusal.empty()) {
        return Failure(std::move(refusal));
    }
    // The driver manager takes the length as a 16-bit number: a longer string would be cut at
    // the wrapped length, losing options such as NoCreat=1.
    if (text.Length() > kLongestText) {
        return Failure("the connection string is " + std::to_string(text.Length()) +
                       " characters long; ODBC takes at most " + std::to_string(kLongestText));
    }
    return {};
}

SQLRETURN DriverConnect(const OdbcHandle& connection, const ConnectText& text) {
    SQLSMALLINT completedLength = 0;
    const auto length = static_cast<SQLSMALLINT>(text.Length());
    if (text.utf8Calls) {
        return SQLDriverConnect(connection.Get(), nullptr, Utf8Units(text.utf8), length, nullptr, 0,
                                &completedLength, SQL_DRIVER_NOPROMPT);
    }
    return SQLDriverConnectW(connection.Get(), nullptr, const_cast<OdbcChar*>(text.utf16.c_str()),
                             length, nullptr, 0, &completedLength, SQL_DRIVER_NOPROMPT);
}

}  // namespace

struct OdbcSession::Handles {
    OdbcHandle environment;
    OdbcHandle connection;  // allocated while connected; empty otherwise
    bool connected = false;
    bool uppercaseIdentifiers = false;
    bool rollsBack = false;  // every query's transaction is rolled back
    SQLUSMALLINT identifierCase = SQL_IC_SENSITIVE;

    // The driver manager's environment, for ODBC 3; null when it cannot be had.
    static std::unique_ptr<Handles> Start(FailureReason& failure) {
        UseUtf8CharacterTypeIfUnset();
        SQLHANDLE environment = SQL_NULL_HANDLE;
        if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment))) {
            failure = Failure("the ODBC driver manager could not be initialised");
            return nullptr;
        }
        auto handles = std::make_unique<Handles>();
        handles->environment = OdbcHandle(SQL_HANDLE_ENV, environment);
        if (!Succeeded(SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
            failure = DriverFailure(handles->environment, "SQLSetEnvAttr");
            return nullptr;
        }
        return handles;
    }

    // Connects without prompting, asking for read-only access; why not when it cannot.
    FailureReason Connect(const ConnectionTarget& target, const ConnectText& text) {
        SQLHANDLE handle = SQL_NULL_HANDLE;
        if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, environment.Get(), &handle))) {
            return DriverFailure(environment, "SQLAllocHandle");
        }
        connection = OdbcHandle(SQL_HANDLE_DBC, handle, text.utf8Calls);
        // Hints only: a driver that does not know an attribute still connects.
        SQLSetConnectAttr(handle, SQL_ATTR_LOGIN_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
        SQLSetConnectAttr(handle, SQL_ATTR_CONNECTION_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(kConnectionTimeoutSeconds), 0);
        SQLSetConnectAttr(handle, SQL_ATTR_ACCESS_MODE,
                          reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
        if (!Succeeded(DriverConnect(connection, text))) {
            FailureReason failure = DriverFailure(connection, "SQLDriverConnect");
            if (target.file && failure.hint == FailureHint::None && ReadingIsDenied(*target.file)) {
                failure.hint = FailureHint::PermissionDenied;
            }
            connection = OdbcHandle();
            return failure;
        }
        connected = true;
        return {};
    }

    // What the session needs to know of a new connection.
    void ReadConnectionFacts() {
        // Servers ignore the read-only hint: without autocommit, rolling back after each query
        // undoes whatever a query text could change.
        rollsBack =
            Succeeded(SQLSetConnectAttr(connection.Get(), SQL_ATTR_AUTOCOMMIT,
                                        reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0));
        SQLUSMALLINT folding = 0;
        if (Succeeded(SQLGetInfo(connection.Get(), SQL_IDENTIFIER_CASE, &folding, sizeof folding,
                                 nullptr))) {
            uppercaseIdentifiers = folding == SQL_IC_UPPER;
            identifierCase = folding;
        }
    }

    // Ends the current transaction without committing it, where queries are rolled back.
    void RollBack() const {
        if (rollsBack) {
            SQLEndTran(SQL_HANDLE_DBC, connection.Get(), SQL_ROLLBACK);
        }
    }

    // Every row of a catalog query's result, rolled back after: a failed query leaves a
    // server's transaction unusable until then. Nothing when the query fails.
    std::optional<std::vector<CatalogRow>> RowsOf(const std::string& sql) const {
        std::optional<std::vector<CatalogRow>> rows;
        if (const OdbcHandle statement = NewStatement(); statement.Get() != nullptr) {
            rows = QueryRows(statement, sql);
        }
        RollBack();
        return rows;
    }

    // A new statement on the connection; an empty handle when none can be had.
    OdbcHandle NewStatement() const {
        SQLHANDLE statement = SQL_NULL_HANDLE;
        if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection.Get(), &statement))) {
            return OdbcHandle();
        }
        SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(kQueryTimeoutSeconds), 0);
        return OdbcHandle(SQL_HANDLE_STMT, statement, connection.Utf8Calls());
    }

    void Disconnect() {
        if (connected) {
            SQLDisconnect(connection.Get());
            connected = false;
        }
        connection = OdbcHandle();
        uppercaseIdentifiers = false;
        rollsBack = false;
        identifierCase = SQL_IC_SENSITIVE;
    }

    ~Handles() { Disconnect(); }
};

OdbcSession::OdbcSession() = default;
OdbcSession::~OdbcSession() = default;

void OdbcSession::SetDatabaseName(const std::string& name) {
    databaseName_ = name;
}

bool OdbcSession::UppercaseIdentifiers() {
    return handles_ && handles_->connected && handles_->uppercaseIdentifiers;
}

bool OdbcSession::OpenDatabase() {
    if (handles_) {
        handles_->Disconnect();
    }
    openFailure_ = Connect();
    return !Failed(openFailure_);
}

FailureReason OdbcSession::Connect() {
    // The driver manager reads its configuration files at its first call and at each connection.
    if (std::string refusal = DriverManagerConfigurationRefusal(); !refusal.empty()) {
        return Failure(std::move(refusal));
    }
    if (!handles_) {
        FailureReason failure;
        handles_ = Handles::Start(failure);
        if (!handles_) {
            return failure;
        }
    }
    const ConnectionTarget target =
        IsConnectionString(databaseName_)
            ? TargetOfConnectionString(handles_->environment, databaseName_)
            : TargetOfFile(handles_->environment, databaseName_);
    if (Failed(target.failure)) {
        return target.failure;
    }
    const ConnectText text(target.connectionString, target.Utf8Calls());
    if (FailureReason refusal = RefusalOfConnectionString(text); Failed(refusal)) {
        return refusal;
    }
    if (FailureReason failure = handles_->Connect(target, text); Failed(failure)) {
        return failure;
    }
    handles_->ReadConnectionFacts();
    return {};
}

std::unique_ptr<Recordset> OdbcSession::OpenRecordset(const std::string& sql, std::int32_t,
                                                      std::int32_t, std::int32_t) {
    if (!handles_ || !handles_->connected) {
        throw OdbcError(static_cast<std::int32_t>(SQL_ERROR), "08003",
                        "[08003] The database is not open");
    }
    // Declared before the statement, so the statement is freed before the rollback.
    const RollbackOnExit rollback{handles_->rollsBack ? handles_->connection.Get() : nullptr};
    const OdbcHandle statement = handles_->NewStatement();
    if (statement.Get() == SQL_NULL_HANDLE) {
        ThrowOdbcError(handles_->connection, SQL_ERROR, "SQLAllocHandle");
    }
    const SQLHANDLE statementHandle = statement.Get();
    const SQLRETURN executed = ExecuteDirect(statement, sql);
    if (!Succeeded(executed) && executed != SQL_NO_DATA) {
        ThrowOdbcError(statement, executed, "SQLExecDirect");
    }
    SQLSMALLINT columnCount = 0;
    const SQLRETURN counted = SQLNumResultCols(statementHandle, &columnCount);
    if (!Succeeded(counted)) {
        ThrowOdbcError(statement, counted, "SQLNumResultCols");
    }
    if (columnCount <= 0) {
        return nullptr;  // the statement produced no result set
    }
    std::vector<Field> fields;
    fields.reserve(static_cast<std::size_t>(columnCount));
    for (SQLSMALLINT column = 1; column <= columnCount; ++column) {
        fields.push_back(DescribeColumn(statement, static_cast<SQLUSMALLINT>(column)));
    }
    return std::make_unique<OdbcRecordset>(std::move(fields));
}

TableFacts OdbcSession::DescribeTable(const std::string& table) {
    TableFacts facts;
    if (!handles_ || !handles_->connected) {
        return facts;
    }
    // The catalog keeps unquoted names as the server folds them.
    const std::string catalogName =
        handles_->identifierCase == SQL_IC_LOWER   ? text::AsciiLower(table)
        : handles_->identifierCase == SQL_IC_UPPER ? text::AsciiUpper(table)
                                                   : table;
    if (const OdbcHandle statement = handles_->NewStatement(); statement.Get() != nullptr) {
        facts.primaryKey = PrimaryKeyColumns(statement, catalogName);
    }
    handles_->RollBack();
    // The catalog tells what the driver's answers cannot, or tell differently by version.
    for (const CatalogQuery& query :
         CatalogQueriesFor(DbmsName(handles_->connection), catalogName)) {
        if (const auto rows = handles_->RowsOf(query.sql)) {
            query.take(*rows, facts);
        }
    }
    return facts;
}

std::optional<InstalledAudit> OdbcSession::DescribeInstalledAudit(const std::string& itemTable,
                                                                  const std::string& auditTable,
                                                                  const std::string& trigger) {
    if (!handles_ || !handles_->connected) {
        return std::nullopt;
    }
    const std::optional<std::vector<AuditQuery>> queries =
        AuditQueriesFor(DbmsName(handles_->connection), itemTable, auditTable, trigger);
    if (!queries) {
        return std::nullopt;
    }
    InstalledAudit audit;
    for (const AuditQuery& query : *queries) {
        if (const auto rows = handles_->RowsOf(query.sql)) {
            query.take(*rows, audit);
        }
    }
    return audit;
}

}  // namespace qelt
