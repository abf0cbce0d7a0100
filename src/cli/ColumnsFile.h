// The columns file: one column a line, its type code and the facts a database would tell.
#pragma once

#include <filesystem>
#include <memory_resource>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dbsession/DBFuncs.h"

namespace qelt::cli {

// A columns file that cannot be used; the message names the file's line where there is one.
class ColumnsFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A field after a column's type code that states a fact of the column: a mark, the name alone
// ("identity"), or NAME=VALUE ("size=38").
struct ColumnFactField {
    std::string_view name;
    std::string_view valueShown;  // what the value is ("N"); empty for a mark
    // Records the fact; false when the value is not one the fact takes. Throws ColumnsFileError
    // for a number out of range.
    bool (*set)(std::string_view value, std::size_t lineNumber, ColumnFacts& facts);

    // As the documentation and the messages write it: "identity", "size=N".
    std::string Shown() const;
};

// Every fact a columns file can state.
std::span<const ColumnFactField> ColumnFactFields();

// One column a line, "NAME<TAB>ADO-TYPE-CODE", optionally followed by more tab-separated fields
// that say what the database would (ColumnFactFields). UTF-8 (a leading byte order mark is
// skipped), LF, CR LF or CR line ends; blank lines are skipped. Refused: no column at all, UTF-16
// text, names that are not UTF-8, and names the rules of every column list refuse
// (ColumnNameRules). The column list and the working memory of the checks are held in `memory`.
std::pmr::vector<Field> ParseColumns(
    std::string_view text, std::pmr::memory_resource& memory = *std::pmr::get_default_resource());

// Reads the columns file, which must be a regular file; every message names the file. The file's
// text and the column list are held in `memory`.
std::pmr::vector<Field> ReadColumnsFile(
    const std::filesystem::path& path,
    std::pmr::memory_resource& memory = *std::pmr::get_default_resource());

}  // namespace qelt::cli
