#include "settings/ProfileFile.h"

#include <cstdlib>

#include "settings/TextEncoding.h"
#include "settings/WinePaths.h"
#include "text/Ascii.h"
#include "text/Lines.h"
#include "text/Trim.h"
#include "text/Utf.h"

namespace qelt {

namespace {

// Blanks around keys and values: space and the control characters tab to carriage return.
constexpr std::string_view kBlanks = " \t\n\v\f\r";

std::string_view Trim(std::string_view text) {
    return text::Trim(text, kBlanks);
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The first `bufferSize - 1` characters, a character being what the text layer decodes as one
// (a byte that is not well-formed UTF-8 counts as one, as its replacement would).
ProfileValue CopyIntoBuffer(std::string_view text, std::uint32_t bufferSize) {
    if (bufferSize == 0) {
        return {};
    }
    std::uint32_t characters = 0;
    std::size_t end = 0;
    while (end < text.size() && characters < bufferSize - 1) {
        text::DecodeUtf8(text, end);
        ++characters;
    }
    return {characters, std::string(text.substr(0, end))};
}

// The value as stored: trimmed, ended at a NUL as the platform's C strings end there, then one
// pair of quotes dropped.
std::string_view StoredValue(std::string_view afterEquals) {
    const std::string_view trimmed = Trim(afterEquals);
    return Unquote(trimmed.substr(0, trimmed.find('\0')));
}

std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
    enum class Position { BeforeSection, InSection } position = Position::BeforeSection;
    text::LineSplitter lines(text);
    for (std::string_view rawLine; lines.Next(rawLine);) {
        const std::string_view line = Trim(rawLine);
        const auto close = line.find(']');
        if (line.starts_with('[') && close != std::string_view::npos) {
            // Only the first section of that name counts; the name ends at the first ']'.
            if (position == Position::InSection) {
                return std::nullopt;
            }
            if (text::EqualsIgnoringAsciiCase(Trim(line.substr(1, close - 1)), section)) {
                position = Position::InSection;
            }
            continue;
        }
        const auto equals = line.find('=');
        if (position == Position::InSection && equals != std::string_view::npos &&
            text::EqualsIgnoringAsciiCase(Trim(line.substr(0, equals)), key)) {
            return StoredValue(line.substr(equals + 1));
        }
    }
    return std::nullopt;
}

std::filesystem::path WindowsDirectory() {
    if (const char* windows = std::getenv("QELT_WINDOWS_DIR"); windows && *windows) {
        return windows;
    }
    return WinePrefixFolder() / "drive_c" / "windows";
}

}  // namespace

ProfileValue ReadProfileText(std::optional<std::string_view> fileBytes, std::string_view section,
                             std::string_view key, std::string_view defaultValue,
                             std::uint32_t bufferSize) {
    if (fileBytes) {
        std::string converted;
        if (const auto value = FindValue(DecodeTextFile(*fileBytes, converted), section, key)) {
            return CopyIntoBuffer(*value, bufferSize);
        }
    }
    const auto lastNonSpace = defaultValue.find_last_not_of(' ');
    return CopyIntoBuffer(defaultValue.substr(0, lastNonSpace + 1), bufferSize);
}

std::filesystem::path LocateProfileFile(std::string_view fileName) {
    if (fileName.find_first_of("\\/") == std::string_view::npos) {
        return WindowsDirectory() / std::filesystem::path(std::string(fileName));
    }
    // The one place that turns a profile file name into a path: Windows-form names (C:\...)
    // through the Wine prefix's drives, Unix names as written.
    return MapWindowsFileName(fileName, WinePrefixFolder());
}

std::uint32_t ProfileFileReader::ReadProfileString(std::string_view section, std::string_view key,
                                                   std::string_view defaultValue,
                                                   std::string& value, std::uint32_t bufferSize,
                                                   std::string_view fileName) {
    const auto bytes = ReadFileBytes(LocateProfileFile(fileName));
    ProfileValue read =
        ReadProfileText(bytes ? std::optional<std::string_view>(*bytes) : std::nullopt, section,
                        key, defaultValue, bufferSize);
    value = std::move(read.text);
    return read.count;
}

}  // namespace qelt
