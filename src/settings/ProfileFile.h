// Our own profile (INI) file reader, for where the Windows one is not available.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "settings/ProfileBackend.h"

// Our own profile (INI) file reader, for where the Windows one is not available. It reads like
// the Windows one: section and key names matched without regard to case, keys and values
// trimmed of blanks, one pair of quotes around a value dropped, the first matching section and
// key win, CR LF, LF or CR line ends, UTF-8 (byte-order mark skipped) or UTF-16 (LE or BE) with
// byte-order mark. A file is read a piece at a time, never whole: a line longer than 64 KiB (of
// its text as UTF-8) counts as its first 64 KiB and its last non-blank byte.
namespace qelt {

struct ProfileValue {
    std::uint32_t count = 0;  // characters copied, as the platform call returns it
    std::string text;
};

// Looks the key up in the bytes of a profile file; no bytes means the file could not be read.
// The result holds at most bufferSize - 1 characters (UTF-8 sequences are never split); a
// default is copied without its trailing spaces.
ProfileValue ReadProfileText(std::optional<std::string_view> fileBytes, std::string_view section,
                             std::string_view key, std::string_view defaultValue,
                             std::uint32_t bufferSize);

// Where a profile file name points: a name without '\' or '/' lies in the Windows directory
// (QELT_WINDOWS_DIR, else $WINEPREFIX/drive_c/windows, WINEPREFIX defaulting to ~/.wine).
std::filesystem::path LocateProfileFile(std::string_view fileName);

class ProfileFileReader final : public ProfileBackend {
  public:
    std::uint32_t ReadProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::string& value,
                                    std::uint32_t bufferSize, std::string_view fileName) override;
};

}  // namespace qelt
