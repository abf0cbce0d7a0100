// Unicode letters and digits of T-SQL identifiers, and case-insensitive name hashing.
#pragma once

#include <cstddef>
#include <string_view>

// The Unicode character properties that decide how a name stands in the script: which code
// points T-SQL counts as letters and digits in a regular identifier, and when two column names
// are the same name ignoring case. The tables are generated from the Unicode data files by
// scripts/make-identifier-table.py.
namespace qelt::unicode {

// A letter as T-SQL's regular identifiers count one: general category L* (Lu, Ll, Lt, Lm, Lo),
// assigned by Unicode 3.2, below U+10000. T-SQL takes the letters of Unicode 3.2 and reads a name
// as UTF-16 code units, so later letters and any character beyond the BMP need brackets.
bool IsTSqlLetter(char32_t codePoint);

// A decimal digit as T-SQL's regular identifiers count one: general category Nd, assigned by
// Unicode 3.2, below U+10000.
bool IsTSqlDecimalDigit(char32_t codePoint);

// The code point's simple case folding (one code point to one), or the code point itself.
char32_t SimpleCaseFold(char32_t codePoint);

// Whether two UTF-8 texts are the same after simple case folding of each code point, and a hash
// that agrees with it; invalid UTF-8 counts as U+FFFD by the text layer's replacement rule.
bool EqualIgnoringCase(std::string_view a, std::string_view b);
std::size_t HashIgnoringCase(std::string_view utf8);

}  // namespace qelt::unicode
