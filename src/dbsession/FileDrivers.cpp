// Database files: their kind, their driver and the connection string that opens them.
#include "dbsession/FileDrivers.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "text/Ascii.h"
#include "text/Doubled.h"
#include "text/Hex.h"
#include "text/Utf8Path.h"

namespace qelt {

namespace {

bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

std::filesystem::path WithSuffix(std::filesystem::path path, const char* suffix) {
    return path += suffix;
}

// A SQLite file in WAL mode: its header's write and read versions are 2.
bool IsWalModeSQLiteFile(const std::filesystem::path& file) {
    char header[20] = {};
    std::ifstream in(file, std::ios::binary);
    return in.read(header, sizeof header) && header[18] == 2 && header[19] == 2;
}

std::string PercentEncodedPath(const DriverFileName& name) {
    std::string path = name.name;
    if (name.windowsForm) {
        std::ranges::replace(path, '\\', '/');
        if (path.size() >= 2 && path[1] == ':') {
            path.insert(path.begin(), '/');  // "C:/x" becomes "file:///C:/x"
        }
    }
    std::string encoded;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~' || c == '/' || c == ':';
        if (unreserved) {
            encoded += c;
        } else {
            encoded += '%';
            text::AppendHexByte(encoded, byte);
        }
    }
    return encoded;
}

// A read-only URI: the driver's plain file name cannot be made read-only. A reader of a WAL-mode
// database creates its -wal and -shm files unless another program holds both open already; with
// no log beside it the file is complete, and reading it as immutable touches nothing.
FileConnection SQLiteReadOnlyUri(const std::filesystem::path& file, const DriverFileName& name) {
    std::string uri = "file://" + PercentEncodedPath(name) + "?mode=ro";
    if (IsWalModeSQLiteFile(file)) {
        const bool hasLog = Exists(WithSuffix(file, "-wal"));
        if (hasLog && !Exists(WithSuffix(file, "-shm"))) {
            const std::string shown = text::Utf8Of(file);
            return {"", "the SQLite database '" + shown + "' is in WAL mode and its log '" + shown +
                            "-wal' has no shared-memory file: reading it would create '" + shown +
                            "-shm'"};
        }
        if (!hasLog) {
            uri += "&immutable=1";
        }
    }
    return {uri, ""};
}

}  // namespace

bool IsConnectionString(std::string_view databaseText) {
    return databaseText.find('=') != std::string_view::npos;
}

const FileDriver* FileDriverFor(std::string_view fileName, std::span<const FileDriver> drivers) {
    const std::string extension =
        text::AsciiLower(text::Utf8Of(text::Utf8Path(fileName).extension()));
    for (const FileDriver& row : drivers) {
        if (std::ranges::find(row.extensions, extension) != row.extensions.end()) {
            return &row;
        }
    }
    return nullptr;
}

const FileDriver* FileDriverFor(std::string_view fileName) {
    return FileDriverFor(fileName, FileDrivers());
}

namespace {

// Hands each KEY=value pair to `take(key, value)`, the value without its braces ("}}" stands for
// '}'). As unixODBC reads a string: blanks and ';' before a key are skipped, and a key runs to the
// next '='.
template <typename Take>
void ForEachPair(std::string_view connectionString, Take take) {
    for (std::size_t start = 0;;) {
        start = connectionString.find_first_not_of(" \t\r\n\v\f;", start);
        const std::size_t equals =
            start == std::string_view::npos ? start : connectionString.find('=', start);
        if (equals == std::string_view::npos) {
            return;
        }
        std::string value;
        std::size_t end = equals + 1;
        if (end < connectionString.size() && connectionString[end] == '{') {
            for (++end; end < connectionString.size(); ++end) {
                if (connectionString[end] == '}') {
                    if (end + 1 < connectionString.size() && connectionString[end + 1] == '}') {
                        ++end;
                    } else {
                        ++end;
                        break;
                    }
                }
                value += connectionString[end];
            }
        } else {
            end = std::min(connectionString.find(';', end), connectionString.size());
            value = connectionString.substr(equals + 1, end - equals - 1);
        }
        take(connectionString.substr(start, equals - start), std::move(value));
        start = connectionString.find(';', end);  // past anything after a closing brace
    }
}

}  // namespace

std::string ConnectionStringValue(std::string_view connectionString, std::string_view key) {
    std::vector<std::string> values = ConnectionStringValues(connectionString, key);
    return values.empty() ? "" : std::move(values.front());
}

std::vector<std::string> ConnectionStringValues(std::string_view connectionString,
                                                std::string_view key) {
    std::vector<std::string> values;
    ForEachPair(connectionString, [&](std::string_view name, std::string value) {
        if (text::EqualsIgnoringAsciiCase(name, key)) {
            values.push_back(std::move(value));
        }
    });
    return values;
}

std::string ConnectionStringRefusal(std::string_view connectionString,
                                    std::span<const ConnectionKeyLimit> limits) {
    std::string refusal;
    ForEachPair(connectionString, [&](std::string_view name, const std::string& value) {
        if (!refusal.empty()) {
            return;
        }
        if (text::EqualsIgnoringAsciiCase(name, "SAVEFILE")) {
            refusal =
                "the connection string's SAVEFILE would have the driver manager write a "
                "file DSN, and nothing is ever written";
            return;
        }
        for (const ConnectionKeyLimit& limit : limits) {
            if (text::EqualsIgnoringAsciiCase(name, limit.key) && value.size() > limit.longest) {
                refusal = "the connection string's " + std::string(limit.key) + " value is " +
                          std::to_string(value.size()) + " bytes long; the ODBC driver manager " +
                          "holds at most " + std::to_string(limit.longest);
            }
        }
    });
    return refusal;
}

