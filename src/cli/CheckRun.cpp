// qeltaudit --check: the installed triggers against today's columns, one line a finding.
#include "cli/CheckRun.h"

#include <algorithm>
#include <optional>

#include "auditscript/GenerationRun.h"
#include "auditscript/SQLFuncs.h"
#include "auditscript/SqlQuoting.h"
#include "auditscript/TriggerCheck.h"
#include "cli/ConsoleWindow.h"
#include "cli/QeltAudit.h"
#include "text/Ascii.h"

namespace qelt::cli {

namespace {

// The findings of one table, each a line; none when its trigger is current.
using Findings = std::vector<std::string>;

// What today's columns give: the trigger's columns, or the run's message when it failed.
struct TodaysTrigger {
    std::optional<std::vector<TriggerColumn>> columns;
    std::optional<ConsoleWindow::Message> failure;
};

TodaysTrigger TriggerForToday(const CheckRequest& request, DatabaseSession& session,
                              const CheckRequest::Table& table) {
    ConsoleWindow window(table.name, request.databaseName);
    CreateAuditScript(window, session, ColumnOverrides{table.keyColumn, request.displayColumn},
                      nullptr, ScriptSections::ReplacedTrigger);
    if (window.ShownMessage()) {
        return {std::nullopt, window.ShownMessage()};
    }
    return {ReadAuditTrigger(window.Script().Text()), std::nullopt};
}

std::string OneLine(std::string text) {
    std::ranges::replace(text, '\r', ' ');
    std::ranges::replace(text, '\n', ' ');
    return text;
}

// The audit table and the trigger as the catalog shows them.
void CheckInstalledObjects(const std::string& table, const InstalledAudit& installed,
                           Findings& findings) {
    const std::string auditTable = AuditTableName(table);
    const std::string trigger = AuditTriggerName(table);
    if (!installed.auditTableColumns) {
        findings.push_back(table + ": the audit table " + auditTable +
                           " does not exist: every logged update fails (Msg 208, Invalid object "
                           "name)");
    } else {
        std::vector<std::string> missing;
        for (const std::string_view column : AuditTableColumnNames()) {
            if (std::ranges::none_of(*installed.auditTableColumns, [column](const auto& name) {
                    return text::EqualsIgnoringAsciiCase(name, column);
                })) {
                missing.emplace_back(column);
            }
        }
        if (!missing.empty()) {
            findings.push_back(table + ": the audit table " + auditTable + " lacks the columns " +
                               JoinedForMessage(missing) + ": every logged update fails");
        }
    }
    if (!installed.triggerExists) {
        findings.push_back(table + ": the audit trigger " + trigger +
                           " does not exist on the table: its updates are not audited");
        return;
    }
    if (!installed.insteadOfUpdate) {
        findings.push_back(table + ": " + trigger +
                           " is not an INSTEAD OF UPDATE trigger: it was not made by qeltaudit");
    }
    if (installed.disabled) {
        findings.push_back(table + ": the audit trigger " + trigger +
                           " is disabled: the table's updates are not audited");
    }
}

// The installed trigger's text against today's columns.
void CompareDefinition(const std::string& table, const std::optional<std::string>& definition,
                       const std::string& failure, const std::vector<TriggerColumn>& todaysColumns,
                       Findings& findings) {
    const std::string trigger = AuditTriggerName(table);
    if (!definition) {
        findings.push_back(table + ": the definition of " + trigger + " cannot be read (" +
                           OneLine(failure) + "): its columns cannot be compared");
        return;
    }
    const std::optional<std::vector<TriggerColumn>> installed = ReadAuditTrigger(*definition);
    if (!installed) {
        findings.push_back(table + ": " + trigger +
                           " was not made by qeltaudit: its columns cannot be compared");
        return;
    }
    for (const TriggerDifference& difference : CompareAuditTriggers(*installed, todaysColumns)) {
        findings.push_back(DifferenceText(table, difference));
    }
}

// Checks one table, adding its findings. Returns the exit code when the check cannot go on: the
// database did not open, or keeps no triggers to check.
std::optional<int> CheckTable(const CheckRequest& request, DatabaseSession& session,
                              const CheckRequest::Table& checked, Findings& findings,
                              std::ostream& err) {
    const std::string& table = checked.name;
    const TodaysTrigger today = TriggerForToday(request, session, checked);
    if (today.failure) {
        if (today.failure->style == MessageStyle::Information) {
            PrintRunMessage(*today.failure, err);  // the database did not open
            return kExitOpenFailed;
        }
        findings.push_back(table + ": the table's columns cannot be read (" +
                           OneLine(today.failure->text) + ")");
        return std::nullopt;
    }
    const std::vector<TriggerColumn> todaysColumns =
        today.columns.value_or(std::vector<TriggerColumn>{});
    if (request.savedScript) {
        CompareDefinition(table, request.savedScript, {}, todaysColumns, findings);
        return std::nullopt;
    }
    const std::optional<InstalledAudit> installed =
        session.DescribeInstalledAudit(table, AuditTableName(table), AuditTriggerName(table));
    if (!installed) {
        err << "qeltaudit: the database keeps no T-SQL triggers to check; compare the "
               "script that was run with --check --against FILE\n";
        return kExitUsage;
    }
    CheckInstalledObjects(table, *installed, findings);
    if (installed->triggerExists) {
        CompareDefinition(table, installed->definition, installed->definitionFailure, todaysColumns,
                          findings);
    }
    return std::nullopt;
}

void PrintFindings(const std::string& table, const Findings& findings, std::ostream& out) {
    if (findings.empty()) {
        out << table << ": the audit trigger is current\n";
    }
    for (const std::string& finding : findings) {
        out << finding << '\n';
    }
}

// The last line, which sums up; the exit code that goes with it.
int PrintSummary(std::size_t checked, std::size_t current, std::ostream& out) {
    const std::size_t stale = checked - current;
    out << checked << (checked == 1 ? " table" : " tables") << " checked: " << current
        << " current, " << stale << " to mend";
    if (stale != 0) {
        out << "; qeltaudit --refresh --table NAME writes the script that replaces a trigger "
               "and keeps its log";
    }
    out << '\n';
    return stale == 0 ? kExitOk : kExitCheckFindings;
}

}  // namespace

int RunCheck(const CheckRequest& request, DatabaseSession& session, std::ostream& out,
             std::ostream& err) {
    std::size_t current = 0;
    for (const CheckRequest::Table& table : request.tables) {
        Findings findings;
        if (const std::optional<int> ended = CheckTable(request, session, table, findings, err)) {
            return *ended;
        }
        PrintFindings(table.name, findings, out);
        current += findings.empty() ? 1 : 0;
    }
    return PrintSummary(request.tables.size(), current, out);
}

}  // namespace qelt::cli
