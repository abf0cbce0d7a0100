// The columns file: one column a line, its type code and the facts a database would tell.
#include "cli/ColumnsFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <new>

#include "auditscript/ColumnNames.h"
#include "auditscript/SqlQuoting.h"
#include "cli/Files.h"
#include "text/Lines.h"
#include "text/Utf.h"
#include "text/Utf8Path.h"

namespace qelt::cli {

namespace {

[[noreturn]] void ThrowLineError(std::size_t lineNumber, const std::string& what) {
    throw ColumnsFileError("line " + std::to_string(lineNumber) + ": " + what);
}

// Printable ASCII, as nearly every column name is: UTF-8 with no control character, so the
// slower checks of other text can be skipped.
bool IsPrintableAscii(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return c >= 0x20 && c < 0x7F; });
}

std::int32_t ParseCount(std::string_view value, std::string_view what, std::size_t lineNumber) {
    std::int32_t count = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), count);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || count < 0) {
        ThrowLineError(lineNumber, "the " + std::string(what) + " " + QuotedForMessage(value) +
                                       " is not a whole number from 0 to 2147483647");
    }
    return count;
}

bool SetCount(std::int32_t& count, std::string_view value, std::string_view what,
              std::size_t lineNumber) {
    count = ParseCount(value, what, lineNumber);
    return true;
}

// The facts a columns file can state; the message that refuses a field lists them all.
constexpr std::array kFactFields{
    ColumnFactField{
        "identity", "",
        [](std::string_view, std::size_t, ColumnFacts& facts) { return facts.identity = true; }},
    ColumnFactField{
        "computed", "",
        [](std::string_view, std::size_t, ColumnFacts& facts) { return facts.computed = true; }},
    ColumnFactField{"rowversion", "",
                    [](std::string_view, std::size_t, ColumnFacts& facts) {
                        facts.typeName = "rowversion";
                        return true;
                    }},
    ColumnFactField{
        "primary-key", "",
        [](std::string_view, std::size_t, ColumnFacts& facts) { return facts.primaryKey = true; }},
    ColumnFactField{"type", "NAME",
                    [](std::string_view value, std::size_t, ColumnFacts& facts) {
                        if (value.empty() || !IsPrintableAscii(value)) {
                            return false;
                        }
                        facts.typeName = value;
                        return true;
                    }},
    ColumnFactField{"size", "N",
                    [](std::string_view value, std::size_t lineNumber, ColumnFacts& facts) {
                        return SetCount(facts.size, value, "size", lineNumber);
                    }},
    ColumnFactField{"scale", "N",
                    [](std::string_view value, std::size_t lineNumber, ColumnFacts& facts) {
                        return SetCount(facts.scale, value, "scale", lineNumber);
                    }},
};

// "a, b or c" of the facts, as a refused field's message lists them.
std::string ExpectedFacts() {
    std::string list;
    for (std::size_t i = 0; i < kFactFields.size(); ++i) {
        if (i != 0) {
            list += i + 1 == kFactFields.size() ? " or " : ", ";
        }
        list += kFactFields[i].Shown();
    }
    return list;
}

// One of the optional fields after the type code: a mark or a NAME=VALUE pair of the table.
void ParseColumnFact(std::string_view field, ColumnFacts& facts, std::size_t lineNumber) {
    const auto equals = field.find('=');
    const bool hasValue = equals != std::string_view::npos;
    const std::string_view name = field.substr(0, equals);
    const std::string_view value = hasValue ? field.substr(equals + 1) : std::string_view();
    const auto fact = std::ranges::find_if(kFactFields, [&](const ColumnFactField& known) {
        return known.name == name && known.valueShown.empty() != hasValue;
    });
    if (fact == kFactFields.end() || !fact->set(value, lineNumber, facts)) {
        ThrowLineError(lineNumber, "the field " + QuotedForMessage(field) +
                                       " is not understood (expected " + ExpectedFacts() + ")");
    }
}

// The line the column at `position` was read from. Found again only when a name repeats, so that
// no line number is kept for every column.
std::size_t LineOfColumn(std::string_view text, std::size_t position) {
    text::LineSplitter lines(text);
    std::size_t lineNumber = 0;
    std::size_t columnsSeen = 0;
    for (std::string_view line; lines.Next(line);) {
        ++lineNumber;
        if (!line.empty() && columnsSeen++ == position) {
            break;
        }
    }
    return lineNumber;
}

