#include "dbsession/OdbcSession.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

namespace qelt {

namespace {

// Seconds a connection attempt or a query may take before the driver gives up, so that a dead
// server cannot hang the run.
constexpr SQLULEN kLoginTimeoutSeconds = 15;
constexpr SQLULEN kConnectionTimeoutSeconds = 30;
constexpr SQLULEN kQueryTimeoutSeconds = 60;

// ---- Text: UTF-8 inside, UTF-16 (SQLWCHAR) at the ODBC boundary ------------------------------
// The wide calls make Unicode drivers work in Unicode (and report the W types); for ANSI-only
// drivers the driver manager converts, on Windows always and with unixODBC through LC_CTYPE.

using OdbcChar = SQLWCHAR;

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes one UTF-8 sequence at `pos`, advancing it; malformed input gives U+FFFD.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    int length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 1;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 2;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 3;
        code = lead & 0x07u;
    } else {
        return kReplacementCharacter;
    }
    for (int i = 0; i < length; ++i) {
        if (pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0u) != 0x80u) {
            return kReplacementCharacter;
        }
        code = (code << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3Fu);
    }
    const bool overlong = (length == 2 && code < 0x800) || (length == 3 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return kReplacementCharacter;
    }
    return code;
}

std::vector<OdbcChar> ToOdbcText(std::string_view text) {
    std::vector<OdbcChar> wide;
    wide.reserve(text.size() + 1);
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t code = DecodeUtf8(text, pos);
        if (code >= 0x10000) {
            wide.push_back(static_cast<SQLWCHAR>(0xD800 + ((code - 0x10000) >> 10)));
            wide.push_back(static_cast<SQLWCHAR>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            wide.push_back(static_cast<SQLWCHAR>(code));
        }
    }
    wide.push_back(0);
    return wide;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// `length` UTF-16 units; an unpaired surrogate becomes U+FFFD.
std::string FromOdbcText(const OdbcChar* wide, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        char32_t code = static_cast<char16_t>(wide[i]);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length &&
            static_cast<char16_t>(wide[i + 1]) >= 0xDC00 &&
            static_cast<char16_t>(wide[i + 1]) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<char16_t>(wide[++i]) - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = kReplacementCharacter;
        }
        AppendUtf8(out, code);
    }
    return out;
}

// unixODBC converts the wide calls of ANSI-only drivers (the SQLite and MDBTools drivers) with
// iconv from the LC_CTYPE codeset. A program that never chose a locale runs in "C", whose ASCII
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

// The text a call wrote into `buffer`, `length` units long at most. unixODBC reports the byte
// length of an ANSI-only driver's UTF-8 text, longer than its UTF-16 form: the text ends at the
// first NUL.
std::string FromOdbcBuffer(const std::vector<OdbcChar>& buffer, SQLSMALLINT length) {
    const std::size_t limit =
        std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), buffer.size() - 1);
    const auto end =
        std::find(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(limit), OdbcChar{0});
    return FromOdbcText(buffer.data(), static_cast<std::size_t>(end - buffer.begin()));
}

std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8(const std::u8string& text) {
    return std::string(text.begin(), text.end());
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return Utf8(path.u8string());
}

// ---- Handles and diagnostics ----------------------------------------------------------------

// One ODBC handle, freed with its owner.
class OdbcHandle {
  public:
    OdbcHandle() = default;
    OdbcHandle(SQLSMALLINT type, SQLHANDLE handle) : type_(type), handle_(handle) {}
    OdbcHandle(OdbcHandle&& other) noexcept
        : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}
    OdbcHandle& operator=(OdbcHandle&& other) noexcept {
        std::swap(type_, other.type_);
        std::swap(handle_, other.handle_);
        return *this;
    }
    ~OdbcHandle() {
        if (handle_ != SQL_NULL_HANDLE) {
            SQLFreeHandle(type_, handle_);
        }
    }

    SQLSMALLINT Type() const { return type_; }
    SQLHANDLE Get() const { return handle_; }

  private:
    SQLSMALLINT type_ = SQL_HANDLE_ENV;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

bool Succeeded(SQLRETURN result) {
    return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO;
}

struct Diagnostics {
    std::int32_t nativeError = 0;
    std::string sqlState;
    std::string text;  // every record as "[SQLSTATE] message", joined by "; "
};

