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

// One column a line, "NAME<TAB>ADO-TYPE-CODE", UTF-8 (a leading byte order mark is skipped),
// LF or CR LF line ends; blank lines are skipped and an empty text is the empty list.
std::vector<Field> ParseColumns(std::string_view text);

std::vector<Field> ReadColumnsFile(const std::filesystem::path& path);

}  // namespace qelt::cli