// Adds the line's column to the list, made in place, once the name keeps to the rules of every
// column list; `text` is the whole file's, for the line of an earlier name.
void AddColumnOfLine(std::string_view text, std::string_view line, std::size_t lineNumber,
                     ColumnNameRules& names, std::pmr::vector<Field>& columns) {
    const auto tab = line.find('\t');
    if (tab == std::string_view::npos) {
        ThrowLineError(lineNumber, "expected NAME<TAB>ADO-TYPE-CODE, found no tab");
    }
    const std::string_view name = line.substr(0, tab);
    const std::string_view rest = line.substr(tab + 1);
    if (!IsPrintableAscii(name) && !text::IsValidUtf8(name)) {
        ThrowLineError(lineNumber,
                       "the column name " + QuotedForMessage(name) + " is not UTF-8 text");
    }
    if (const auto refusal = names.CheckNext(name)) {
        const std::string earlier =
            refusal->kind == NameRefusal::Kind::kRepeated
                ? "on line " + std::to_string(LineOfColumn(text, refusal->earlier))
                : std::string();
        ThrowLineError(lineNumber, RefusalText(*refusal, name, earlier));
    }
    // The type code ends at the line's end or at the tab before the facts.
    std::int32_t type = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), type);
    const auto codeLength = static_cast<std::size_t>(end - rest.data());
    const bool factsFollow = codeLength < rest.size() && *end == '\t';
    if (codeLength == 0 || error != std::errc() || (codeLength < rest.size() && !factsFollow)) {
        ThrowLineError(lineNumber, "the type code " +
                                       QuotedForMessage(rest.substr(0, rest.find('\t'))) +
                                       " is not a 32-bit integer");
    }
    std::string_view facts = factsFollow ? rest.substr(codeLength + 1) : std::string_view();
    // Made in place: the name is copied once.
    Field& column = columns.emplace_back();
    column.Name.assign(name);
    column.Type = type;
    while (!facts.empty()) {
        const auto factTab = facts.find('\t');
        if (const std::string_view fact = facts.substr(0, factTab); !fact.empty()) {
            ParseColumnFact(fact, column.Facts.Edit(), lineNumber);  // an empty one says nothing
        }
        facts = factTab == std::string_view::npos ? std::string_view() : facts.substr(factTab + 1);
    }
}

// UTF-16 text read as bytes: a byte order mark, or two ASCII characters with their NUL halves.
bool LooksLikeUtf16(std::string_view text) {
    return text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") ||
           (text.size() >= 4 &&
            ((text[1] == '\0' && text[3] == '\0') || (text[0] == '\0' && text[2] == '\0')));
}

}  // namespace

std::string ColumnFactField::Shown() const {
    return valueShown.empty() ? std::string(name)
                              : std::string(name) + "=" + std::string(valueShown);
}

std::span<const ColumnFactField> ColumnFactFields() {
    return kFactFields;
}

std::pmr::vector<Field> ParseColumns(std::string_view text, std::pmr::memory_resource& memory) {
    if (LooksLikeUtf16(text)) {
        throw ColumnsFileError("is UTF-16 text; save it as UTF-8");
    }
    if (text.starts_with("\xEF\xBB\xBF")) {  // a byte order mark some editors write
        text.remove_prefix(3);
    }
    // At most one column a line: room for them all at once.
    std::size_t lineEnds = 0;
    for (auto end = text.find('\n'); end != std::string_view::npos;
         end = text.find('\n', end + 1)) {
        ++lineEnds;
    }
    std::pmr::vector<Field> columns(&memory);
    columns.reserve(lineEnds + 1);
    ColumnNameRules names(
        lineEnds + 1,
        [&columns](std::size_t position) -> std::string_view { return columns[position].Name; },
        memory);
    text::LineSplitter lines(text);
    std::size_t lineNumber = 0;
    for (std::string_view line; lines.Next(line);) {
        ++lineNumber;
        if (!line.empty()) {
            AddColumnOfLine(text, line, lineNumber, names, columns);
        }
    }
    if (columns.empty()) {
        throw ColumnsFileError("lists no column");
    }
    return columns;
}

std::pmr::vector<Field> ReadColumnsFile(const std::filesystem::path& path,
                                        std::pmr::memory_resource& memory) {
    const std::string shownPath = QuotedForMessage(text::Utf8Of(path));
    try {
        return ParseColumns(ReadRegularFile(path, memory), memory);
    } catch (const FileError& error) {
        throw ColumnsFileError("the columns file " + shownPath + " " + error.what());
    } catch (const ColumnsFileError& error) {
        const std::string_view what = error.what();
        throw ColumnsFileError("the columns file " + shownPath +
                               (what.starts_with("line ") ? ", " : " ") + error.what());
    } catch (const std::bad_alloc&) {
        throw ColumnsFileError("the columns file " + shownPath + " cannot be read: out of memory");
    }
}

}  // namespace qelt::cli
