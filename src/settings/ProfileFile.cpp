#include "settings/ProfileFile.h"

#include <cstdlib>
#include <vector>

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
std::string StoredValue(std::string_view afterEquals) {
    const std::string_view trimmed = Trim(afterEquals);
    return std::string(Unquote(trimmed.substr(0, trimmed.find('\0'))));
}

// Looks for the key line by line: only the first section of the name counts, and the first
// matching key in it.
class ValueFinder {
  public:
    ValueFinder(std::string_view section, std::string_view key) : section_(section), key_(key) {}

    // Takes the next line; false once the search is over.
    bool Take(std::string_view rawLine) {
        const std::string_view line = Trim(rawLine);
        const auto close = line.find(']');
        if (line.starts_with('[') && close != std::string_view::npos) {
            // The section's name ends at the first ']'.
            if (inSection_) {
                return false;
            }
            inSection_ = text::EqualsIgnoringAsciiCase(Trim(line.substr(1, close - 1)), section_);
            return true;
        }
        const auto equals = line.find('=');
        if (inSection_ && equals != std::string_view::npos &&
            text::EqualsIgnoringAsciiCase(Trim(line.substr(0, equals)), key_)) {
            found_ = StoredValue(line.substr(equals + 1));
            return false;
        }
        return true;
    }

    // Takes every line of the text.
    void TakeAll(std::string_view text) {
        text::LineSplitter lines(text);
        for (std::string_view line; lines.Next(line) && Take(line);) {
        }
    }

    const std::optional<std::string>& Found() const { return found_; }

  private:
    std::string_view section_;
    std::string_view key_;
    bool inSection_ = false;
    std::optional<std::string> found_;
};

ProfileValue Answer(const std::optional<std::string>& found, std::string_view defaultValue,
                    std::uint32_t bufferSize) {
    if (found) {
        return CopyIntoBuffer(*found, bufferSize);
    }
    const auto lastNonSpace = defaultValue.find_last_not_of(' ');
    return CopyIntoBuffer(defaultValue.substr(0, lastNonSpace + 1), bufferSize);
}

// Searches the file a piece at a time, so that a file of any size is read once and never held
// whole: only a line that is not complete yet is carried over to the next piece. A UTF-16 file
// is converted whole. False when reading fails.
bool SearchFile(RegularFile& file, ValueFinder& finder) {
    std::vector<char> piece(std::size_t{1} << 20);
    std::string pending;
    bool first = true;
    while (true) {
        const long long count = file.Read(piece.data(), piece.size());
        if (count < 0) {
            return false;
        }
        const std::size_t searchedBefore = pending.size();
        pending.append(piece.data(), static_cast<std::size_t>(count));
        if (first && (pending.size() >= 3 || count == 0)) {
            first = false;
            if (pending.starts_with("\xFF\xFE")) {
                for (long long more = 1; more > 0;) {
                    more = file.Read(piece.data(), piece.size());
                    if (more < 0) {
                        return false;
                    }
                    pending.append(piece.data(), static_cast<std::size_t>(more));
                }
                std::string converted;
                finder.TakeAll(DecodeTextFile(pending, converted));
                return true;
            }
            if (pending.starts_with("\xEF\xBB\xBF")) {
                pending.erase(0, 3);
            }
        }
        if (count == 0) {
            finder.TakeAll(pending);
            return true;
        }
        if (first) {
            continue;
        }
        // Complete lines end at the last line end; a CR last of all may be half of a CR LF, so
        // it stays for the next piece (an empty line then, which matches nothing).
        const auto lastEnd = std::string_view(pending)
                                 .substr(searchedBefore > 3 ? searchedBefore - 3 : 0)
                                 .find_last_of("\r\n");
        if (lastEnd == std::string_view::npos) {
            continue;
        }
        std::size_t complete = (searchedBefore > 3 ? searchedBefore - 3 : 0) + lastEnd;
        if (pending[complete] == '\n' || complete + 1 < pending.size()) {
            ++complete;
        }
        text::LineSplitter lines(std::string_view(pending).substr(0, complete));
        for (std::string_view line; lines.Next(line);) {
            if (!finder.Take(line)) {
                return true;
            }
        }
        pending.erase(0, complete);
    }
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
    ValueFinder finder(section, key);
    if (fileBytes) {
        std::string converted;
        finder.TakeAll(DecodeTextFile(*fileBytes, converted));
    }
    return Answer(finder.Found(), defaultValue, bufferSize);
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
    ValueFinder finder(section, key);
    if (auto file = RegularFile::Open(LocateProfileFile(fileName))) {
        if (!SearchFile(*file, finder)) {
            finder = ValueFinder(section, key);  // a file that cannot be read is no file
        }
    }
    ProfileValue read = Answer(finder.Found(), defaultValue, bufferSize);
    value = std::move(read.text);
    return read.count;
}

}  // namespace qelt
