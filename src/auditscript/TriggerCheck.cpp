#include "auditscript/TriggerCheck.h"

#include <algorithm>
#include <unordered_map>

#include "auditscript/SqlQuoting.h"
#include "text/Ascii.h"

namespace qelt {

namespace {

using namespace std::string_view_literals;

std::string_view TrimmedLine(std::string_view line) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           text::EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// A literal at the start of the text ('…' or N'…'), its quotes undone; the rest after it.
std::optional<std::string> ReadLiteral(std::string_view& text) {
    if (text.starts_with("N'")) {
        text.remove_prefix(1);
    }
    if (!text.starts_with('\'')) {
        return std::nullopt;
    }
    std::string value;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] != '\'') {
            value.push_back(text[i]);
        } else if (i + 1 < text.size() && text[i + 1] == '\'') {
            value.push_back('\'');
            ++i;
        } else {
            text.remove_prefix(i + 1);
            return value;
        }
    }
    return std::nullopt;
}

// An identifier at the start of the text, bare or in brackets, as its name; the rest after it.
std::string ReadIdentifier(std::string_view& text) {
    std::string name;
    if (text.starts_with('[')) {
        std::size_t i = 1;
        for (; i < text.size(); ++i) {
            if (text[i] == ']') {
                if (i + 1 < text.size() && text[i + 1] == ']') {
                    name.push_back(']');
                    ++i;
                    continue;
                }
                break;
            }
            name.push_back(text[i]);
        }
        text.remove_prefix(std::min(i + 1, text.size()));
        return name;
    }
    const auto end = text.find_first_of(" ,)=");
    name = std::string(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    return name;
}

// The value expression with its row source (DELETED. or INSERTED.) left out, so that the two
// CASE blocks' lines compare.
std::string WithoutRowSource(std::string_view expression) {
    std::string value(expression);
    for (const std::string_view source : {"DELETED."sv, "INSERTED."sv}) {
        for (auto at = value.find(source); at != std::string::npos; at = value.find(source, at)) {
            value.erase(at, source.size());
        }
    }
    return value;
}

std::string Key(std::string_view name) {
    return text::AsciiLower(name);
}

}  // namespace

std::optional<std::vector<TriggerColumn>> ReadAuditTrigger(std::string_view text) {
    std::vector<TriggerColumn> columns;
    std::unordered_map<std::string, std::size_t> byName;
    std::vector<std::string> setNames;
    std::vector<std::string> flaggedNames;
    enum class Section { Head, SetList, Body, OldValues, NewValues, Tail } section = Section::Head;
    bool created = false;
    int caseBlocks = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line =
            TrimmedLine(text.substr(0, end == std::string_view::npos ? text.size() : end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.starts_with("--")) {
            continue;
        }
        if (!created) {
            // Ours begins CREATE TRIGGER QLX_AuditTrail…; a whole script has the audit table first.
            created = StartsWithIgnoringCase(line, "CREATE TRIGGER QLX_AuditTrail") ||
                      StartsWithIgnoringCase(line, "CREATE TRIGGER [QLX_AuditTrail");
            continue;
        }
        switch (section) {
            case Section::Head:
                if (StartsWithIgnoringCase(line, "UPDATE ") && line.ends_with(" SET")) {
                    section = Section::SetList;
                }
                break;
            case Section::SetList:
                if (StartsWithIgnoringCase(line, "From INSERTED")) {
                    section = Section::Body;
                } else if (!line.starts_with('@')) {
                    std::string_view rest = line;
                    setNames.push_back(ReadIdentifier(rest));
                }
                break;
            case Section::Body:
                if (StartsWithIgnoringCase(line, "IF UPDATE(")) {
                    std::string_view rest = line.substr(10);
                    flaggedNames.push_back(ReadIdentifier(rest));
                } else if (StartsWithIgnoringCase(line, "CASE @CurrentColName")) {
                    // The old values' block comes first, the new values' second.
                    section = caseBlocks++ == 0 ? Section::OldValues : Section::NewValues;
                }
                break;
            case Section::OldValues:
            case Section::NewValues: {
                if (StartsWithIgnoringCase(line, "END")) {
                    section = section == Section::OldValues ? Section::Body : Section::Tail;
                    break;
                }
                std::string_view rest = line;
                if (!StartsWithIgnoringCase(rest, "WHEN ")) {
                    return std::nullopt;
                }
                rest.remove_prefix(5);
                const std::optional<std::string> name = ReadLiteral(rest);
                if (!name || !StartsWithIgnoringCase(rest, " THEN ")) {
                    return std::nullopt;
                }
                const std::string value = WithoutRowSource(rest.substr(6));
                const auto [at, added] = byName.try_emplace(Key(*name), columns.size());
                if (added) {
                    columns.push_back({*name, false, false, {}, {}});
                }
                (section == Section::OldValues ? columns[at->second].oldValue
                                               : columns[at->second].newValue) = value;
                break;
            }
            case Section::Tail:
                break;
        }
    }
    if (!created || caseBlocks != 2) {
        return std::nullopt;
    }
    for (const std::string& name : setNames) {
        if (const auto found = byName.find(Key(name)); found != byName.end()) {
            columns[found->second].set = true;
        }
    }
    for (const std::string& name : flaggedNames) {
        if (const auto found = byName.find(Key(name)); found != byName.end()) {
            columns[found->second].flagged = true;
        }
    }
    return columns;
}

