// T-SQL quoting: bracketed identifiers, literals, reserved keywords, message text.
#include "auditscript/SqlQuoting.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "auditscript/UnicodeCharacters.h"
#include "text/Ascii.h"
#include "text/Doubled.h"
#include "text/Hex.h"
#include "text/Utf.h"

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

constexpr bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void AppendHexEscape(std::string& out, unsigned char byte) {
    out.append("\\x");
    text::AppendHexByte(out, byte);
}

// The ASCII characters T-SQL allows after the first one of a regular identifier.
constexpr std::array<bool, 128> kAsciiIdentifierParts = [] {
    std::array<bool, 128> parts{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto c = static_cast<char>(i);
        parts[i] =
            IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || c == '@' || c == '$' || c == '#';
    }
    return parts;
}();

// The characters T-SQL allows after the first one of a regular identifier; nearly every name is
// ASCII, answered from the table.
bool IsIdentifierPart(char32_t c) {
    return c < 0x80 ? kAsciiIdentifierParts[c]
                    : unicode::IsTSqlLetter(c) || unicode::IsTSqlDecimalDigit(c);
}

}  // namespace

bool IsReservedKeyword(std::string_view word) {
    // Keywords are letters and '_' only: most names are answered without a search.
    if (word.empty() || word.size() > kLongestKeyword ||
        !std::ranges::all_of(word, [](char c) { return IsAsciiLetter(c) || c == '_'; })) {
        return false;
    }
    std::array<char, kLongestKeyword> upper{};
    std::ranges::transform(word, upper.begin(), [](char c) { return text::AsciiUpper(c); });
    return std::ranges::binary_search(kReservedKeywords,
                                      std::string_view(upper.data(), word.size()));
}

bool IsRegularIdentifier(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    // Nearly every name is ASCII letters, digits and '_': a table lookup a byte, no decoding.
    if (std::ranges::all_of(name, [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x80 && kAsciiIdentifierParts[byte];
        })) {
        // GO is no keyword, but a line that starts with it is a batch separator to the query
        // tools, and a SET list entry starts its line with the name.
        return (IsAsciiLetter(name.front()) || name.front() == '_') && !IsReservedKeyword(name) &&
               !text::EqualsIgnoringAsciiCase(name, "GO");
    }
    // Other ASCII needs no decoding either; a sequence that is not UTF-8 decodes to U+FFFD, which
    // is no letter, so such a name is bracketed.
    const auto next = [name](std::size_t& pos) -> char32_t {
        const auto byte = static_cast<unsigned char>(name[pos]);
        if (byte < 0x80) {
            ++pos;
            return byte;
        }
        return text::DecodeUtf8(name, pos);
    };
    std::size_t pos = 0;
    const char32_t first = next(pos);
    if (!unicode::IsTSqlLetter(first) && first != '_') {
        return false;
    }
    while (pos < name.size()) {
        if (!IsIdentifierPart(next(pos))) {
            return false;
        }
    }
    return !IsReservedKeyword(name);
}

bool IsPlainIdentifier(std::string_view name) {
    if (name.empty() || IsAsciiDigit(name.front())) {
        return false;
    }
    const bool allPlain = std::ranges::all_of(
        name, [](char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_'; });
    return allPlain && !IsReservedKeyword(name);
}

bool HasControlCharacter(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            continue;  // printable ASCII, nearly every byte of a name: one test
        }
        // U+0080 to U+009F are C2 80 to C2 9F in UTF-8.
        if (byte < 0x20 || byte == 0x7F ||
            (byte == 0xC2 && i + 1 < text.size() &&
             static_cast<unsigned char>(text[i + 1]) <= 0x9F &&
             static_cast<unsigned char>(text[i + 1]) >= 0x80)) {
            return true;
        }
    }
    return false;
}

std::string EscapedForMessage(std::string_view text) {
    // Printable ASCII, as nearly every name is, needs no decoding.
    if (std::ranges::all_of(text, [](char c) { return c >= 0x20 && c < 0x7F; })) {
        return std::string(text);
    }
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const char32_t c = text::DecodeUtf8(text, pos);
        const std::string_view bytes = text.substr(start, pos - start);
        const bool replaced = c == text::kReplacementCharacter && bytes != "\xEF\xBF\xBD";
        if (IsControlCharacter(c) || replaced) {
            for (const char byte : bytes) {
                AppendHexEscape(escaped, static_cast<unsigned char>(byte));
            }
        } else {
            escaped.append(bytes);
        }
    }
    return escaped;
}

std::string QuotedForMessage(std::string_view text) {
    std::string quoted = "'";
    quoted += EscapedForMessage(text);
    quoted += '\'';
    return quoted;
}

std::string JoinedForMessage(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        joined += joined.empty() ? "" : ", ";
        joined += EscapedForMessage(name);
    }
    return joined;
}

std::string QuoteIdentifier(std::string_view name) {
    if (IsRegularIdentifier(name)) {
        return std::string(name);
    }
    return text::Enclosed("[", name, ']', "]");
}

std::string QuoteLiteral(std::string_view name) {
    return text::Enclosed("", name, '\'', "");
}

}  // namespace qelt
