// The registry of a Wine prefix, read from Wine's own hive files.
#include "settings/WineRegistryHive.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include <pwd.h>
#include <unistd.h>

#include "settings/RegistryBackend.h"
#include "settings/TextEncoding.h"
#include "text/Ascii.h"
#include "text/Hex.h"
#include "text/Lines.h"
#include "text/Utf.h"

namespace qelt {

namespace {

constexpr std::string_view kHiveHeader = "WINE REGISTRY Version 2";

bool IsStringType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// The single-letter escapes Wine writes, and the control characters they stand for.
constexpr std::array<std::pair<char, char16_t>, 8> kLetterEscapes{{
    {'a', u'\a'},
    {'b', u'\b'},
    {'e', char16_t{0x1B}},
    {'f', u'\f'},
    {'n', u'\n'},
    {'r', u'\r'},
    {'t', u'\t'},
    {'v', u'\v'},
}};

// Appends what the escape after a '\' stands for; `pos` is at the character after the '\' and
// ends after the escape.
void AppendEscape(std::string_view line, std::size_t& pos, std::u16string& utf16) {
    const char escaped = line[pos++];
    if (const auto letter =
            std::ranges::find(kLetterEscapes, escaped, &std::pair<char, char16_t>::first);
        letter != kLetterEscapes.end()) {
        utf16 += letter->second;
    } else if (escaped == 'x') {  // up to four hex digits: one UTF-16 unit
        const auto unit = text::ParseHexPrefix(line, pos, 4);
        utf16 += unit ? static_cast<char16_t>(*unit) : u'x';
    } else if (escaped >= '0' && escaped <= '7') {  // up to three octal digits
        auto unit = static_cast<char16_t>(escaped - '0');
        for (int digits = 1;
             digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++digits) {
            unit = static_cast<char16_t>(unit * 8 + (line[pos++] - '0'));
        }
        utf16 += unit;
    } else {  // \\, \" and any other character stand for themselves
        const std::size_t start = --pos;
        text::DecodeUtf8(line, pos);
        utf16 += text::Utf8ToUtf16(line.substr(start, pos - start));
    }
}

// An escaped string as Wine writes key and value names and string data, from `pos` up to the
// unescaped `endChar`; `pos` ends after it. The result is UTF-16, as Wine keeps it: a \x escape
// is one UTF-16 unit and may be half of a surrogate pair. Nothing when the string is not closed.
std::optional<std::u16string> ParseEscaped(std::string_view line, std::size_t& pos, char endChar) {
    std::u16string utf16;
    while (pos < line.size() && line[pos] != endChar) {
        if (line[pos] == '\\' && pos + 1 < line.size()) {
            ++pos;
            AppendEscape(line, pos, utf16);
            continue;
        }
        // A run of plain text, up to the next escape or the end.
        std::size_t runEnd = pos + 1;
        while (runEnd < line.size() && line[runEnd] != '\\' && line[runEnd] != endChar) {
            ++runEnd;
        }
        utf16 += text::Utf8ToUtf16(line.substr(pos, runEnd - pos));
        pos = runEnd;
    }
    if (pos >= line.size()) {
        return std::nullopt;
    }
    ++pos;
    return utf16;
}

// "xx,xx,…" bytes; a '\' at the end of a line continues the list on the next line.
std::optional<std::string> ParseHexBytes(std::string_view line, std::size_t pos,
                                         text::LineSplitter& lines) {
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
        const auto byte = text::ParseHexPrefix(line, pos, 2);
        if (!byte) {
            return std::nullopt;
        }
        bytes += static_cast<char>(*byte);
    }
}

// The hexadecimal type number of str(N) or hex(N) at `pos` and the "):" after it; `pos` ends
// after them.
std::optional<std::uint32_t> ParseTypeNumber(std::string_view line, std::size_t& pos) {
    const auto number = text::ParseHexPrefix(line, pos, 8);
    if (!number || !line.substr(pos).starts_with("):")) {
        return std::nullopt;
    }
    pos += 2;
    return number;
}

// The data after "=": "text", str(N):"text", dword:n, hex:… or hex(N):…
std::optional<RegistryValue> ParseValueData(std::string_view line, std::size_t pos,
                                            text::LineSplitter& lines) {
    const std::string_view rest = line.substr(pos);
    std::uint32_t type = kRegSz;
    if (rest.starts_with("str(")) {
        pos += 4;
        const auto parsed = ParseTypeNumber(line, pos);
        if (!parsed || !line.substr(pos).starts_with('"')) {
            return std::nullopt;
        }
        type = *parsed;
    }
    if (pos < line.size() && line[pos] == '"') {
        ++pos;
        const auto utf16 = ParseEscaped(line, pos, '"');
        if (!utf16) {
            return std::nullopt;
        }
        // Wine writes a string without the NUL it stores after it.
        return RegistryValue{type, text::Utf16ToUtf8(*utf16) + '\0'};
    }
    if (rest.starts_with("dword:")) {
        pos += 6;
        const auto number = text::ParseHexPrefix(line, pos, 8);
        if (!number) {
            return std::nullopt;
        }
        return DwordValue(*number);
    }
    if (rest.starts_with("hex:")) {
        type = kRegBinary;
        pos += 4;
    } else if (rest.starts_with("hex(")) {
        pos += 4;
        const auto parsed = ParseTypeNumber(line, pos);
        if (!parsed) {
            return std::nullopt;
        }
        type = *parsed;
    } else {
        return std::nullopt;
    }
    auto bytes = ParseHexBytes(line, pos, lines);
    if (!bytes) {
        return std::nullopt;
    }
    // Wine keeps strings as UTF-16LE; as the A functions return them they are UTF-8 here.
    return RegistryValue{type,
                         IsStringType(type) ? text::Utf16LeBytesToUtf8(*bytes) : std::move(*bytes)};
}

// The values in the lines of one key's body, added to that key of `hive`.
void ParseKeyValues(std::string_view body, RegistryHive::KeyId key, RegistryHive& hive) {
    text::LineSplitter lines(body);
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
            valueName = text::Utf16ToUtf8(*name);
        }
        if (pos >= line.size() || line[pos] != '=') {
            continue;
        }
        if (auto value = ParseValueData(line, pos + 1, lines)) {
            hive.SetValue(key, valueName, std::move(*value));
        }
    }
}

