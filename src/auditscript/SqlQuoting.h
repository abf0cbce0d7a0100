// T-SQL quoting: bracketed identifiers, literals, reserved keywords, message text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qelt {

// True for a T-SQL reserved keyword, compared without regard to ASCII letter case.
bool IsReservedKeyword(std::string_view word);

// True when T-SQL accepts the name as an identifier without brackets: well-formed UTF-8 that
// starts with a letter or '_', goes on with letters, decimal digits, '_', '@', '$' or '#', and is
// not a reserved keyword. Letters and digits are those of Unicode 3.2 below U+10000, as T-SQL
// counts them (unicode::IsTSqlLetter). Spaces of every kind, symbols, marks, format characters,
// emoji and later letters need brackets; so does a name starting with '@' or '#', which T-SQL
// would read as a variable or a temporary object.
bool IsRegularIdentifier(std::string_view name);

// True for names the command line accepts for tables and key or display columns: ASCII letters,
// digits and '_', not starting with a digit, not a reserved keyword.
bool IsPlainIdentifier(std::string_view name);

// The name as it must stand where an identifier is expected: unchanged when it is regular,
// otherwise in brackets with each ']' doubled. A column named "Order" or "First Name" or one
// crafted to end a statement stays one identifier.
std::string QuoteIdentifier(std::string_view name);

// True when the text holds a control character (U+0000 to U+001F, U+007F to U+009F): a bare CR
// or LF in a name would split the script's lines and batches.
bool HasControlCharacter(std::string_view text);

// The text as a message shows it: control characters and bytes that are not UTF-8 written as
// \xNN, so that a message never carries raw control characters nor breaks off at a NUL.
std::string EscapedForMessage(std::string_view text);

// The text escaped for a message and set in single quotes: 'name'.
std::string QuotedForMessage(std::string_view text);

// The names escaped for a message and joined by ", ": a, b.
std::string JoinedForMessage(const std::vector<std::string>& names);

// The name as it must stand inside '…': each quote doubled, so it cannot end the literal.
std::string QuoteLiteral(std::string_view name);

}  // namespace qelt
