// The database file drivers of Windows: Microsoft's Access driver and the SQLite3 ODBC driver,
// by the names their installers register. Under Wine the drivers are unixODBC's.
#include "dbsession/FileDriversWin32.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <system_error>

namespace qelt {

namespace {

std::span<const FileDriver> WindowsFileDrivers() {
    static const FileDriver drivers[] = {
        {
            .kind = "Access",
            .extensions = {".mdb", ".accdb"},
            .installedNames = {"Microsoft Access Driver (*.mdb, *.accdb)",
                               "Microsoft Access Driver (*.mdb)"},
            .pathKey = "DBQ",
            .pathForm = FilePathForm::Braced,
            .options = "ReadOnly=1;",
            .package = "the 64-bit Microsoft Access Database Engine",
        },
        {
            .kind = "SQLite",
            .extensions = {".db", ".sqlite", ".sqlite3", ".db3"},
            .installedNames = {"SQLite3 ODBC Driver", "SQLite3"},
            .pathKey = "Database",
            .pathForm = FilePathForm::SQLiteReadOnlyUri,
            // Timeout: milliseconds to wait for a lock held by another program before giving up.
            .options = "NoCreat=1;Timeout=1500;",
            .noCreateKey = "NoCreat",
            .package = "the 64-bit SQLite ODBC driver (sqliteodbc_w64)",
        },
    };
    return drivers;
}

// Wine's names come from its process heap.
struct HeapFreer {
    void operator()(void* block) const { HeapFree(GetProcessHeap(), 0, block); }
};

template <typename Function>
Function Kernel32Function(const char* name) {
    // void (*)() stands for any function type without a cast warning.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

WineFileNames FindWine() {
    using UnixFileName = char*(CDECL*)(const WCHAR*);
    using DosFileName = WCHAR*(CDECL*)(const char*);
    const auto unixFileName = Kernel32Function<UnixFileName>("wine_get_unix_file_name");
    const auto dosFileName = Kernel32Function<DosFileName>("wine_get_dos_file_name");
    if (unixFileName == nullptr || dosFileName == nullptr) {
        return {};
    }
    return {
        [unixFileName](const std::filesystem::path& file) -> std::optional<std::string> {
            const std::unique_ptr<char, HeapFreer> name(unixFileName(file.c_str()));
            return name ? std::optional<std::string>(name.get()) : std::nullopt;
        },
        [dosFileName](std::string_view name) -> std::optional<std::filesystem::path> {
            const std::unique_ptr<WCHAR, HeapFreer> path(dosFileName(std::string(name).c_str()));
            return path ? std::optional<std::filesystem::path>(path.get()) : std::nullopt;
        }};
}

}  // namespace

const WineFileNames& ThisSystemsWine() {
    static const WineFileNames wine = FindWine();
    return wine;
}

std::span<const FileDriver> FileDriversWith(const WineFileNames& wine) {
    return wine.UnderWine() ? UnixOdbcFileDrivers() : WindowsFileDrivers();
}

DriverFileName DriverFileNameWith(const std::filesystem::path& file, const WineFileNames& wine) {
    if (wine.UnderWine()) {
        return {wine.unixName(file).value_or(""), false};
    }
    const std::u8string name = std::filesystem::path(file).make_preferred().u8string();
    return {std::string(name.begin(), name.end()), true};
}

bool DriverLibraryPresentWith(std::string_view library, const WineFileNames& wine) {
    // The table names libraries by their Unix names, which only Wine can turn into paths here.
    const std::optional<std::filesystem::path> path =
        wine.UnderWine() ? wine.windowsName(library) : std::nullopt;
    std::error_code error;
    return path && std::filesystem::is_regular_file(*path, error);
}

std::span<const ConnectionKeyLimit> KeyLimitsWith(const WineFileNames& wine) {
    // Windows' driver manager checks its names itself and says so (IM010, IM011).
    return wine.UnderWine() ? UnixOdbcKeyLimits() : std::span<const ConnectionKeyLimit>();
}

std::span<const FileDriver> FileDrivers() {
    return FileDriversWith(ThisSystemsWine());
}

std::span<const ConnectionKeyLimit> DriverManagerKeyLimits() {
    return KeyLimitsWith(ThisSystemsWine());
}

FileKind KindOfFile(const std::filesystem::path& file) {
    constexpr DWORD kNoSuchDevice = 433;  // ERROR_NO_SUCH_DEVICE, which mingw-w64 does not name
    // Opened for no access at all: under Wine a FIFO then opens without waiting for a writer, and
    // a FIFO, a device or a socket is told apart, which Wine's file attributes do not do.
    const HANDLE handle =
        CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
            case ERROR_ACCESS_DENIED:
                return FileKind::Unreachable;
            case kNoSuchDevice:  // Wine opens no Unix socket
                return FileKind::Socket;
            default:
                return FileKind::Missing;
        }
    }
    const DWORD type = GetFileType(handle);
    BY_HANDLE_FILE_INFORMATION information{};
    const bool folder = type == FILE_TYPE_DISK &&
                        GetFileInformationByHandle(handle, &information) != 0 &&
                        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(handle);
    switch (type) {
        case FILE_TYPE_DISK:
            return folder ? FileKind::Folder : FileKind::Regular;
        case FILE_TYPE_PIPE:
            return FileKind::Fifo;
        case FILE_TYPE_CHAR:
            return FileKind::Device;
        default:
            return FileKind::Other;
    }
}

// Windows keeps ODBC's configuration in the registry.
std::string DriverManagerConfigurationRefusal() {
    return "";
}

DriverFileName DriverFileNameOf(const std::filesystem::path& file) {
    return DriverFileNameWith(file, ThisSystemsWine());
}

bool DriverLibraryPresent(std::string_view library) {
    return DriverLibraryPresentWith(library, ThisSystemsWine());
}

std::string MissingDriverAdvice(const FileDriver* row) {
    const std::string listing =
        "the Drivers tab of 'ODBC Data Sources (64-bit)' (odbcad32.exe) lists the installed "
        "drivers";
    if (row == nullptr) {
        return "No ODBC data source or driver of that name is installed: the User DSN and "
               "System DSN tabs of 'ODBC Data Sources (64-bit)' list the data sources, and " +
               listing + ".";
    }
    // Windows' installer also under Wine: the user installs on the Windows side.
    const auto windows = std::ranges::find(WindowsFileDrivers(), row->kind, &FileDriver::kind);
    const std::string install = windows != WindowsFileDrivers().end()
                                    ? std::string(windows->package)
                                    : "the " + std::string(row->kind) + " ODBC driver";
    return "Install " + install + ", which registers \"" + std::string(row->installedNames[0]) +
           "\"; " + listing + ".";
}

}  // namespace qelt
