// Linux and other unixODBC systems: the drivers take the program's own paths.
#include <system_error>

#include "dbsession/FileDrivers.h"

namespace qelt {

std::span<const FileDriver> FileDrivers() {
    return UnixOdbcFileDrivers();
}

DriverFileName DriverFileNameOf(const std::filesystem::path& file) {
    const std::u8string name = file.u8string();
    return {std::string(name.begin(), name.end()), false};
}

bool DriverLibraryPresent(std::string_view library) {
    std::error_code error;
    return std::filesystem::is_regular_file(library, error);
}

}  // namespace qelt
