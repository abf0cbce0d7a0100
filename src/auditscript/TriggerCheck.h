// Reading an installed audit trigger back and comparing it with today's columns.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qelt {

// What an audit trigger does for one column, read from its text: the lines that name it.
struct TriggerColumn {
    std::string name;      // as the trigger's literals spell it
    bool set = false;      // in the UPDATE's SET list
    bool flagged = false;  // has an IF UPDATE line: its updates are logged
    std::string oldValue;  // the WHEN lines' value expressions, with the row source left out
    std::string newValue;
};

// The columns an audit trigger names, in the order of its CASE blocks; nothing when the text is
// not an audit trigger this tool writes (another trigger, a script of something else).
std::optional<std::vector<TriggerColumn>> ReadAuditTrigger(std::string_view text);

// The item table an audit trigger's text is made for (its CREATE TRIGGER … ON line); nothing when
// the text holds no audit trigger's first line.
std::optional<std::string> AuditTriggerTable(std::string_view text);

// How an installed trigger differs from the one today's columns give.
struct TriggerDifference {
    enum class Kind {
        Added,    // a column the trigger does not know: its updates are discarded
        Dropped,  // a column the trigger names that the table no longer has: every update fails
        Changed,  // the script for the column differs (type, identity, computed)
    };
    Kind kind;
    std::string column;
    std::string detail;  // for a change: what differs
};

// The differences, column by column, between an installed trigger and today's; names compare
// without regard to ASCII case, as the server resolves them.
std::vector<TriggerDifference> CompareAuditTriggers(const std::vector<TriggerColumn>& installed,
                                                    const std::vector<TriggerColumn>& today);

// The line of a check's finding about a difference.
std::string DifferenceText(std::string_view itemTable, const TriggerDifference& difference);

}  // namespace qelt
