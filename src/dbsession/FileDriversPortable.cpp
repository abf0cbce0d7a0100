// Linux and other unixODBC systems: the drivers take the program's own paths.
#include <system_error>

#include "dbsession/FileDrivers.h"

#include <map>

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

std::string MissingDriverAdvice(const FileDriver* row) {
    const std::string listing = "'odbcinst -q -d' lists the installed drivers";
    if (row == nullptr) {
        return "No ODBC data source or driver of that name is installed: 'odbcinst -q -s' lists "
               "the data sources, " +
               listing + ".";
    }
    // The Debian packages that register the drivers under the rows' first names.
    static const std::map<std::string_view, std::string_view> packages{{"Access", "odbc-mdbtools"},
                                                                       {"SQLite", "libsqliteodbc"}};
    const auto package = packages.find(row->kind);
    const std::string install =
        package == packages.end()
            ? "install a driver that registers it as "
            : "'sudo apt install " + std::string(package->second) + "' registers it as ";
    return "Install the " + std::string(row->kind) + " ODBC driver: " + install +
           std::string(row->installedNames[0]) + "; " + listing + ".";
}

}  // namespace qelt
