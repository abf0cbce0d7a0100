// Our own profile (INI) file reader, for where the Windows one is not available.
#include "settings/ProfileFile.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "settings/TextEncoding.h"
#include "settings/WinePaths.h"
#include "text/Ascii.h"
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

// Settings lines are short. A longer one (a file without line ends is one line) is read as its
// first kLongestLine bytes followed by its last non-blank byte: memory stays bounded whatever the
// file, and a long quoted value still loses its quotes.
constexpr std::size_t kLongestLine = std::size_t{64} << 10;

// A file is read this many bytes at a time.
constexpr std::size_t kFilePiece = std::size_t{1} << 20;

// Hands the finder the lines of a text that arrives in parts: only the line not yet complete is
// held, and of that at most kLongestLine bytes. A CR LF gives an empty line after the CR, which
// matches nothing.
class LineFeeder {
  public:
    explicit LineFeeder(ValueFinder& finder) : finder_(finder) {}

    // Takes the next part of the text; false once the search is over.
    bool Feed(std::string_view text) {
        // The next LF and CR are each searched for once (memchr is fast; a search for either
        // byte at once is not), and kept until the lines pass them.
        std::size_t nextLf = text.find('\n');
        std::size_t nextCr = text.find('\r');
        std::size_t start = 0;
        for (std::size_t end; (end = std::min(nextLf, nextCr)) != std::string_view::npos;) {
            const std::string_view line = text.substr(start, end - start);
            if (!(line_.empty() && !overlong_ ? finder_.Take(line) : TakeHeld(line))) {
                return false;
            }
            start = end + 1;
            nextLf = nextLf == end ? text.find('\n', start) : nextLf;
            nextCr = nextCr == end ? text.find('\r', start) : nextCr;
        }
        Hold(text.substr(start));
        return true;
    }

    // The text has ended: its last line, if it had no line end.
    void End() {
        if (!line_.empty() || overlong_) {
            TakeHeld({});
        }
    }

  private:
    void Hold(std::string_view part) {
        const std::size_t room = kLongestLine - line_.size();
        line_.append(part.substr(0, room));
        if (part.size() > room) {
            overlong_ = true;
            if (const auto last = part.find_last_not_of(kBlanks);
                last >= room && last != part.npos) {
                lastNonBlank_ = part[last];
            }
        }
    }

    // The held start of a line and its rest.
    bool TakeHeld(std::string_view rest) {
        Hold(rest);
        if (lastNonBlank_) {
            line_ += *lastNonBlank_;
        }
        const bool goesOn = finder_.Take(line_);
        line_.clear();
        overlong_ = false;
        lastNonBlank_.reset();
        return goesOn;
    }

    ValueFinder& finder_;
    std::string line_;
    bool overlong_ = false;
    std::optional<char> lastNonBlank_;  // of the bytes beyond kLongestLine
};

// The text of a settings file as its bytes arrive, its lines handed to the finder: a UTF-8
// byte-order mark skipped, UTF-16 (LE or BE, with its byte-order mark) converted a slice at a
// time, so that no more than a slice's UTF-8 is held whatever the file.
class ProfileText {
  public:
    explicit ProfileText(ValueFinder& finder) : lines_(finder) {}

    // Takes the next bytes of the file; false once the search is over.
    bool Feed(std::string_view bytes) {
        if (!encodingKnown_) {
            // The first bytes are held until they show whether a byte-order mark begins the file.
            const std::size_t take = std::min(bytes.size(), kLongestMark - start_.size());
            start_.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            if (start_.size() < kLongestMark) {
                return true;
            }
            if (!ReadMark()) {
                return false;
            }
        }
        return Pass(bytes);
    }

    // The file has ended.
    void End() {
        if (!encodingKnown_ && !ReadMark()) {
            return;
        }
        if (utf16_) {
            converted_.clear();
            utf16_->Finish(converted_);
            if (!lines_.Feed(converted_)) {
                return;
            }
        }
        lines_.End();
    }

  private:
    static constexpr std::size_t kLongestMark = 3;
    // UTF-16 bytes converted at once: their UTF-8 takes at most 1.5 times as many bytes.
    static constexpr std::size_t kUtf16Slice = std::size_t{64} << 10;

    // Takes the encoding from the held first bytes and passes on the text after the mark.
    bool ReadMark() {
        encodingKnown_ = true;
        std::string_view start = start_;
        if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) {
            utf16_.emplace(start[0] == '\xFF' ? text::Utf16BytesDecoder::ByteOrder::kLittleEndian
                                              : text::Utf16BytesDecoder::ByteOrder::kBigEndian);
            start.remove_prefix(2);
        } else if (start.starts_with("\xEF\xBB\xBF")) {
            start.remove_prefix(3);
        }
        return Pass(start);
    }

    bool Pass(std::string_view bytes) {
        if (!utf16_) {
            return lines_.Feed(bytes);
        }
        for (std::size_t at = 0; at < bytes.size(); at += kUtf16Slice) {
            converted_.clear();
            utf16_->Append(bytes.substr(at, kUtf16Slice), converted_);
            if (!lines_.Feed(converted_)) {
                return false;
            }
        }
        return true;
    }

    LineFeeder lines_;
    bool encodingKnown_ = false;
    std::string start_;  // the first bytes, until the encoding is known
    std::optional<text::Utf16BytesDecoder> utf16_;
    std::string converted_;  // the UTF-8 of the latest UTF-16 slice
};

// Searches the file a piece at a time, so that a file of any size is read once and never held
// whole. False when reading fails.
bool SearchFile(RegularFile& file, ValueFinder& finder) {
    std::vector<char> piece(kFilePiece);
    ProfileText text(finder);
    while (true) {
        const long long count = file.Read(piece.data(), piece.size());
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            text.End();
            return true;
        }
        if (!text.Feed(std::string_view(piece.data(), static_cast<std::size_t>(count)))) {
            return true;
        }
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
        ProfileText text(finder);
        if (text.Feed(*fileBytes)) {
            text.End();
        }
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
