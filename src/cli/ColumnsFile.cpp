#include "cli/ColumnsFile.h"

#include <charconv>
#include <new>
#include <unordered_map>

#include "auditscript/SqlQuoting.h"
#include "auditscript/UnicodeCharacters.h"
#include "cli/Files.h"
#include "text/Lines.h"
#include "text/Utf.h"

namespace qelt::cli {

namespace {

[[noreturn]] void ThrowLineError(std::size_t lineNumber, const std::string& what) {
    throw ColumnsFileError("line " + std::to_string(lineNumber) + ": " + what);
}

std::string Shown(std::string_view name) {
    return "'" + EscapedForMessage(name) + "'";
}

Field ParseColumnLine(std::string_view line, std::size_t lineNumber) {
    const auto tab = line.find('\t');
    if (tab == std::string_view::npos) {
        ThrowLineError(lineNumber, "expected NAME<TAB>ADO-TYPE-CODE, found no tab");
    }
    const std::string_view name = line.substr(0, tab);
    const std::string_view code = line.substr(tab + 1);
    if (name.empty()) {
        ThrowLineError(lineNumber, "the column name is empty");
    }
    if (!text::IsValidUtf8(name)) {
        ThrowLineError(lineNumber, "the column name " + Shown(name) + " is not UTF-8 text");
    }
    if (HasControlCharacter(name)) {
        ThrowLineError(lineNumber, "the column name " + Shown(name) + " holds a control character");
    }
    std::int32_t type = 0;
    const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), type);
    if (code.empty() || error != std::errc() || end != code.data() + code.size()) {
        ThrowLineError(lineNumber, "the type code " + Shown(code) + " is not a 32-bit integer");
    }
    return Field{std::string(name), type};
}

// UTF-16 text read as bytes: a byte order mark, or two ASCII characters with their NUL halves.
bool LooksLikeUtf16(std::string_view text) {
    return text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") ||
           (text.size() >= 4 && ((text[1] == '\0' && text[3] == '\0') ||
                                 (text[0] == '\0' && text[2] == '\0')));
}

std::size_t Utf16Length(std::u32string_view codePoints) {
    std::size_t length = codePoints.size();
    for (const char32_t c : codePoints) {
        length += c > 0xFFFF;
    }
    return length;
}

// Refuses a name that SQL Server could not take, or takes as the same as an earlier one.
class NameCheck {
  public:
    void Add(const std::string& name, std::size_t lineNumber) {
        std::u32string folded = unicode::CaseFolded(name);
        const std::size_t length = Utf16Length(folded);
        if (length > kLongestIdentifier) {
            ThrowLineError(lineNumber, "the column name has " + std::to_string(length) +
                                           " characters, more than SQL Server's 128");
        }
        const auto [earlier, added] = lines_.try_emplace(std::move(folded), lineNumber);
        if (!added) {
            ThrowLineError(lineNumber, "the column name " + Shown(name) +
                                           " repeats the name on line " +
                                           std::to_string(earlier->second) +
                                           " (names are the same ignoring case)");
        }
    }

  private:
    std::unordered_map<std::u32string, std::size_t> lines_;
};

}  // namespace

std::vector<Field> ParseColumns(std::string_view text) {
    if (LooksLikeUtf16(text)) {
        throw ColumnsFileError("is UTF-16 text; save it as UTF-8");
    }
    if (text.starts_with("\xEF\xBB\xBF")) {  // a byte order mark some editors write
        text.remove_prefix(3);
    }
    std::vector<Field> columns;
    NameCheck names;
    text::LineSplitter lines(text);
    std::size_t lineNumber = 0;
    for (std::string_view line; lines.Next(line);) {
        ++lineNumber;
        if (!line.empty()) {
            columns.push_back(ParseColumnLine(line, lineNumber));
            names.Add(columns.back().Name, lineNumber);
        }
    }
    if (columns.empty()) {
        throw ColumnsFileError("lists no column");
    }
    return columns;
}

std::vector<Field> ReadColumnsFile(const std::filesystem::path& path) {
    const std::string shownPath = Shown(path.string());
    try {
        return ParseColumns(ReadRegularFile(path));
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