// A string value of a key as a program reads it: cut at its NUL; nothing for other types.
std::optional<std::string> StringValue(const RegistryHive::Values* values, std::string_view name) {
    if (values == nullptr) {
        return std::nullopt;
    }
    const auto value = values->find(text::AsciiLower(name));
    if (value == values->end() ||
        (value->second.type != kRegSz && value->second.type != kRegExpandSz)) {
        return std::nullopt;
    }
    const std::string& data = value->second.data;
    return data.substr(0, data.find('\0'));
}

// A variable by its lower-cased name, as Wine compares names.
void SetVariable(std::map<std::string, std::string>& variables, std::string_view name,
                 std::string value) {
    variables[text::AsciiLower(name)] = std::move(value);
}

// The Unix environment without the variables Wine sets itself.
void SetUnixVariables(std::map<std::string, std::string>& variables) {
    static constexpr std::array<std::string_view, 5> kWineOwn{"HOME", "PATH", "PWD", "TEMP", "TMP"};
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view assignment(*entry);
        const auto equals = assignment.find('=');
        const std::string_view name = assignment.substr(0, equals);
        if (equals != std::string_view::npos && equals > 0 &&
            std::ranges::find(kWineOwn, name) == kWineOwn.end()) {
            SetVariable(variables, name, std::string(assignment.substr(equals + 1)));
        }
    }
}

// The folders Wine sets the same in every prefix.
void SetWineFolders(std::map<std::string, std::string>& variables) {
    SetVariable(variables, "SystemDrive", "C:");
    SetVariable(variables, "SystemRoot", "C:\\windows");
    SetVariable(variables, "windir", "C:\\windows");
    SetVariable(variables, "winsysdir", "C:\\windows\\system32");
}

// The user's profile folders, named after the Unix user.
void SetUserFolders(std::map<std::string, std::string>& variables) {
    const passwd* user = getpwuid(getuid());
    const std::string profile = "C:\\users\\" + std::string(user != nullptr ? user->pw_name : "");
    SetVariable(variables, "USERPROFILE", profile);
    SetVariable(variables, "APPDATA", profile + "\\AppData\\Roaming");
    SetVariable(variables, "LOCALAPPDATA", profile + "\\AppData\\Local");
}

}  // namespace

void WinePrefixRegistry::HiveFile::Load(const std::filesystem::path& file, std::string_view root) {
    if (loaded && file == path) {
        return;
    }
    *this = HiveFile{};
    loaded = true;
    path = file;
    text = ReadFileBytes(file).value_or(std::string());
    text::LineSplitter lines(text);
    std::string_view line;
    if (!lines.Next(line) || !line.starts_with(kHiveHeader)) {
        text.clear();
        return;
    }
    std::vector<std::pair<std::size_t, std::size_t>>* body = nullptr;
    while (lines.Next(line)) {
        if (line.starts_with('[')) {
            std::size_t pos = 1;
            const auto name = ParseEscaped(line, pos, ']');
            body = nullptr;
            // Keys above a saved key exist even when Wine saved no line for them.
            if (const auto key = name && !name->empty() ? keys.CreateKey(std::string(root) + '\\' +
                                                                         text::Utf16ToUtf8(*name))
                                                        : std::nullopt) {
                body = &unparsed[*key];
                body->emplace_back(lines.Position(), lines.Position());
            }
        } else if (body != nullptr) {
            body->back().second = lines.Position();
        }
    }
}

const RegistryHive::Values* WinePrefixRegistry::HiveFile::FindKey(std::string_view keyPath) {
    const auto key = keys.FindKeyId(keyPath);
    if (!key) {
        return nullptr;
    }
    // A key's values are parsed when it is first asked for.
    if (const auto lines = unparsed.find(*key); lines != unparsed.end()) {
        for (const auto& [begin, end] : lines->second) {
            ParseKeyValues(std::string_view(text).substr(begin, end - begin), *key, keys);
        }
        unparsed.erase(lines);
    }
    return &keys.ValuesOf(*key);
}

