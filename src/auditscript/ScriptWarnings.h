// The warnings of a script: what it cannot mend, one line per column and problem.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "dbsession/DBFuncs.h"

namespace qelt {

// Takes each thing the script cannot mend that the administrator should know before running it
// (a column whose updates the trigger would make fail, or whose values it logs with less than they
// hold) as one line naming the column, the problem and the server error it leads to. The text is
// valid only during the call.
using WarningSink = std::function<void(std::string_view text)>;

// The audit table's widths that the trigger's INSERT writes into.
inline constexpr std::size_t kFieldNameCharacters = 40;
inline constexpr std::int32_t kItemIdCharacters = 10;
inline constexpr std::int32_t kDisplayNameCharacters = 80;

// The most characters a column's values take as text, or 0 when the column does not tell.
std::int32_t TextWidthOf(const Field& column);

// Hands the warnings for the trigger of the item table with these key and display columns to
// `take`: first those of the table (among them its audit trigger, AuditTriggerName, or another
// INSTEAD OF UPDATE trigger already on it), then those of the logged columns, in column order
// (names longer than the audit table's FieldName, values logged in part: binary, image,
// sql_variant, wide fixed-length text, floating point, date and time), then those of the key and
// display columns (missing or too wide, the key not being the primary key).
void AuditScriptWarnings(std::string_view itemTable, std::string_view keyColumn,
                         std::string_view displayColumn, const Fields& columns,
                         const TableFacts& table, const WarningSink& take);

}  // namespace qelt
