// Linux and other unixODBC systems: the drivers take the program's own paths.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

#include "dbsession/FileDrivers.h"
#include "text/Utf8Path.h"

namespace qelt {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The files unixODBC reads, as it names them: odbcinst.ini and odbc.ini in $ODBCSYSINI (else
// /etc; $ODBCINSTINI renames the first), the user's odbc.ini ($ODBCINI, else ~/.odbc.ini) and
// ~/.odbcinst.ini. It takes the home folder from $HOME for one and from the password database for
// the other: both are checked.
std::vector<std::filesystem::path> UnixOdbcConfigurationFiles() {
    std::string system = Environment("ODBCSYSINI");
    if (system.empty()) {
        system = "/etc";
    }
    std::string installed = Environment("ODBCINSTINI");
    if (installed.empty()) {
        installed = "odbcinst.ini";
    }
    std::vector<std::filesystem::path> files{system + "/" + installed, system + "/odbc.ini"};
    std::vector<std::string> homes{Environment("HOME")};
    if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) {
        homes.emplace_back(user->pw_dir);
    }
    const std::string userFile = Environment("ODBCINI");
    if (!userFile.empty()) {
        files.emplace_back(userFile);
    }
    for (const std::string& home : homes) {
        if (!home.empty()) {
            if (userFile.empty()) {
                files.emplace_back(home + "/.odbc.ini");
            }
            files.emplace_back(home + "/.odbcinst.ini");
        }
    }
    return files;
}

}  // namespace

std::span<const FileDriver> FileDrivers() {
    return UnixOdbcFileDrivers();
}

DriverFileName DriverFileNameOf(const std::filesystem::path& file) {
    const std::u8string name = file.u8string();
    return {std::string(name.begin(), name.end()), false};
}

std::span<const ConnectionKeyLimit> DriverManagerKeyLimits() {
    return UnixOdbcKeyLimits();
}

FileKind KindOfFile(const std::filesystem::path& file) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (error == std::errc::permission_denied) {
        return FileKind::Unreachable;
    }
    switch (status.type()) {
        case std::filesystem::file_type::regular:
            return FileKind::Regular;
        case std::filesystem::file_type::directory:
            return FileKind::Folder;
        case std::filesystem::file_type::fifo:
            return FileKind::Fifo;
        case std::filesystem::file_type::block:
        case std::filesystem::file_type::character:
            return FileKind::Device;
        case std::filesystem::file_type::socket:
            return FileKind::Socket;
        case std::filesystem::file_type::not_found:
        case std::filesystem::file_type::none:
            return FileKind::Missing;
        default:
            return FileKind::Other;
    }
}

// The empty device, which people name to switch a configuration file off: it reads as an empty
// file and never waits.
bool IsTheNullDevice(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::canonical(file, error) == "/dev/null";
}

std::string DriverManagerConfigurationRefusal() {
    for (const std::filesystem::path& file : UnixOdbcConfigurationFiles()) {
        const FileKind kind = KindOfFile(file);
        if (kind != FileKind::Missing && kind != FileKind::Unreachable &&
            kind != FileKind::Regular && !IsTheNullDevice(file)) {
            return "the ODBC configuration file '" + text::Utf8Of(file) + "' is " +
                   std::string(FileKindText(kind)) +
                   ", not a file: the driver manager would wait on it or fail reading it";
        }
    }
    return "";
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
    const std::string install =
        "'sudo apt install " + std::string(row->package) + "' registers it as ";
    return "Install the " + std::string(row->kind) + " ODBC driver: " + install +
           std::string(row->installedNames[0]) + "; " + listing + ".";
}

}  // namespace qelt