Diagnostics ReadDiagnostics(const OdbcHandle& handle) {
    Diagnostics diagnostics;
    for (SQLSMALLINT record = 1;; ++record) {
        std::vector<OdbcChar> state(6);
        SQLINTEGER native = 0;
        std::vector<OdbcChar> message(1024);
        SQLSMALLINT messageLength = 0;
        const auto readRecord = [&] {
            return SQLGetDiagRecW(handle.Type(), handle.Get(), record, state.data(), &native,
                                  message.data(), static_cast<SQLSMALLINT>(message.size()),
                                  &messageLength);
        };
        SQLRETURN result = readRecord();
        if (Succeeded(result) && messageLength >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<std::size_t>(messageLength) + 1);  // cut off: ask again
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

std::string DiagnosticText(const OdbcHandle& handle, const char* operation) {
    std::string text = ReadDiagnostics(handle).text;
    return text.empty() ? std::string(operation) + " failed" : text;
}

// ---- Database text to connection string -----------------------------------------------------

std::string LowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

// Drivers for a kind of database file: names as installed in the driver list, then the
// library files that a connection string may name directly.
struct DriverCandidates {
    std::vector<std::string> installedNames;
    std::vector<std::string> libraries;
};

DriverCandidates CandidatesFor(DatabaseKind kind) {
    if (kind == DatabaseKind::AccessFile) {
#ifdef _WIN32
        return {{"Microsoft Access Driver (*.mdb, *.accdb)", "Microsoft Access Driver (*.mdb)"},
                {}};
#else
        return {{"MDBTools"},
                {"/usr/lib/x86_64-linux-gnu/odbc/libmdbodbc.so",
                 "/usr/lib/aarch64-linux-gnu/odbc/libmdbodbc.so", "/usr/lib64/libmdbodbc.so",
                 "/usr/local/lib/libmdbodbc.so"}};
#endif
    }
#ifdef _WIN32
    return {{"SQLite3 ODBC Driver", "SQLite3"}, {}};
#else
    return {{"SQLite3", "SQLite3 ODBC Driver"},
            {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
             "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib64/libsqlite3odbc.so",
             "/usr/local/lib/libsqlite3odbc.so"}};
#endif
}

std::set<std::string> InstalledDrivers(const OdbcHandle& environment) {
    std::set<std::string> names;
    std::vector<OdbcChar> description(512);
    std::vector<OdbcChar> attributes(2048);
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLSMALLINT descriptionLength = 0;
        SQLSMALLINT attributesLength = 0;
        const SQLRETURN result = SQLDriversW(
            environment.Get(), direction, description.data(),
            static_cast<SQLSMALLINT>(description.size()), &descriptionLength, attributes.data(),
            static_cast<SQLSMALLINT>(attributes.size()), &attributesLength);
        if (!Succeeded(result)) {
            break;
        }
        names.insert(FromOdbcBuffer(description, descriptionLength));
        direction = SQL_FETCH_NEXT;
    }
    return names;
}

// A connection string value in braces when it holds characters that would end it early.
std::string ConnectionValue(const std::string& value) {
    const bool plain = value.find_first_of(";{}=") == std::string::npos &&
                       (value.empty() || (value.front() != ' ' && value.back() != ' '));
    if (plain) {
        return value;
    }
    std::string braced = "{";
    for (const char c : value) {
        braced += c;
        if (c == '}') {
            braced += '}';
        }
    }
    return braced + "}";
}

// The DRIVER= value for a kind of file, or nothing when no driver for it is installed.
std::optional<std::string> FindDriver(const OdbcHandle& environment, DatabaseKind kind) {
    const DriverCandidates candidates = CandidatesFor(kind);
    const std::set<std::string> installed = InstalledDrivers(environment);
    for (const std::string& name : candidates.installedNames) {
        if (installed.contains(name)) {
            return "{" + name + "}";
        }
    }
    for (const std::string& library : candidates.libraries) {
        std::error_code error;
        if (std::filesystem::is_regular_file(library, error)) {
            return ConnectionValue(library);
        }
    }
    return std::nullopt;
}

// A read-only SQLite URI for a file: the driver's plain file name cannot be made read-only,
// and percent-encoding keeps any character of the path out of the connection string's syntax.
std::string SQLiteReadOnlyUri(const std::filesystem::path& file) {
    std::string path = Utf8(file.generic_u8string());
    if (path.size() >= 2 && path[1] == ':') {
        path.insert(path.begin(), '/');  // "C:/x" becomes "file:///C:/x"
    }
    std::string uri = "file://";
    constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~' || c == '/' || c == ':';
        if (unreserved) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    return uri + "?mode=ro";
}

}  // namespace

DatabaseKind KindOfDatabaseText(std::string_view text) {
    if (text.find('=') != std::string_view::npos) {
        return DatabaseKind::ConnectionString;
    }
    const std::string extension =
        LowerAscii(Utf8FromPath(PathFromUtf8(std::string(text)).extension()));
    if (extension == ".mdb" || extension == ".accdb") {
        return DatabaseKind::AccessFile;
    }
    if (extension == ".db" || extension == ".sqlite" || extension == ".sqlite3" ||
        extension == ".db3") {
        return DatabaseKind::SQLiteFile;
    }
    return DatabaseKind::UnknownFile;
}

