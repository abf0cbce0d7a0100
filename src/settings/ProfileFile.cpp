#include "settings/ProfileFile.h"

#include <cstdlib>

#include "settings/FuncLib.h"
#include "settings/TextEncoding.h"
#include "settings/WinePaths.h"

namespace qelt {

namespace {

// Blanks around keys and values: space and the control characters tab to carriage return.
constexpr std::string_view kBlanks = " \t\n\v\f\r";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The first `bufferSize - 1` characters, counted as UTF-8 sequences.
ProfileValue CopyIntoBuffer(std::string_view text, std::uint32_t bufferSize) {
    if (bufferSize == 0) {
        return {};
    }
    std::uint32_t characters = 0;
    std::size_t end = 0;
    for (; end < text.size(); ++end) {
        const bool continuation = (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
        if (!continuation) {
            if (characters == bufferSize - 1) {
                break;
            }
            ++characters;
        }
    }
    return {characters, std::string(text.substr(0, end))};
}

// Calls `visit` with each line of the text; CR LF, LF and lone CR all end a line.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
    while (!text.empty()) {
        const auto end = text.find_first_of("\r\n");
        if (!visit(text.substr(0, end))) {
            return;
        }
        if (end == std::string_view::npos) {
            return;
        }
        text.remove_prefix(end + 1);
    }
}

std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
    enum class Position {
        BeforeSection,
        InSection,
        AfterSection
    } position = Position::BeforeSection;
    std::optional<std::string_view> found;
    ForEachLine(text, [&](std::string_view rawLine) {
        const std::string_view line = Trim(rawLine);
        const auto close = line.find(']');
        if (line.starts_with('[') && close != std::string_view::npos) {
            // Only the first section of that name counts; the name ends at the first ']'.
            if (position == Position::InSection) {
                position = Position::AfterSection;
                return false;
            }
            if (EqualsIgnoringAsciiCase(Trim(line.substr(1, close - 1)), section)) {
                position = Position::InSection;
            }
            return true;
        }
        const auto equals = line.find('=');
        if (position == Position::InSection && equals != std::string_view::npos &&
            EqualsIgnoringAsciiCase(Trim(line.substr(0, equals)), key)) {
            found = Unquote(Trim(line.substr(equals + 1)));
            return false;
        }
        return true;
    });
    return found;
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
        const std::string text = DecodeTextFile(*fileBytes);
        if (const auto value = FindValue(text, section, key)) {
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
