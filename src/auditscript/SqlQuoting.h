#pragma once

#include <string>
#include <string_view>

namespace qelt {

// True for a T-SQL reserved keyword, compared without regard to ASCII letter case.
bool IsReservedKeyword(std::string_view word);

// True when T-SQL accepts the name as an identifier without brackets: it starts with an ASCII
// letter, '_' or a non-ASCII character, goes on with those, digits, '@', '$' or '#', and is
// not a reserved keyword.
bool IsRegularIdentifier(std::string_view name);

// True for names the command line accepts for tables and key or display columns: ASCII letters,
// digits and '_', not starting with a digit, not a reserved keyword.
bool IsPlainIdentifier(std::string_view name);

// The name as it must stand where an identifier is expected: unchanged when it is regular,
// otherwise in brackets with each ']' doubled. A column named "Order" or "First Name" or one
// crafted to end a statement stays one identifier.
std::string QuoteIdentifier(std::string_view name);

// The name as it must stand inside '…': each quote doubled, so it cannot end the literal.
std::string QuoteLiteral(std::string_view name);

}  // namespace qelt
