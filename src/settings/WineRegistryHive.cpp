#include "settings/WineRegistryHive.h"

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "settings/FuncLib.h"
#include "settings/RegistryBackend.h"
#include "settings/TextEncoding.h"

namespace qelt {

namespace {

constexpr std::string_view kHiveHeader = "WINE REGISTRY Version 2";

bool IsStringType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

void AppendUtf16Le(std::string& bytes, std::uint32_t unit) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>((unit >> 8) & 0xFF);
}

// One UTF-8 sequence at `pos` as UTF-16LE units; a byte that starts no valid sequence becomes
// U+FFFD, so a damaged file still reads.
void AppendUtf8Sequence(std::string_view text, std::size_t& pos, std::string& utf16) {
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    std::uint32_t codePoint = length == 1   ? lead
                              : length == 2 ? (lead & 0x1F)
                              : length == 3 ? (lead & 0x0F)
                                            : (lead & 0x07);
    for (std::size_t i = 1; i < length; ++i) {
        if (pos + i >= text.size() || (byte(pos + i) & 0xC0) != 0x80) {
            length = 0;
            break;
        }
        codePoint = (codePoint << 6) | (byte(pos + i) & 0x3F);
    }
    if (length == 0 || codePoint > 0x10FFFF) {
        AppendUtf16Le(utf16, 0xFFFD);
        ++pos;
        return;
    }
    if (codePoint >= 0x10000) {
        AppendUtf16Le(utf16, 0xD800 + ((codePoint - 0x10000) >> 10));
        AppendUtf16Le(utf16, 0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    } else {
        AppendUtf16Le(utf16, codePoint);
    }
    pos += length;
}

// An escaped string as Wine writes key and value names and string data, from `pos` up to the
// unescaped `endChar`; `pos` ends after it. The result is UTF-16LE, as Wine keeps it. Nothing
// when the string is not closed.
std::optional<std::string> ParseEscaped(std::string_view line, std::size_t& pos, char endChar) {
    std::string utf16;
    while (pos < line.size() && line[pos] != endChar) {
        if (line[pos] != '\\' || pos + 1 >= line.size()) {
            AppendUtf8Sequence(line, pos, utf16);
            continue;
        }
        const char escaped = line[++pos];
        ++pos;
        switch (escaped) {
            case 'a':
                AppendUtf16Le(utf16, '\a');
                break;
            case 'b':
                AppendUtf16Le(utf16, '\b');
                break;
            case 'e':
                AppendUtf16Le(utf16, 0x1B);
                break;
            case 'f':
                AppendUtf16Le(utf16, '\f');
                break;
            case 'n':
                AppendUtf16Le(utf16, '\n');
                break;
            case 'r':
                AppendUtf16Le(utf16, '\r');
                break;
            case 't':
                AppendUtf16Le(utf16, '\t');
                break;
            case 'v':
                AppendUtf16Le(utf16, '\v');
                break;
            case 'x': {  // up to four hex digits: one UTF-16 unit
                std::uint32_t unit = 0;
                int digits = 0;
                for (; digits < 4 && pos < line.size() && HexDigit(line[pos]) >= 0; ++digits) {
                    unit = unit * 16 + static_cast<std::uint32_t>(HexDigit(line[pos++]));
                }
                AppendUtf16Le(utf16, digits == 0 ? 'x' : unit);
                break;
            }
            default:
                if (escaped >= '0' && escaped <= '7') {  // up to three octal digits
                    std::uint32_t unit = static_cast<std::uint32_t>(escaped - '0');
                    for (int digits = 1;
                         digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7';
                         ++digits) {
                        unit = unit * 8 + static_cast<std::uint32_t>(line[pos++] - '0');
                    }
                    AppendUtf16Le(utf16, unit);
                } else {  // \\, \" and any other character stand for themselves
                    --pos;
                    AppendUtf8Sequence(line, pos, utf16);
                }
        }
    }
    if (pos >= line.size()) {
        return std::nullopt;
    }
    ++pos;
    return utf16;
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view text, std::size_t& pos,
                                            int maxDigits) {
    std::uint32_t number = 0;
    int digits = 0;
    for (; digits < maxDigits && pos < text.size() && HexDigit(text[pos]) >= 0; ++digits) {
        number = number * 16 + static_cast<std::uint32_t>(HexDigit(text[pos++]));
    }
    return digits == 0 ? std::nullopt : std::optional(number);
}

// Reads the lines of a hive file one at a time; CR LF and LF both end a line.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool Next(std::string_view& line) {
        if (pos_ >= text_.size()) {
            return false;
        }
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        line = text_.substr(pos_, end - pos_);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        // A last line without its line end ends the text.
        pos_ = end < text_.size() ? end + 1 : end;
        return true;
    }

