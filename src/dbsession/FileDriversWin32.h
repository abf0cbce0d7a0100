// The file drivers of a Windows program, on Windows and under Wine.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "dbsession/FileDrivers.h"

// A Windows program's file drivers. On Windows they are Windows' own; under Wine, odbc32 hands
// every connection to unixODBC, so the drivers are Linux libraries that open Unix file names.
namespace qelt {

// What Wine tells a Windows program about Unix file names; both empty on Windows itself.
struct WineFileNames {
    // The Unix name of a Windows path; nothing when it has none.
    std::function<std::optional<std::string>(const std::filesystem::path&)> unixName;
    // The Windows path of a Unix name; nothing when it has none.
    std::function<std::optional<std::filesystem::path>(std::string_view)> windowsName;

    bool UnderWine() const { return static_cast<bool>(unixName); }
};

// Wine's kernel32 functions, looked up once: found, the program runs under Wine.
const WineFileNames& ThisSystemsWine();

std::span<const FileDriver> FileDriversWith(const WineFileNames& wine);
DriverFileName DriverFileNameWith(const std::filesystem::path& file, const WineFileNames& wine);
bool DriverLibraryPresentWith(std::string_view library, const WineFileNames& wine);
std::span<const ConnectionKeyLimit> KeyLimitsWith(const WineFileNames& wine);

}  // namespace qelt
