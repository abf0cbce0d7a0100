// Windows file names resolved as Wine resolves them, on a machine without Windows.
#pragma once

#include <filesystem>
#include <string_view>

// Windows file names on a machine without Windows: resolved the way Wine resolves them, through
// the drive letters of a Wine prefix.
namespace qelt {

// The Wine prefix: $WINEPREFIX, else ~/.wine.
std::filesystem::path WinePrefixFolder();

// Where a file name lies on this machine. A drive name ("C:\Program Files\…", also with '/')
// goes through the prefix's dosdevices/<letter>: link and a UNC name ("\\server\share\…")
// through dosdevices/unc; each component matches a directory entry exactly or else without
// regard to ASCII letter case, as Windows file names do. "." and ".." are resolved first. Any
// other name is a Unix name and is used as it is ('\' included: it is a character there).
std::filesystem::path MapWindowsFileName(std::string_view name,
                                         const std::filesystem::path& winePrefix);

}  // namespace qelt