std::int32_t AdoTypeOfSqlType(int sqlType, bool isUnsigned) {
    switch (sqlType) {
        case SQL_WVARCHAR:
            return ado::adVarWChar;
        case SQL_WLONGVARCHAR:
            return ado::adLongVarWChar;
        case SQL_VARCHAR:
            return ado::adVarChar;
        case SQL_LONGVARCHAR:
            return ado::adLongVarChar;
        case SQL_CHAR:
            return ado::adChar;
        case SQL_WCHAR:
            return ado::adWChar;
        case SQL_INTEGER:
            return ado::adInteger;
        case SQL_SMALLINT:
            return ado::adSmallInt;
        case SQL_TINYINT:
            return isUnsigned ? ado::adUnsignedTinyInt : ado::adTinyInt;
        case SQL_BIGINT:
            return ado::adBigInt;
        case SQL_BIT:
            return ado::adBoolean;
        case SQL_REAL:
            return ado::adSingle;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return ado::adDouble;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            return ado::adNumeric;
        case SQL_TYPE_DATE:
            return ado::adDBDate;
        case SQL_TYPE_TIME:
            return ado::adDBTime;
        case SQL_TYPE_TIMESTAMP:
            return ado::adDBTimeStamp;
        case SQL_GUID:
            return ado::adGUID;
        case SQL_BINARY:
            return ado::adBinary;
        case SQL_VARBINARY:
            return ado::adVarBinary;
        case SQL_LONGVARBINARY:
            return ado::adLongVarBinary;
        default:
            return ado::adVariant;
    }
}

namespace {

class OdbcRecordset final : public Recordset {
  public:
    explicit OdbcRecordset(std::vector<Field> fields) : fields_(std::move(fields)) {}
    const Fields& GetFields() const override { return fields_; }

  private:
    FieldVector fields_;
};

Field DescribeColumn(const OdbcHandle& statement, SQLUSMALLINT column) {
    std::vector<OdbcChar> name(256);
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    const auto describe = [&] {
        const SQLRETURN result = SQLDescribeColW(statement.Get(), column, name.data(),
                                                 static_cast<SQLSMALLINT>(name.size()), &nameLength,
                                                 &sqlType, &size, &digits, &nullable);
        if (!Succeeded(result)) {
            ThrowOdbcError(statement, result, "SQLDescribeCol");
        }
    };
    describe();
    if (nameLength >= static_cast<SQLSMALLINT>(name.size())) {  // cut off: ask again
        name.resize(static_cast<std::size_t>(nameLength) + 1);
        describe();
    }
    bool isUnsigned = false;
    if (sqlType == SQL_TINYINT) {
        SQLLEN unsignedAttribute = SQL_FALSE;
        const SQLRETURN result = SQLColAttribute(statement.Get(), column, SQL_DESC_UNSIGNED,
                                                 nullptr, 0, nullptr, &unsignedAttribute);
        if (!Succeeded(result)) {
            ThrowOdbcError(statement, result, "SQLColAttribute");
        }
        isUnsigned = unsignedAttribute == SQL_TRUE;
    }
    return Field{FromOdbcBuffer(name, nameLength), AdoTypeOfSqlType(sqlType, isUnsigned)};
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

}  // namespace

struct OdbcSession::Handles {
    OdbcHandle environment;
    OdbcHandle connection;  // allocated while connected; empty otherwise
    bool connected = false;
    bool uppercaseIdentifiers = false;
    bool rollsBack = false;  // every query's transaction is rolled back

    void Disconnect() {
        if (connected) {
            SQLDisconnect(connection.Get());
            connected = false;
        }
        connection = OdbcHandle();
        uppercaseIdentifiers = false;
        rollsBack = false;
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
    openFailure_.clear();
    if (handles_) {
        handles_->Disconnect();
    } else {
        UseUtf8CharacterTypeIfUnset();
        SQLHANDLE environment = SQL_NULL_HANDLE;
        if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment))) {
            openFailure_ = "the ODBC driver manager could not be initialised";
            return false;
        }
        auto handles = std::make_unique<Handles>();
        handles->environment = OdbcHandle(SQL_HANDLE_ENV, environment);
        if (!Succeeded(SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
            openFailure_ = DiagnosticText(handles->environment, "SQLSetEnvAttr");
            return false;
        }
        handles_ = std::move(handles);
    }