std::optional<std::string> AuditTriggerTable(std::string_view text) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line =
            TrimmedLine(text.substr(0, end == std::string_view::npos ? text.size() : end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (StartsWithIgnoringCase(line, "CREATE TRIGGER QLX_AuditTrail")) {
            const auto on = line.find(" ON ");
            if (on == std::string_view::npos) {
                return std::nullopt;
            }
            std::string_view rest = TrimmedLine(line.substr(on + 4));
            return ReadIdentifier(rest);
        }
    }
    return std::nullopt;
}

std::vector<TriggerDifference> CompareAuditTriggers(const std::vector<TriggerColumn>& installed,
                                                    const std::vector<TriggerColumn>& today) {
    std::unordered_map<std::string, const TriggerColumn*> installedByName;
    for (const TriggerColumn& column : installed) {
        installedByName.emplace(Key(column.name), &column);
    }
    std::unordered_map<std::string, const TriggerColumn*> todayByName;
    for (const TriggerColumn& column : today) {
        todayByName.emplace(Key(column.name), &column);
    }
    std::vector<TriggerDifference> differences;
    for (const TriggerColumn& now : today) {
        const auto found = installedByName.find(Key(now.name));
        if (found == installedByName.end()) {
            differences.push_back(
                {TriggerDifference::Kind::Added, now.name,
                 now.set ? std::string() : "it cannot be set: no update is lost"});
            continue;
        }
        const TriggerColumn& then = *found->second;
        std::string detail;
        if (then.set != now.set) {
            detail = now.set ? "the trigger does not set it" : "the trigger sets it";
        } else if (then.flagged != now.flagged) {
            detail = now.flagged ? "the trigger does not log it" : "the trigger logs it";
        } else if (Key(then.oldValue) != Key(now.oldValue) ||
                   Key(then.newValue) != Key(now.newValue)) {
            detail =
                "the trigger logs it as " + then.newValue + ", today's script as " + now.newValue;
        }
        if (!detail.empty()) {
            differences.push_back({TriggerDifference::Kind::Changed, now.name, std::move(detail)});
        }
    }
    for (const TriggerColumn& then : installed) {
        if (!todayByName.contains(Key(then.name))) {
            differences.push_back({TriggerDifference::Kind::Dropped, then.name, {}});
        }
    }
    return differences;
}

std::string DifferenceText(std::string_view itemTable, const TriggerDifference& difference) {
    const std::string column = QuotedForMessage(difference.column);
    const std::string table = EscapedForMessage(itemTable);
    switch (difference.kind) {
        case TriggerDifference::Kind::Added:
            if (!difference.detail.empty()) {
                return table + ": the column " + column +
                       " was added after the trigger was made (" + difference.detail + ")";
            }
            return table + ": the column " + column +
                   " was added after the trigger was made: the trigger does not set it, so every "
                   "update of it is discarded";
        case TriggerDifference::Kind::Dropped:
            return table + ": the column " + column +
                   " was dropped after the trigger was made: every update of the table fails "
                   "(Msg 207, Invalid column name)";
        case TriggerDifference::Kind::Changed:
            return table + ": the column " + column + " changed after the trigger was made (" +
                   difference.detail + ")";
    }
    return {};
}

}  // namespace qelt
