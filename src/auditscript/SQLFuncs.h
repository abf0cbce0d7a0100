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

// Appends the 22 lines that create the audit table and its constraints.
void WriteAuditTableScript(ScriptBuffer& script, std::string_view auditTable);

// Appends the INSTEAD OF UPDATE trigger that logs changed columns into the audit table, ending
// with "GO". The columns are read in order, block by block, as the lines are written, so a
// failing read leaves exactly the lines before it in the buffer.
void WriteAuditTriggerScript(ScriptBuffer& script, std::string_view itemTable,
                             std::string_view auditTable, std::string_view keyColumn,
                             std::string_view displayColumn, const Fields& columns);

}  // namespace qelt
