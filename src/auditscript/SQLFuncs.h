// SQLFuncs: the item tables, the audit table and the audit trigger, written as T-SQL.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "auditscript/ScriptBuffer.h"
#include "dbsession/DBFuncs.h"
#include "dbsession/Error.h"

namespace qelt {

// "AuditTrail" immediately followed by the item table name.
std::string AuditTableName(std::string_view itemTable);

// The key column of a known item table in the built-in letter case, else "".
std::string_view BuiltInKeyColumn(std::string_view itemTable);

// The item tables the window lists, in its list's order and their own spelling.
std::span<const std::string_view> ListedItemTables();

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

// The columns as the server's catalog describes them, found by name: where the catalog describes
// a column, its type and facts decide the script, not the driver's guesses. Without a catalog
// every column stands for itself.
class CatalogColumns {
  public:
    explicit CatalogColumns(const TableFacts& table);
    // The catalog's description of the named column (any ASCII letter case), or null.
    const Field* Find(std::string_view name) const;
    // The catalog's description of the column, or the column itself.
    const Field& Described(const Field& column) const;

  private:
    std::unordered_map<std::string, const Field*> byName_;  // by the name in ASCII lower case
};

// True when an UPDATE may name the column in its SET list: not an identity, computed, generated
// or rowversion column, which make every update fail. The column as described (CatalogColumns).
bool CanBeSet(const Field& described, const TableFacts& table);

// True for a column whose updates the trigger can see: UPDATE() of a computed column fails the
// CREATE TRIGGER, and a rowversion column is never named by an update.
bool CanBeNamedInUpdate(const Field& described, const TableFacts& table);

// How the trigger turns a column's values into the text of the audit log.
struct ValueForm {
    enum class Kind {
        AsItIs,       // text: logged as it is
        Cast,         // CAST(value AS type)
        Hexadecimal,  // image: as 0x… digits, the only conversion to text it has
    };
    Kind kind = Kind::AsItIs;
    std::string_view type;  // the CAST's type
};

// Values of this many characters fit the CAST that most values get, NVARCHAR(20).
inline constexpr std::int32_t kDefaultCastCharacters = 20;

// The form of a column's values, wide enough that the conversion cannot fail: NVARCHAR(36) for
// a uniqueidentifier, room for sign, point and leading zero for decimals that pass 20 characters,
// NVARCHAR(MAX) for text (otherwise the CASE would be text, and every Unicode value beside it
// would pass through the code page), xml, sql_variant, geography, geometry and hierarchyid;
// NVARCHAR(20) for the rest, also for date and time types a driver reports as text.
ValueForm ValueFormOf(const Field& described);

// The names of the audit table's columns, in table order.
std::vector<std::string_view> AuditTableColumnNames();

// The name of the audit trigger of an item table: "QLX_" and the audit table's name.
std::string AuditTriggerName(std::string_view itemTable);

// Appends the 22 lines that create the audit table and its constraints.
void WriteAuditTableScript(ScriptBuffer& script, std::string_view auditTable);

// Appends the INSTEAD OF UPDATE trigger that logs changed columns into the audit table, ending
// with "GO". The columns are read in order, block by block, as the lines are written, so a
// failing read leaves exactly the lines before it in the buffer. Columns that cannot be set stay
// out of the trigger's UPDATE; a table none of whose columns can be set is an error of the run
// (kErrNoColumnToSet): its trigger would discard every update. Unless the key is an identity
// column, the trigger refuses an update that changes the key.
void WriteAuditTriggerScript(ScriptBuffer& script, std::string_view itemTable,
                             std::string_view auditTable, std::string_view keyColumn,
                             std::string_view displayColumn, const Fields& columns,
                             const TableFacts& table = {});

// Appends the script that removes the trigger, if it exists, and with `dropAuditTable` the
// audit table and the log it holds too.
void WriteRemovalScript(ScriptBuffer& script, std::string_view itemTable, bool dropAuditTable);

}  // namespace qelt
