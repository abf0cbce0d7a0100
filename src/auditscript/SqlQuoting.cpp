#include "auditscript/SqlQuoting.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace qelt {

namespace {

using namespace std::string_view_literals;

// T-SQL's reserved keywords, sorted for binary search.
constexpr std::array kReservedKeywords = {
    "ADD"sv,
    "ALL"sv,
    "ALTER"sv,
    "AND"sv,
    "ANY"sv,
    "AS"sv,
    "ASC"sv,
    "AUTHORIZATION"sv,
    "BACKUP"sv,
    "BEGIN"sv,
    "BETWEEN"sv,
    "BREAK"sv,
    "BROWSE"sv,
    "BULK"sv,
    "BY"sv,
    "CASCADE"sv,
    "CASE"sv,
    "CHECK"sv,
    "CHECKPOINT"sv,
    "CLOSE"sv,
    "CLUSTERED"sv,
    "COALESCE"sv,
    "COLLATE"sv,
    "COLUMN"sv,
    "COMMIT"sv,
    "COMPUTE"sv,
    "CONSTRAINT"sv,
    "CONTAINS"sv,
    "CONTAINSTABLE"sv,
    "CONTINUE"sv,
    "CONVERT"sv,
    "CREATE"sv,
    "CROSS"sv,
    "CURRENT"sv,
    "CURRENT_DATE"sv,
    "CURRENT_TIME"sv,
    "CURRENT_TIMESTAMP"sv,
    "CURRENT_USER"sv,
    "CURSOR"sv,
    "DATABASE"sv,
    "DBCC"sv,
    "DEALLOCATE"sv,
    "DECLARE"sv,
    "DEFAULT"sv,
    "DELETE"sv,
    "DENY"sv,
    "DESC"sv,
    "DISK"sv,
    "DISTINCT"sv,
    "DISTRIBUTED"sv,
    "DOUBLE"sv,
    "DROP"sv,
    "DUMP"sv,
    "ELSE"sv,
    "END"sv,
    "ERRLVL"sv,
    "ESCAPE"sv,
    "EXCEPT"sv,
    "EXEC"sv,
    "EXECUTE"sv,
    "EXISTS"sv,
    "EXIT"sv,
    "EXTERNAL"sv,
    "FETCH"sv,
    "FILE"sv,
    "FILLFACTOR"sv,
    "FOR"sv,
    "FOREIGN"sv,
    "FREETEXT"sv,
    "FREETEXTTABLE"sv,
    "FROM"sv,
    "FULL"sv,
    "FUNCTION"sv,
    "GOTO"sv,
    "GRANT"sv,
    "GROUP"sv,
    "HAVING"sv,
    "HOLDLOCK"sv,
    "IDENTITY"sv,
    "IDENTITYCOL"sv,
    "IDENTITY_INSERT"sv,
    "IF"sv,
    "IN"sv,
    "INDEX"sv,
    "INNER"sv,
    "INSERT"sv,
    "INTERSECT"sv,
    "INTO"sv,
    "IS"sv,
    "JOIN"sv,
    "KEY"sv,
    "KILL"sv,
    "LEFT"sv,
    "LIKE"sv,
    "LINENO"sv,
    "LOAD"sv,
    "MERGE"sv,
    "NATIONAL"sv,
    "NOCHECK"sv,
    "NONCLUSTERED"sv,
    "NOT"sv,
    "NULL"sv,
    "NULLIF"sv,
    "OF"sv,
    "OFF"sv,
    "OFFSETS"sv,
    "ON"sv,
    "OPEN"sv,
    "OPENDATASOURCE"sv,
    "OPENQUERY"sv,
    "OPENROWSET"sv,
    "OPENXML"sv,
    "OPTION"sv,
    "OR"sv,
    "ORDER"sv,
    "OUTER"sv,
    "OVER"sv,
    "PERCENT"sv,
    "PIVOT"sv,
    "PLAN"sv,
    "PRECISION"sv,
    "PRIMARY"sv,
    "PRINT"sv,
    "PROC"sv,
    "PROCEDURE"sv,
    "PUBLIC"sv,
    "RAISERROR"sv,
    "READ"sv,
    "READTEXT"sv,
    "RECONFIGURE"sv,
    "REFERENCES"sv,
    "REPLICATION"sv,
    "RESTORE"sv,
    "RESTRICT"sv,
    "RETURN"sv,
    "REVERT"sv,
    "REVOKE"sv,
    "RIGHT"sv,
    "ROLLBACK"sv,
    "ROWCOUNT"sv,
    "ROWGUIDCOL"sv,
    "RULE"sv,
    "SAVE"sv,
    "SCHEMA"sv,
    "SECURITYAUDIT"sv,
    "SELECT"sv,
    "SEMANTICKEYPHRASETABLE"sv,
    "SEMANTICSIMILARITYDETAILSTABLE"sv,
    "SEMANTICSIMILARITYTABLE"sv,
    "SESSION_USER"sv,
    "SET"sv,
    "SETUSER"sv,
    "SHUTDOWN"sv,
    "SOME"sv,
    "STATISTICS"sv,
    "SYSTEM_USER"sv,
    "TABLE"sv,
    "TABLESAMPLE"sv,
    "TEXTSIZE"sv,
    "THEN"sv,
    "TO"sv,
    "TOP"sv,
    "TRAN"sv,
    "TRANSACTION"sv,
    "TRIGGER"sv,
    "TRUNCATE"sv,
    "TRY_CONVERT"sv,
    "TSEQUAL"sv,
    "UNION"sv,
    "UNIQUE"sv,
    "UNPIVOT"sv,
    "UPDATE"sv,
    "UPDATETEXT"sv,
    "USE"sv,
    "USER"sv,
    "VALUES"sv,
    "VARYING"sv,
    "VIEW"sv,
    "WAITFOR"sv,
    "WHEN"sv,
    "WHERE"sv,
    "WHILE"sv,
    "WITH"sv,
    "WRITETEXT"sv,
};

static_assert(std::ranges::is_sorted(kReservedKeywords));

constexpr std::size_t kLongestKeyword =
    std::ranges::max(kReservedKeywords, {}, &std::string_view::size).size();

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsNonAscii(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

bool IsReservedKeyword(std::string_view word) {
    if (word.empty() || word.size() > kLongestKeyword) {
        return false;
    }
    std::array<char, kLongestKeyword> upper{};
    std::ranges::transform(word, upper.begin(), [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return std::ranges::binary_search(kReservedKeywords,
                                      std::string_view(upper.data(), word.size()));
}

bool IsRegularIdentifier(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    const char first = name.front();
    if (!IsAsciiLetter(first) && first != '_' && !IsNonAscii(first)) {
        return false;
    }
    const bool allRegular = std::ranges::all_of(name.substr(1), [](char c) {
        return IsAsciiLetter(c) || IsAsciiDigit(c) || IsNonAscii(c) || c == '_' || c == '@' ||
               c == '$' || c == '#';
    });
    return allRegular && !IsReservedKeyword(name);
}

bool IsPlainIdentifier(std::string_view name) {
    if (name.empty() || IsAsciiDigit(name.front())) {
        return false;
    }
    const bool allPlain = std::ranges::all_of(
        name, [](char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_'; });
    return allPlain && !IsReservedKeyword(name);
}

std::string QuoteIdentifier(std::string_view name) {
    if (IsRegularIdentifier(name)) {
        return std::string(name);
    }
    std::string quoted;
    quoted.reserve(name.size() + 2);
    quoted.push_back('[');
    for (const char c : name) {
        quoted.push_back(c);
        if (c == ']') {
            quoted.push_back(']');
        }
    }
    quoted.push_back(']');
    return quoted;
}

std::string QuoteLiteral(std::string_view name) {
    std::string quoted;
    quoted.reserve(name.size());
    for (const char c : name) {
        quoted.push_back(c);
        if (c == '\'') {
            quoted.push_back('\'');
        }
    }
    return quoted;
}

}  // namespace qelt
