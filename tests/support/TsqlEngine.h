#pragma once

// The T-SQL engine of the tests, reached through FreeTDS as an application reaches SQL Server:
// scripts run batch by batch on one connection, the way the query tools run them, and tables are
// read back to see what an update and its trigger did.
//
// The engine is Babelfish. Where it differs from SQL Server, the difference is kept here, and
// nowhere else, so that no test bends a script to it:
// - it folds identifiers to lower case: COL_NAME, OBJECT_NAME and sys.columns give `companyname`
//   where SQL Server gives the declared `CompanyName` (EngineName);
// - `ALTER TABLE … ADD` with several constraints in one statement is a syntax error there: each
//   constraint is sent as a statement of its own (ForEngine);
// - error numbers of syntax errors and unknown columns are one generic number: tests assert on a
//   failure, not on its number;
// - `IF UPDATE(<computed column>)` and '…' literals outside the code page are accepted: what SQL
//   Server refuses or converts there is checked by the script tests and the T-SQL checker;
// - CONVERT(NVARCHAR(MAX), <binary>, 1) gives the bytes as characters, where SQL Server gives
//   0x… digits (EngineBinaryAsText);
// - geography, geometry and hierarchyid columns do not exist there;
// - dropping a column drops the triggers that name it, where SQL Server keeps them and fails every
//   update (Msg 207).

#include <sql.h>
#include <sqlext.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "text/Utf.h"

namespace qelt::test {

// Sets the FreeTDS and unixODBC variables that the engine's env.sh exports and gives its
// connection string; nothing when the engine was not set up (QELT_TSQL_ENV names no file).
inline std::optional<std::string> TsqlEngineConnectionString() {
    static const std::optional<std::string> connection = []() -> std::optional<std::string> {
        const char* file = std::getenv("QELT_TSQL_ENV");
        std::ifstream env(file != nullptr ? file : "");
        if (!env) {
            return std::nullopt;
        }
        // Lines of `export NAME=value NAME='value' …`.
        const std::regex assignment(R"(([A-Z_]+)=('([^']*)'|(\S*)))");
        std::string line;
        while (std::getline(env, line)) {
            for (std::sregex_iterator it(line.begin(), line.end(), assignment), end; it != end;
                 ++it) {
                const std::string value = (*it)[3].matched ? (*it)[3].str() : (*it)[4].str();
                setenv((*it)[1].str().c_str(), value.c_str(), 1);
            }
        }
        const char* connectionString = std::getenv("QELT_TSQL_CONNECTION");
        return connectionString != nullptr ? std::optional<std::string>(connectionString)
                                           : std::nullopt;
    }();
    return connection;
}

// A name as the engine's catalog and COL_NAME give it back.
inline std::string EngineName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

// What the engine logs for binary bytes converted with style 1: the bytes as characters.
inline std::string EngineBinaryAsText(std::string_view bytes) {
    return std::string(bytes);
}

// One batch as the engine takes it: an ALTER TABLE that adds several constraints becomes one
// ALTER TABLE per constraint.
inline std::vector<std::string> ForEngine(const std::string& batch) {
    static const std::regex alterAdd(R"(ALTER TABLE (\S+) WITH NOCHECK ADD[ \t]*\r?\n)");
    std::smatch match;
    if (!std::regex_search(batch, match, alterAdd)) {
        return {batch};
    }
    const std::string head = "ALTER TABLE " + match[1].str() + " WITH NOCHECK ADD ";
    std::vector<std::string> statements;
    std::string constraint;
    std::istringstream lines(match.suffix().str());
    std::string line;
    const auto flush = [&] {
        if (!constraint.empty()) {
            statements.push_back(head + constraint);
            constraint.clear();
        }
    };
    while (std::getline(lines, line)) {
        if (line.find("CONSTRAINT [") != std::string::npos) {
            flush();
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        // A constraint's line ends with the comma that separates it from the next.
        if (!line.empty() && line.back() == ',' && line.find("CONSTRAINT [") != std::string::npos) {
            line.pop_back();
        }
        constraint += line + "\n";
    }
    flush();
    return statements;
}

// The batches of a script: the lines between lines that hold only GO.
inline std::vector<std::string> ScriptBatches(const std::string& script) {
    static const std::regex go(R"(^[ \t]*GO[ \t]*\r?$)", std::regex::icase);
    std::vector<std::string> batches;
    std::string batch;
    std::istringstream lines(script);
    std::string line;
    while (std::getline(lines, line)) {
        if (std::regex_match(line, go)) {
            if (batch.find_first_not_of(" \t\r\n") != std::string::npos) {
                batches.push_back(batch);
            }
            batch.clear();
        } else {
            batch += line + "\n";
        }
    }
    if (batch.find_first_not_of(" \t\r\n") != std::string::npos) {
        batches.push_back(batch);
    }
    return batches;
}

// What one batch gave: the rows of its first result set (NULL as nothing) and its error messages.
struct BatchResult {
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::vector<std::string> errors;

    bool Failed() const { return !errors.empty(); }
};

// One connection to the engine, with autocommit on as an application has it.
class TsqlConnection {
  public:
    explicit TsqlConnection(const std::string& connectionString) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment_);
        SQLSetEnvAttr(environment_, SQL_ATTR_ODBC_VERSION,
                      reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, environment_, &connection_);
        std::u16string text = text::Utf8ToUtf16(connectionString);
        const SQLRETURN result = SQLDriverConnectW(
            connection_, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()),
            static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
        connected_ = SQL_SUCCEEDED(result);
        if (!connected_) {
            error_ = Diagnostics(SQL_HANDLE_DBC, connection_);
        }
    }
    ~TsqlConnection() {
        if (connected_) {
            SQLDisconnect(connection_);
        }
        SQLFreeHandle(SQL_HANDLE_DBC, connection_);
        SQLFreeHandle(SQL_HANDLE_ENV, environment_);
    }
    TsqlConnection(const TsqlConnection&) = delete;
    TsqlConnection& operator=(const TsqlConnection&) = delete;

