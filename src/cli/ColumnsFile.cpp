#include "cli/ColumnsFile.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace qelt::cli {

namespace {

[[noreturn]] void ThrowLineError(std::size_t lineNumber, const std::string& what) {
    throw ColumnsFileError("line " + std::to_string(lineNumber) + ": " + what);
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
    std::int32_t type = 0;
    const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), type);
    if (code.empty() || error != std::errc() || end != code.data() + code.size()) {
        ThrowLineError(lineNumber,
                       "the type code '" + std::string(code) + "' is not a 32-bit integer");
    }
    return Field{std::string(name), type};
}

}  // namespace

std::vector<Field> ParseColumns(std::string_view text) {
    std::vector<Field> columns;
    std::size_t lineNumber = 0;
    if (text.starts_with("\xEF\xBB\xBF")) {  // a byte order mark some editors write
        text.remove_prefix(3);
    }
    while (!text.empty()) {
        ++lineNumber;
        const auto newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            columns.push_back(ParseColumnLine(line, lineNumber));
        }
    }
    return columns;
}

std::vector<Field> ReadColumnsFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file || std::filesystem::is_directory(path)) {
        throw ColumnsFileError("cannot read the columns file '" + path.string() + "'");
    }
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) {
        throw ColumnsFileError("cannot read the columns file '" + path.string() + "'");
    }
    try {
        return ParseColumns(content.str());
    } catch (const ColumnsFileError& error) {
        throw ColumnsFileError(path.string() + ", " + error.what());
    }
}

}  // namespace qelt::cli