    // Where the next line starts.
    std::size_t Position() const { return pos_; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// "xx,xx,…" bytes; a '\' at the end of a line continues the list on the next line.
std::optional<std::string> ParseHexBytes(std::string_view line, std::size_t pos,
                                         LineReader& lines) {
    std::string bytes;
    while (true) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == ',')) {
            ++pos;
        }
        if (pos >= line.size()) {
            return bytes;
        }
        if (line[pos] == '\\' && pos + 1 == line.size()) {
            if (!lines.Next(line)) {
                return bytes;
            }
            pos = 0;
            continue;
        }
        const auto byte = ParseHexNumber(line, pos, 2);
        if (!byte) {
            return std::nullopt;
        }
        bytes += static_cast<char>(*byte);
    }
}

// The data after "=": "text", str(N):"text", dword:n, hex:… or hex(N):…
std::optional<RegistryValue> ParseValueData(std::string_view line, std::size_t pos,
                                            LineReader& lines) {
    const std::string_view rest = line.substr(pos);
    std::uint32_t type = kRegSz;
    if (rest.starts_with("str(")) {
        pos += 4;
        const auto parsed = ParseHexNumber(line, pos, 8);
        if (!parsed || line.substr(pos).substr(0, 3) != "):\"") {
            return std::nullopt;
        }
        type = *parsed;
        pos += 2;
    }
    if (pos < line.size() && line[pos] == '"') {
        ++pos;
        const auto utf16 = ParseEscaped(line, pos, '"');
        if (!utf16) {
            return std::nullopt;
        }
        // Wine writes a string without the NUL it stores after it.
        return RegistryValue{type, Utf16LeToUtf8(*utf16) + '\0'};
    }
    if (rest.starts_with("dword:")) {
        pos += 6;
        const auto number = ParseHexNumber(line, pos, 8);
        if (!number) {
            return std::nullopt;
        }
        std::string data;
        for (int shift = 0; shift < 32; shift += 8) {
            data += static_cast<char>((*number >> shift) & 0xFF);
        }
        return RegistryValue{kRegDword, data};
    }
    if (rest.starts_with("hex:")) {
        type = kRegBinary;
        pos += 4;
    } else if (rest.starts_with("hex(")) {
        pos += 4;
        const auto parsed = ParseHexNumber(line, pos, 8);
        if (!parsed || line.substr(pos).substr(0, 2) != "):") {
            return std::nullopt;
        }
        type = *parsed;
        pos += 2;
    } else {
        return std::nullopt;
    }
    auto bytes = ParseHexBytes(line, pos, lines);
    if (!bytes) {
        return std::nullopt;
    }
    // Wine keeps strings as UTF-16LE; as the A functions return them they are UTF-8 here.
    return RegistryValue{type, IsStringType(type) ? Utf16LeToUtf8(*bytes) : std::move(*bytes)};
}

// The values in the lines of one key's body, added to `hive` under `keyPath`.
void ParseKeyValues(std::string_view body, const std::string& keyPath, RegistryHive& hive) {
    LineReader lines(body);
    std::string_view line;
    while (lines.Next(line)) {
        if (!line.starts_with('"') && !line.starts_with('@')) {
            continue;  // "#time=…" options, comments, blank lines
        }
        std::size_t pos = 1;
        std::string valueName;
        if (line[0] == '"') {
            const auto name = ParseEscaped(line, pos, '"');
            if (!name) {
                continue;
            }
            valueName = Utf16LeToUtf8(*name);
        }
        if (pos >= line.size() || line[pos] != '=') {
            continue;
        }
        if (auto value = ParseValueData(line, pos + 1, lines)) {
            hive.SetValue(keyPath, valueName, std::move(*value));
        }
    }
}

}  // namespace