    bool Connected() const { return connected_; }
    const std::string& ConnectError() const { return error_; }

    // Runs one batch; the rows of its first result set come back as text.
    BatchResult Run(const std::string& batch) {
        BatchResult result;
        for (const std::string& statement : ForEngine(batch)) {
            RunStatement(statement, result);
        }
        return result;
    }

    // Runs a script batch by batch, as the query tools do: a failing batch does not stop the
    // rest. Gives every error, each with the batch's first line.
    std::vector<std::string> RunScript(const std::string& script) {
        std::vector<std::string> errors;
        for (const std::string& batch : ScriptBatches(script)) {
            for (const std::string& error : Run(batch).errors) {
                errors.push_back(batch.substr(0, batch.find('\n')) + ": " + error);
            }
        }
        return errors;
    }

  private:
    static std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
        std::string text;
        SQLWCHAR state[6];
        SQLINTEGER native = 0;
        SQLWCHAR message[2048];
        SQLSMALLINT length = 0;
        for (SQLSMALLINT record = 1;
             SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, record, state, &native, message,
                                          static_cast<SQLSMALLINT>(std::size(message)), &length));
             ++record) {
            text += (text.empty() ? "" : " | ") + std::to_string(native) + " " +
                    text::Utf16ToUtf8(std::u16string(reinterpret_cast<char16_t*>(message),
                                                     std::min<std::size_t>(length, 2047)));
        }
        return text;
    }

    void RunStatement(const std::string& sql, BatchResult& result) {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement);
        std::u16string text = text::Utf8ToUtf16(sql);
        SQLRETURN rc = SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(text.data()),
                                      static_cast<SQLINTEGER>(text.size()));
        bool takeRows = result.rows.empty();
        // Every result of the batch is read, so that errors raised after the first come back.
        while (rc != SQL_NO_DATA) {
            if (rc == SQL_ERROR) {
                result.errors.push_back(Diagnostics(SQL_HANDLE_STMT, statement));
            }
            SQLSMALLINT columns = 0;
            if (SQL_SUCCEEDED(rc) && SQL_SUCCEEDED(SQLNumResultCols(statement, &columns)) &&
                columns > 0) {
                SQLRETURN fetched = SQL_SUCCESS;
                while (SQL_SUCCEEDED(fetched = SQLFetch(statement))) {
                    if (takeRows) {
                        result.rows.push_back(Row(statement, columns));
                    }
                }
                if (fetched == SQL_ERROR) {
                    result.errors.push_back(Diagnostics(SQL_HANDLE_STMT, statement));
                }
                takeRows = false;
            }
            rc = SQLMoreResults(statement);
        }
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
    }

    static std::vector<std::optional<std::string>> Row(SQLHSTMT statement, SQLSMALLINT columns) {
        std::vector<std::optional<std::string>> row;
        for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(columns); ++column) {
            std::u16string value;
            SQLWCHAR piece[1024];
            SQLLEN bytes = 0;
            bool isNull = false;
            SQLRETURN rc = SQL_SUCCESS;
            while (SQL_SUCCEEDED(
                rc = SQLGetData(statement, column, SQL_C_WCHAR, piece, sizeof piece, &bytes))) {
                if (bytes == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                const std::size_t units =
                    bytes == SQL_NO_TOTAL || bytes >= static_cast<SQLLEN>(sizeof piece)
                        ? std::size(piece) - 1
                        : static_cast<std::size_t>(bytes) / sizeof(SQLWCHAR);
                value.append(reinterpret_cast<char16_t*>(piece), units);
                if (rc == SQL_SUCCESS) {
                    break;
                }
            }
            row.push_back(isNull ? std::nullopt
                                 : std::optional<std::string>(text::Utf16ToUtf8(value)));
        }
        return row;
    }

    SQLHENV environment_ = SQL_NULL_HENV;
    SQLHDBC connection_ = SQL_NULL_HDBC;
    bool connected_ = false;
    std::string error_;
};

}  // namespace qelt::test
