#pragma once

#include <filesystem>
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

// SQL Server's longest identifier, in UTF-16 units.
inline constexpr std::size_t kLongestIdentifier = 128;

// One column a line, "NAME<TAB>ADO-TYPE-CODE", UTF-8 (a leading byte order mark is skipped),
// LF, CR LF or CR line ends; blank lines are skipped. Refused: no column at all, UTF-16 text,
// and names that cannot make a valid script: not UTF-8, holding a control character, longer
// than 128 UTF-16 units, or repeating an earlier name ignoring case (simple Unicode case
// folding, as a case-insensitive collation compares them).
std::vector<Field> ParseColumns(std::string_view text);

// Reads the columns file, which must be a regular file; every message names the file.
std::vector<Field> ReadColumnsFile(const std::filesystem::path& path);

}  // namespace qelt::cli
