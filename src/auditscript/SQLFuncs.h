#pragma once

#include <string>
#include <string_view>

#include "auditscript/ScriptBuffer.h"
#include "dbsession/DBFuncs.h"

namespace qelt {

// "AuditTrail" immediately followed by the item table name.
std::string AuditTableName(std::string_view itemTable);

// The key column of a known item table in the built-in letter case, else "".
std::string_view BuiltInKeyColumn(std::string_view itemTable);

// The window's own spelling of the item tables it lists (Companies, Contacts, Consultants,
// Requirements) for a name that differs from it only in ASCII letter case; any other name as it is.
std::string_view ListedItemTableSpelling(std::string_view itemTable);

// The key column of a known item table (trimmed of spaces, any letter case), else "".
// Reads the session's UppercaseIdentifiers on every call and upper-cases the result when it is
// set; a failure of that read passes to the caller.
std::string GetKeyColumn(DatabaseSession& session, std::string_view itemTable);

// The display column: exact, case-sensitive match on the name; never empty.
std::string GetDisplayColumn(std::string_view itemTable);

// True for the ADO codes whose values the trigger logs without a CAST.
bool IsTextType(std::int32_t adoType);

// True for a column the trigger logs: every column but the editor columns (uuEditedBy,
// EditedBy), EditDate and the key column, compared exactly.
bool IsLoggedColumn(std::string_view name, std::string_view keyColumn);

// True when the server's type name is `name`, ignoring ASCII case.
bool HasTypeName(const Field& column, std::string_view name);

// True for a rowversion column (SQL Server's binary "timestamp"), which the server sets itself.
bool IsRowVersion(const Field& column);

// True when an UPDATE may name the column in its SET list: not an identity, computed, generated
// or rowversion column, which make every update fail.
bool CanBeSet(const Field& column, const TableFacts& table);

// The type the trigger converts a column's values to, or "" when it logs them as they are (text
// types). Wide enough that the conversion cannot fail: NVARCHAR(36) for a uniqueidentifier,
// precision + 2 for a decimal wider than 18 digits, NVARCHAR(MAX) for xml (as it is, it would
// make the CASE an xml value), NVARCHAR(4000) for sql_variant; NVARCHAR(20) for the rest.
std::string_view CastTypeOf(const Field& column);

// Appends the 22 lines that create the audit table and its constraints.
void WriteAuditTableScript(ScriptBuffer& script, std::string_view auditTable);

// Appends the INSTEAD OF UPDATE trigger that logs changed columns into the audit table, ending
// with "GO". The columns are read in order, block by block, as the lines are written, so a
// failing read leaves exactly the lines before it in the buffer. Columns that cannot be set stay
// out of the trigger's UPDATE; when none can be, it assigns a variable only.
void WriteAuditTriggerScript(ScriptBuffer& script, std::string_view itemTable,
                             std::string_view auditTable, std::string_view keyColumn,
                             std::string_view displayColumn, const Fields& columns,
                             const TableFacts& table = {});

// Appends the script that removes the trigger, if it exists, and with `dropAuditTable` the
// audit table and the log it holds too.
void WriteRemovalScript(ScriptBuffer& script, std::string_view itemTable, bool dropAuditTable);

}  // namespace qelt