WinePrefixRegistry::WinePrefixRegistry(PrefixSource prefix) : prefix_(std::move(prefix)) {}

const RegistryHive::Values* WinePrefixRegistry::FindKey(std::string_view path) {
    const std::filesystem::path prefix = prefix_();
    if (text::StartsWithIgnoringAsciiCase(path, kLocalMachineRoot)) {
        machine_.Load(prefix / "system.reg", kLocalMachineRoot);
        return machine_.FindKey(path);
    }
    if (text::StartsWithIgnoringAsciiCase(path, kCurrentUserRoot)) {
        user_.Load(prefix / "user.reg", kCurrentUserRoot);
        return user_.FindKey(path);
    }
    return nullptr;
}

// The environment Wine gives a program in the prefix, in the order Wine builds it: the Unix
// environment without the variables Wine sets itself, Wine's fixed folders and those the
// registry names, then the Environment keys, whose REG_EXPAND_SZ values expand from what is
// there before them.
const WinePrefixRegistry::Environment& WinePrefixRegistry::WineEnvironment() {
    const std::filesystem::path prefix = prefix_();
    if (environment_ && environment_->prefix == prefix) {
        return *environment_;
    }
    Environment environment{prefix, {}};
    SetUnixVariables(environment.variables);
    SetWineFolders(environment.variables);
    SetRegistryFolders(environment.variables);
    SetUserFolders(environment.variables);
    SetEnvironmentKeys(environment.variables);
    environment_ = std::move(environment);
    return *environment_;
}

// The folders the registry names, with Wine's defaults where it names none.
void WinePrefixRegistry::SetRegistryFolders(std::map<std::string, std::string>& variables) {
    const auto read = [this](const std::string& keyPath, std::string_view name,
                             std::string_view fallback) {
        return StringValue(FindKey(keyPath), name).value_or(std::string(fallback));
    };
    const std::string currentVersion =
        std::string(kLocalMachineRoot) + "\\Software\\Microsoft\\Windows\\CurrentVersion";
    const std::string programFiles = read(currentVersion, "ProgramFilesDir", "C:\\Program Files");
    const std::string commonFiles =
        read(currentVersion, "CommonFilesDir", "C:\\Program Files\\Common Files");
    SetVariable(variables, "ProgramFiles", programFiles);
    SetVariable(variables, "ProgramW6432", programFiles);
    SetVariable(variables, "ProgramFiles(x86)",
                read(currentVersion, "ProgramFilesDir (x86)", "C:\\Program Files (x86)"));
    SetVariable(variables, "CommonProgramFiles", commonFiles);
    SetVariable(variables, "CommonProgramW6432", commonFiles);
    SetVariable(
        variables, "CommonProgramFiles(x86)",
        read(currentVersion, "CommonFilesDir (x86)", "C:\\Program Files (x86)\\Common Files"));
    const std::string profileList =
        std::string(kLocalMachineRoot) +
        "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    const std::string programData = read(profileList, "ProgramData", "C:\\ProgramData");
    SetVariable(variables, "ProgramData", programData);
    SetVariable(variables, "ALLUSERSPROFILE", programData);
    SetVariable(variables, "PUBLIC", read(profileList, "Public", "C:\\users\\Public"));
}

// The Environment keys' strings; a REG_EXPAND_SZ value expands from the variables set before it.
void WinePrefixRegistry::SetEnvironmentKeys(std::map<std::string, std::string>& variables) {
    const std::string machine(kLocalMachineRoot);
    const std::string user(kCurrentUserRoot);
    for (const std::string& keyPath :
         {machine + "\\System\\CurrentControlSet\\Control\\Session Manager\\Environment",
          user + "\\Environment", user + "\\Volatile Environment"}) {
        const RegistryHive::Values* values = FindKey(keyPath);
        if (values == nullptr) {
            continue;
        }
        for (const auto& [name, value] : *values) {
            if (value.type != kRegSz && value.type != kRegExpandSz) {
                continue;
            }
            std::string data = value.data.substr(0, value.data.find('\0'));
            if (value.type == kRegExpandSz) {
                data = ExpandEnvironmentReferences(data, [&variables](std::string_view wanted) {
                    return Lookup(variables, wanted);
                });
            }
            SetVariable(variables, name, std::move(data));
        }
    }
}

std::optional<std::string> WinePrefixRegistry::Lookup(
    const std::map<std::string, std::string>& variables, std::string_view name) {
    const auto found = variables.find(text::AsciiLower(name));
    return found == variables.end() ? std::nullopt : std::optional(found->second);
}

std::size_t WinePrefixRegistry::ExpandEnvironment(std::string_view source, std::string& destination,
                                                  std::size_t capacity) {
    const auto& variables = WineEnvironment().variables;
    return ExpandEnvironmentInto(
        source, destination, capacity,
        [&variables](std::string_view name) { return Lookup(variables, name); });
}

}  // namespace qelt
