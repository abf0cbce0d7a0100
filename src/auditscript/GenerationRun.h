// The generation run that both programs start, and what it tells them when it ends.
#pragma once

#include <optional>
#include <string>

#include "auditscript/ScriptWarnings.h"
#include "auditscript/ScriptWindow.h"
#include "dbsession/DBFuncs.h"
#include "dbsession/Error.h"

namespace qelt {

// Replacements for the built-in key and display column lookups, for tables outside the list.
struct ColumnOverrides {
    std::optional<std::string> keyColumn;
    std::optional<std::string> displayColumn;
};

// The probe query whose empty result describes the item table's columns.
std::string ProbeQuery(const std::string& itemTable);

// What a run ended with: the script written, the database not opened, or an error of the run
// with its number.
struct RunOutcome {
    enum class Kind { Written, OpenFailed, Failed };
    Kind kind = Kind::Written;
    std::int32_t errorNumber = 0;
};

// The sections a run writes: the whole script, or the one that replaces the trigger of a table
// whose audit table is in place (dropping the trigger where it exists, keeping the log).
enum class ScriptSections { AuditTableAndTrigger, ReplacedTrigger };

// The Create command: opens the database named in the window, reads the item table's columns
// from the probe query and writes the audit script into the window's script buffer.
// Never throws: an unopened database and every error end in one message to the window, and the
// pointer is reset on every path. The table's catalog facts (its primary key, its computed
// columns) are asked for once the probe has described its columns. `warnings`, where given,
// takes what the written script cannot mend, once the whole script is written.
RunOutcome CreateAuditScript(ScriptWindow& window, DatabaseSession& session,
                             const ColumnOverrides& overrides = {},
                             const WarningSink& warnings = nullptr,
                             ScriptSections sections = ScriptSections::AuditTableAndTrigger);

}  // namespace qelt
