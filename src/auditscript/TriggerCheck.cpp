// Reading an installed audit trigger back and comparing it with today's columns.
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

// The next line of the text, trimmed; the text goes on after it.
std::string_view NextLine(std::string_view& text) {
    const auto end = text.find('\n');
    const std::string_view line =
        TrimmedLine(text.substr(0, end == std::string_view::npos ? text.size() : end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
}

// Reads an audit trigger line by line: the sections of its text, in order, and what each names.
class AuditTriggerReader {
  public:
    // Takes the next line that is neither empty nor a comment; false when the text is not an
    // audit trigger this tool writes.
    bool Read(std::string_view line) {
        switch (section_) {
            case Section::BeforeTrigger:
                // Ours begins CREATE TRIGGER QLX_AuditTrail…; a whole script has the audit table
                // first.
                if (StartsWithIgnoringCase(line, "CREATE TRIGGER QLX_AuditTrail") ||
                    StartsWithIgnoringCase(line, "CREATE TRIGGER [QLX_AuditTrail")) {
                    section_ = Section::Head;
                }
                return true;
            case Section::Head:
                if (StartsWithIgnoringCase(line, "UPDATE ") && line.ends_with(" SET")) {
                    section_ = Section::SetList;
                }
                return true;
            case Section::SetList:
                ReadSetListLine(line);
                return true;
            case Section::Body:
                ReadBodyLine(line);
                return true;
            case Section::OldValues:
            case Section::NewValues:
                return ReadValueLine(line);
            case Section::Tail:
                return true;
        }
        return true;
    }

    // The columns, each marked set and flagged as the trigger names it; nothing when the text
    // ended before the trigger's two CASE blocks.
    std::optional<std::vector<TriggerColumn>> Columns() {
        if (section_ == Section::BeforeTrigger || caseBlocks_ != 2) {
            return std::nullopt;
        }
        for (const std::string& name : setNames_) {
            if (const auto found = byName_.find(Key(name)); found != byName_.end()) {
                columns_[found->second].set = true;
            }
        }
        for (const std::string& name : flaggedNames_) {
            if (const auto found = byName_.find(Key(name)); found != byName_.end()) {
                columns_[found->second].flagged = true;
            }
        }
        return std::move(columns_);
    }

  private:
    enum class Section { BeforeTrigger, Head, SetList, Body, OldValues, NewValues, Tail };

    void ReadSetListLine(std::string_view line) {
        if (StartsWithIgnoringCase(line, "From INSERTED")) {
            section_ = Section::Body;
        } else if (!line.starts_with('@')) {
            setNames_.push_back(ReadIdentifier(line));
        }
    }

    void ReadBodyLine(std::string_view line) {
        if (StartsWithIgnoringCase(line, "IF UPDATE(")) {
            std::string_view rest = line.substr(10);
            flaggedNames_.push_back(ReadIdentifier(rest));
        } else if (StartsWithIgnoringCase(line, "CASE @CurrentColName")) {
            // The old values' block comes first, the new values' second.
            section_ = caseBlocks_++ == 0 ? Section::OldValues : Section::NewValues;
        }
    }

    // A WHEN line of a CASE block, or its END.
    bool ReadValueLine(std::string_view line) {
        if (StartsWithIgnoringCase(line, "END")) {
            section_ = section_ == Section::OldValues ? Section::Body : Section::Tail;
            return true;
        }
        if (!StartsWithIgnoringCase(line, "WHEN ")) {
            return false;
        }
        line.remove_prefix(5);
        const std::optional<std::string> name = ReadLiteral(line);
        if (!name || !StartsWithIgnoringCase(line, " THEN ")) {
            return false;
        }
        const std::string value = WithoutRowSource(line.substr(6));
        const auto [at, added] = byName_.try_emplace(Key(*name), columns_.size());
        if (added) {
            columns_.push_back({*name, false, false, {}, {}});
        }
        (section_ == Section::OldValues ? columns_[at->second].oldValue
                                        : columns_[at->second].newValue) = value;
        return true;
    }

    Section section_ = Section::BeforeTrigger;
    int caseBlocks_ = 0;
    std::vector<TriggerColumn> columns_;
    std::unordered_map<std::string, std::size_t> byName_;  // columns_' positions by Key
    std::vector<std::string> setNames_;
    std::vector<std::string> flaggedNames_;
};

}  // namespace

std::optional<std::vector<TriggerColumn>> ReadAuditTrigger(std::string_view text) {
    AuditTriggerReader reader;
    while (!text.empty()) {
        const std::string_view line = NextLine(text);
        if (!line.empty() && !line.starts_with("--") && !reader.Read(line)) {
            return std::nullopt;
        }
    }
    return reader.Columns();
}

std::optional<std::string> AuditTriggerTable(std::string_view text) {
    while (!text.empty()) {
        const std::string_view line = NextLine(text);
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
