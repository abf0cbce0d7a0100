#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dbsession/DBFuncs.h"

namespace qelt {

// Something the script cannot mend that the administrator should know before running it: a column
// whose updates the trigger would make fail, or whose values it logs with less than they hold.
struct ScriptWarning {
    std::string column;  // the column it concerns
    std::string text;    // one line: the column, the problem and the server error it leads to
};

// The audit table's widths that the trigger's INSERT writes into.
inline constexpr std::size_t kFieldNameCharacters = 40;
inline constexpr std::int32_t kItemIdCharacters = 10;
inline constexpr std::int32_t kDisplayNameCharacters = 80;

// The most characters a column's values take as text, or 0 when the column does not tell.
std::int32_t TextWidthOf(const Field& column);

// The warnings for the trigger of a table with these key and display columns, in column order:
// key or display column missing or too wide, the key not being the primary key, names longer than
// the audit table's FieldName, and values logged in part (binary, image, sql_variant, wide
// fixed-length text, floating point, date and time).
std::vector<ScriptWarning> AuditScriptWarnings(std::string_view keyColumn,
                                               std::string_view displayColumn,
                                               const Fields& columns, const TableFacts& table);

}  // namespace qelt