    std::string connectionString;
    const DatabaseKind kind = KindOfDatabaseText(databaseName_);
    if (kind == DatabaseKind::ConnectionString) {
        connectionString = databaseName_;
    } else {
        const std::filesystem::path file = PathFromUtf8(databaseName_);
        std::error_code error;
        if (kind == DatabaseKind::UnknownFile) {
            openFailure_ = "'" + databaseName_ +
                           "' is neither a connection string (KEY=value;...) nor a database file "
                           "with a known extension (.mdb, .accdb, .db, .sqlite, .sqlite3, .db3)";
            return false;
        }
        if (!std::filesystem::is_regular_file(file, error)) {
            openFailure_ = "the database file '" + databaseName_ + "' does not exist";
            return false;
        }
        const std::optional<std::string> driver = FindDriver(handles_->environment, kind);
        if (!driver) {
            openFailure_ = std::string("no ODBC driver for ") +
                           (kind == DatabaseKind::AccessFile ? "Access" : "SQLite") +
                           " databases is installed; name one in a connection string";
            return false;
        }
        std::filesystem::path absolute = std::filesystem::absolute(file, error);
        if (kind == DatabaseKind::AccessFile) {
            connectionString = "DRIVER=" + *driver +
                               ";DBQ=" + ConnectionValue(Utf8FromPath(absolute.make_preferred())) +
                               ";ReadOnly=1;";
        } else {
            connectionString =
                "DRIVER=" + *driver + ";Database=" + SQLiteReadOnlyUri(absolute) + ";NoCreat=1;";
        }
    }

    SQLHANDLE connection = SQL_NULL_HANDLE;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, handles_->environment.Get(), &connection))) {
        openFailure_ = DiagnosticText(handles_->environment, "SQLAllocHandle");
        return false;
    }
    handles_->connection = OdbcHandle(SQL_HANDLE_DBC, connection);
    // Hints only: a driver that does not know an attribute still connects.
    SQLSetConnectAttr(connection, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
    SQLSetConnectAttr(connection, SQL_ATTR_CONNECTION_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(kConnectionTimeoutSeconds), 0);
    SQLSetConnectAttr(connection, SQL_ATTR_ACCESS_MODE,
                      reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);

    std::vector<OdbcChar> odbcConnectionString = ToOdbcText(connectionString);
    SQLSMALLINT completedLength = 0;
    const SQLRETURN result =
        SQLDriverConnectW(connection, nullptr, odbcConnectionString.data(),
                          static_cast<SQLSMALLINT>(odbcConnectionString.size() - 1), nullptr, 0,
                          &completedLength, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(result)) {
        openFailure_ = DiagnosticText(handles_->connection, "SQLDriverConnect");
        handles_->connection = OdbcHandle();
        return false;
    }
    handles_->connected = true;
    // Servers ignore the read-only hint: without autocommit, rolling back after each query
    // undoes whatever a query text could change.
    handles_->rollsBack = Succeeded(SQLSetConnectAttr(
        connection, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0));

    SQLUSMALLINT identifierCase = 0;
    if (Succeeded(SQLGetInfo(connection, SQL_IDENTIFIER_CASE, &identifierCase,
                             sizeof identifierCase, nullptr))) {
        handles_->uppercaseIdentifiers = identifierCase == SQL_IC_UPPER;
    }
    return true;
}

std::unique_ptr<Recordset> OdbcSession::OpenRecordset(const std::string& sql, std::int32_t,
                                                      std::int32_t, std::int32_t) {
    if (!handles_ || !handles_->connected) {
        throw OdbcError(static_cast<std::int32_t>(SQL_ERROR), "08003",
                        "[08003] The database is not open");
    }
    SQLHANDLE statementHandle = SQL_NULL_HANDLE;
    const SQLRETURN allocated =
        SQLAllocHandle(SQL_HANDLE_STMT, handles_->connection.Get(), &statementHandle);
    if (!Succeeded(allocated)) {
        ThrowOdbcError(handles_->connection, allocated, "SQLAllocHandle");
    }
    // Declared before the statement, so the statement is freed before the rollback.
    const RollbackOnExit rollback{handles_->rollsBack ? handles_->connection.Get() : nullptr};
    const OdbcHandle statement(SQL_HANDLE_STMT, statementHandle);
    SQLSetStmtAttr(statementHandle, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(kQueryTimeoutSeconds), 0);

    std::vector<OdbcChar> odbcSql = ToOdbcText(sql);
    const SQLRETURN executed = SQLExecDirectW(statementHandle, odbcSql.data(),
                                              static_cast<SQLINTEGER>(odbcSql.size() - 1));
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

}  // namespace qelt