std::vector<std::string_view> FileKeys() {
    std::vector<std::string_view> keys;
    for (const auto table : {FileDrivers(), UnixOdbcFileDrivers()}) {
        for (const FileDriver& row : table) {
            if (std::ranges::find(keys, row.pathKey) == keys.end()) {
                keys.push_back(row.pathKey);
            }
        }
    }
    return keys;
}

std::vector<std::string> FilesNamedIn(std::string_view connectionString) {
    std::vector<std::string> files;
    for (const std::string_view key : FileKeys()) {
        if (std::string file = ConnectionStringValue(connectionString, key); !file.empty()) {
            files.push_back(std::move(file));
        }
    }
    return files;
}

const FileDriver* FileDriverCalled(std::string_view driver, std::span<const FileDriver> drivers) {
    for (const FileDriver& row : drivers) {
        const auto names = [&](std::string_view name) {
            return text::EqualsIgnoringAsciiCase(name, driver);
        };
        if (!driver.empty() && (std::ranges::any_of(row.installedNames, names) ||
                                std::ranges::any_of(row.libraries, names))) {
            return &row;
        }
    }
    return nullptr;
}

const FileDriver* FileDriverCalled(std::string_view driver) {
    return FileDriverCalled(driver, FileDrivers());
}

const FileDriver* FileDriverNamedIn(std::string_view connectionString,
                                    std::span<const FileDriver> drivers) {
    return FileDriverCalled(ConnectionStringValue(connectionString, "DRIVER"), drivers);
}

const FileDriver* FileDriverNamedIn(std::string_view connectionString) {
    return FileDriverNamedIn(connectionString, FileDrivers());
}

std::string ConnectionValue(std::string_view value) {
    const bool plain = value.find_first_of(";{}=") == std::string_view::npos &&
                       (value.empty() || (value.front() != ' ' && value.back() != ' '));
    if (plain) {
        return std::string(value);
    }
    return text::Enclosed("{", value, '}', "}");
}

FileConnection FileConnectionString(const FileDriver& row, std::string_view driver,
                                    const std::filesystem::path& file, const DriverFileName& name) {
    if (name.name.empty()) {
        return {"", "the " + std::string(row.kind) + " driver has no name for the file '" +
                        text::Utf8Of(file) + "'"};
    }
    std::string value;
    switch (row.pathForm) {
        case FilePathForm::Braced:
            value = ConnectionValue(name.name);
            break;
        case FilePathForm::Raw:
            value = name.name;
            if (value.find(';') != std::string::npos) {
                return {"", "the " + std::string(row.kind) +
                                " driver cannot open a file whose path contains ';': '" + value +
                                "'"};
            }
            break;
        case FilePathForm::SQLiteReadOnlyUri: {
            FileConnection uri = SQLiteReadOnlyUri(file, name);
            if (!uri.failure.empty()) {
                return uri;
            }
            value = std::move(uri.connectionString);
            break;
        }
    }
    return {"DRIVER=" + std::string(driver) + ";" + std::string(row.pathKey) + "=" + value + ";" +
                std::string(row.options),
            ""};
}

FileConnection FileConnectionString(const FileDriver& row, std::string_view driver,
                                    const std::filesystem::path& file) {
    return FileConnectionString(row, driver, file, DriverFileNameOf(file));
}

FileConnection WithoutCreating(const FileDriver& row, std::string connectionString) {
    if (row.noCreateKey.empty()) {
        return {std::move(connectionString), ""};
    }
    const std::vector<std::string> values =
        ConnectionStringValues(connectionString, row.noCreateKey);
    // The SQLite driver reads a value as true when it begins with a digit other than 0, Y or T.
    const auto isTrue = [](const std::string& value) {
        return !value.empty() &&
               std::string_view("123456789YyTt").find(value[0]) != std::string_view::npos;
    };
    if (!std::ranges::all_of(values, isTrue)) {
        return {"", "the connection string's " + std::string(row.noCreateKey) +
                        " value would let the " + std::string(row.kind) +
                        " driver create a missing database file"};
    }
    if (values.empty()) {
        if (!connectionString.empty() && connectionString.back() != ';') {
            connectionString += ';';
        }
        connectionString += std::string(row.noCreateKey) + "=1;";
    }
    return {std::move(connectionString), ""};
}

std::string_view FileKindText(FileKind kind) {
    switch (kind) {
        case FileKind::Folder:
            return "a folder";
        case FileKind::Fifo:
            return "a FIFO";
        case FileKind::Device:
            return "a device";
        case FileKind::Socket:
            return "a socket";
        case FileKind::Missing:
        case FileKind::Unreachable:
        case FileKind::Regular:
        case FileKind::Other:
            break;
    }
    return "no regular file";
}

std::string KnownExtensionsText(std::span<const FileDriver> drivers) {
    std::string text;
    for (const FileDriver& row : drivers) {
        for (const std::string_view extension : row.extensions) {
            text += text.empty() ? "(" : ", ";
            text += extension;
        }
    }
    return text + ")";
}

std::string FileDriversHelpText() {
    std::string text;
    for (const FileDriver& row : FileDrivers()) {
        if (!text.empty()) {
            text += ", ";
        }
        for (std::size_t i = 0; i < row.extensions.size(); ++i) {
            text += i == 0 ? "" : "/";
            text += row.extensions[i];
        }
        text += " through the ";
        text += row.kind;
        text += " driver";
    }
    return text;
}

}  // namespace qelt
