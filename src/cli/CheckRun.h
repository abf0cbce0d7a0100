// qeltaudit --check: the installed triggers against today's columns, one line a finding.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "dbsession/DBFuncs.h"

namespace qelt::cli {

// What `qeltaudit --check` is asked: the database, the item tables, and where the installed
// trigger is read from when not from the database (a saved script).
struct CheckRequest {
    struct Table {
        std::string name;
        std::optional<std::string> keyColumn;  // where the built-in one does not serve
    };
    std::string databaseName;
    std::vector<Table> tables;
    std::optional<std::string> displayColumn;
    std::optional<std::string> savedScript;  // the text of the script that was run
};

// Checks each table's audit table and trigger against the table's columns today: one line per
// finding on `out`, and a last line that sums up. Returns 0 when every trigger is current,
// kExitCheckFindings when any is not, kExitOpenFailed when the database cannot be opened,
// kExitUsage when the database keeps no triggers and no saved script was given. Throws nothing but
// std::bad_alloc.
int RunCheck(const CheckRequest& request, DatabaseSession& session, std::ostream& out,
             std::ostream& err);

}  // namespace qelt::cli
