// Registry export files (regedit's text format) read into an in-memory registry.
#include "settings/RegeditFile.h"

#include <cstdint>
#include <string>

#include "settings/TextEncoding.h"
#include "text/Ascii.h"
#include "text/Hex.h"
#include "text/Lines.h"
#include "text/Trim.h"
#include "text/Utf.h"

namespace qelt {

namespace {

constexpr std::string_view kBlank = " \t";

// A quoted text starting at text[0] == '"', with \\ \" \n \r and \0 escapes. Advances `text`
// past the closing quote.
std::optional<std::string> ParseQuoted(std::string_view& text) {
    std::string unescaped;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            text.remove_prefix(i + 1);
            return unescaped;
        }
        if (text[i] == '\\' && i + 1 < text.size()) {
            switch (text[++i]) {
                case 'n':
                    unescaped += '\n';
                    break;
                case 'r':
                    unescaped += '\r';
                    break;
                case '0':
                    unescaped += '\0';
                    break;
                case '\\':
                case '"':
                    unescaped += text[i];
                    break;
                default:
                    unescaped += '\\';
                    unescaped += text[i];
            }
        } else {
            unescaped += text[i];
        }
    }
    return std::nullopt;
}

// "00,4a,ff" (a final comma allowed) as bytes.
std::optional<std::string> ParseHexBytes(std::string_view list) {
    std::string bytes;
    list = text::Trim(list, kBlank);
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view item = text::Trim(list.substr(0, comma), kBlank);
        const auto value = text::ParseHexDword(item);
        if (!value || item.size() > 2) {
            return std::nullopt;
        }
        bytes += static_cast<char>(*value);
        if (comma == std::string_view::npos) {
            break;
        }
        list = text::TrimLeft(list.substr(comma + 1), kBlank);
    }
    return bytes;
}

class RegeditParser {
  public:
    RegeditParser(text::LineSplitter lines, bool unicode) : lines_(lines), unicode_(unicode) {}

    RegistryHive Parse() {
        for (std::string_view rawLine; lines_.Next(rawLine);) {
            const std::string_view line = text::TrimLeft(rawLine, kBlank);
            if (line.starts_with('[')) {
                KeyLine(line);
            } else if (currentKey_ && (line.starts_with('"') || line.starts_with('@'))) {
                ValueLine(line);
            }
        }
        return std::move(hive_);
    }

  private:
    void KeyLine(std::string_view line) {
        currentKey_.reset();
        const auto close = line.rfind(']');
        if (close == std::string_view::npos) {
            return;
        }
        const std::string_view path = line.substr(1, close - 1);
        if (path.starts_with('-')) {
            hive_.DeleteKey(path.substr(1));
        } else {
            currentKey_ = hive_.CreateKey(path);
        }
    }

    void ValueLine(std::string_view line) {
        std::string name;
        if (line.starts_with('@')) {
            line.remove_prefix(1);
        } else if (auto quoted = ParseQuoted(line)) {
            name = std::move(*quoted);
        } else {
            return;
        }
        line = text::TrimLeft(line, kBlank);
        if (!line.starts_with('=')) {
            return;
        }
        line = text::Trim(line.substr(1), kBlank);
        if (line == "-") {
            hive_.DeleteValue(*currentKey_, name);
        } else if (auto value = ParseData(line)) {
            hive_.SetValue(*currentKey_, name, std::move(*value));
        }
    }

    std::optional<RegistryValue> ParseData(std::string_view data) {
        if (data.starts_with('"')) {
            auto text = ParseQuoted(data);
            if (!text || !data.empty()) {
                return std::nullopt;
            }
            return RegistryValue{kRegSz, *text + '\0'};
        }
        if (text::StartsWithIgnoringAsciiCase(data, "dword:")) {
            const auto number = text::ParseHexDword(data.substr(6));
            if (!number) {
                return std::nullopt;
            }
            return DwordValue(*number);
        }
        if (!text::StartsWithIgnoringAsciiCase(data, "hex")) {
            return std::nullopt;
        }
        // Read the continuation lines even when the type turns out bad, so they are not
        // mistaken for lines of their own.
        const std::string list = JoinContinuation(data);
        std::uint32_t type = kRegBinary;
        std::string_view rest = list;
        rest.remove_prefix(3);
        if (rest.starts_with('(')) {
            const auto close = rest.find(')');
            const auto number = text::ParseHexDword(rest.substr(1, close - 1));
            if (close == std::string_view::npos || !number) {
                return std::nullopt;
            }
            type = *number;
            rest.remove_prefix(close + 1);
        }
        if (!rest.starts_with(':')) {
            return std::nullopt;
        }
        auto bytes = ParseHexBytes(rest.substr(1));
        if (!bytes) {
            return std::nullopt;
        }
        const bool stringType = type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
        if (stringType && unicode_) {
            return RegistryValue{type, text::Utf16LeBytesToUtf8(*bytes)};
        }
        return RegistryValue{type, std::move(*bytes)};
    }

    // A hex list continues on the next line while a line ends in '\'.
    std::string JoinContinuation(std::string_view first) {
        std::string joined(first);
        std::string_view line;
        while (joined.ends_with('\\')) {
            joined.pop_back();
            if (!lines_.Next(line)) {
                break;
            }
            joined += text::Trim(line, kBlank);
        }
        return joined;
    }

    text::LineSplitter lines_;
    bool unicode_;
    RegistryHive hive_;
    std::optional<RegistryHive::KeyId> currentKey_;
};

}  // namespace

std::optional<RegistryHive> ParseRegeditFile(std::string_view bytes) {
    std::string converted;
    text::LineSplitter lines(DecodeTextFile(bytes, converted));
    std::string_view header;
    while (lines.Next(header) && text::Trim(header, kBlank).empty()) {
    }
    header = text::Trim(header, kBlank);
    bool unicode = true;
    if (header == "REGEDIT4") {
        unicode = false;
    } else if (header != "Windows Registry Editor Version 5.00") {
        return std::nullopt;
    }
    return RegeditParser(lines, unicode).Parse();
}

}  // namespace qelt