void WinePrefixRegistry::HiveFile::Refresh(const std::filesystem::path& file) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(file, error);
    const auto size = error ? 0 : std::filesystem::file_size(file, error);
    if (error) {
        *this = HiveFile{};
        return;
    }
    if (file == path && time == modified && size == bytes) {
        return;
    }
    *this = HiveFile{};
    auto bytesRead = ReadFileBytes(file);
    if (!bytesRead) {
        return;
    }
    text = std::move(*bytesRead);
    LineReader lines(text);
    std::string_view line;
    if (!lines.Next(line) || !line.starts_with(kHiveHeader)) {
        text.clear();
        return;
    }
    path = file;
    modified = time;
    bytes = size;
    std::vector<std::pair<std::size_t, std::size_t>>* body = nullptr;
    while (lines.Next(line)) {
        if (line.starts_with('[')) {
            std::size_t pos = 1;
            const auto name = ParseEscaped(line, pos, ']');
            body = nullptr;
            if (name && !name->empty()) {
                const std::string lower = LowerAscii(Utf16LeToUtf8(*name));
                body = &keys[lower];
                body->emplace_back(lines.Position(), lines.Position());
                // Keys above a saved key exist even when Wine saved no line for them.
                for (auto separator = lower.find('\\'); separator != std::string::npos;
                     separator = lower.find('\\', separator + 1)) {
                    keys.try_emplace(lower.substr(0, separator));
                }
            }
        } else if (body != nullptr) {
            body->back().second = lines.Position();
        }
    }
}

WinePrefixRegistry::WinePrefixRegistry(PrefixSource prefix) : prefix_(std::move(prefix)) {}

std::optional<RegistryHive::Values> WinePrefixRegistry::ReadKey(const std::string& path) {
    const auto canonical = RegistryHive::CanonicalPath(path);
    if (!canonical) {
        return std::nullopt;
    }
    const auto separator = canonical->find('\\');
    const std::string root = canonical->substr(0, separator);
    HiveFile* hive = nullptr;
    std::filesystem::path file;
    if (root == "hkey_local_machine") {
        hive = &machine_;
        file = prefix_() / "system.reg";
    } else if (root == "hkey_current_user") {
        hive = &user_;
        file = prefix_() / "user.reg";
    } else {
        return std::nullopt;
    }
    hive->Refresh(file);
    if (separator == std::string::npos) {
        return RegistryHive::Values{};  // the roots always exist
    }
    const auto key = hive->keys.find(canonical->substr(separator + 1));
    if (key == hive->keys.end()) {
        return std::nullopt;
    }
    RegistryHive parsed;
    parsed.AddKey(*canonical);
    for (const auto& [begin, end] : key->second) {
        ParseKeyValues(std::string_view(hive->text).substr(begin, end - begin), *canonical, parsed);
    }
    return *parsed.FindKey(*canonical);
}

long WinePrefixRegistry::OpenKey(RegKeyHandle parent, std::string_view subKey, RegKeyHandle& key) {
    std::lock_guard lock(mutex_);
    std::string path;
    if (parent == kHKeyLocalMachine) {
        path = "HKEY_LOCAL_MACHINE";
    } else if (parent == kHKeyCurrentUser) {
        path = "HKEY_CURRENT_USER";
    } else if (const auto opened = opened_.find(parent); opened != opened_.end()) {
        path = opened->second.path;
    } else {
        return kRegInvalidHandle;
    }
    if (subKey.ends_with('\\')) {
        subKey.remove_suffix(1);
    }
    if (!subKey.empty()) {
        path += '\\';
        path += subKey;
    }
    auto values = ReadKey(path);
    if (!values) {
        return kRegFileNotFound;
    }
    key = nextHandle_++;
    opened_.emplace(key, OpenedKey{std::move(path), std::move(*values)});
    return kRegSuccess;
}

long WinePrefixRegistry::QueryValue(RegKeyHandle key, std::string_view valueName,
                                    std::uint32_t& type, std::string* data, std::uint32_t& size) {
    std::lock_guard lock(mutex_);
    std::optional<RegistryHive::Values> rootValues;
    const RegistryHive::Values* values = nullptr;
    if (key == kHKeyLocalMachine || key == kHKeyCurrentUser) {
        rootValues = ReadKey(key == kHKeyLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER");
        values = &*rootValues;
    } else if (const auto opened = opened_.find(key); opened != opened_.end()) {
        values = &opened->second.values;
    } else {
        return kRegInvalidHandle;
    }
    return QueryHiveValue(*values, valueName, type, data, size);
}

long WinePrefixRegistry::CloseKey(RegKeyHandle key) {
    if (key == kHKeyLocalMachine || key == kHKeyCurrentUser) {
        return kRegSuccess;
    }
    std::lock_guard lock(mutex_);
    return opened_.erase(key) == 1 ? kRegSuccess : kRegInvalidHandle;
}

std::size_t WinePrefixRegistry::ExpandEnvironment(std::string_view source, std::string& destination,
                                                  std::size_t capacity) {
    return ExpandEnvironmentInto(source, destination, capacity);
}

}  // namespace qelt
