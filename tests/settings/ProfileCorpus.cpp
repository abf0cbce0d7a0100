#include "settings/ProfileCorpus.h"

#include <array>
#include <random>
#include <string_view>

namespace qelt::testing_support {

namespace {

// minstd_rand's output is fixed by the C++ standard; distributions are not, hence Pick.
class Chooser {
  public:
    explicit Chooser(std::uint32_t seed) : engine_(seed) {}

    std::size_t Below(std::size_t bound) { return engine_() % bound; }
    bool OneIn(std::size_t n) { return Below(n) == 0; }

    template <typename Container>
    const auto& Pick(const Container& items) {
        return items[Below(items.size())];
    }

  private:
    std::minstd_rand engine_;
};

constexpr std::array<std::string_view, 6> kSectionLines = {
    "[General]", "[ General ]", "[general]", "[GENERAL]\t", "[General] trailing text", "[Other]"};

// Lines that are odd as sections: a ']' inside the name, no ']' at all, nothing inside.
constexpr std::array<std::string_view, 4> kOddSectionLines = {"[Gen]eral]", "[General", "[]",
                                                              "  [General]  "};

constexpr std::array<std::string_view, 5> kKeys = {"IniPath", "inipath", "INIPATH", "DataPath",
                                                   "Key"};

// {K} stands for the key, {V} for the value.
constexpr std::array<std::string_view, 16> kKeyLines = {"{K}={V}",
                                                        "{K} = {V}",
                                                        "\t{K}\t=\t{V}\t",
                                                        "  {K}={V}  ",
                                                        "{K}={V} ;not a comment",
                                                        ";{K}={V}",
                                                        "#{K}={V}",
                                                        "{K}",
                                                        "{K}=",
                                                        "{K}=   ",
                                                        "={V}",
                                                        "{K}=a={V}",
                                                        "{K} x={V}",
                                                        "{K}\v=\f{V}",
                                                        "{K}={V}\x0b",
                                                        "{K}=\t{V}"};

constexpr std::array<std::string_view, 3> kFillerLines = {"", "   ", "; a comment"};

std::string Quoted(char quote, std::size_t length) {
    return quote + std::string(length, 'q') + quote;
}

std::string Value(Chooser& choose) {
    static const std::array<std::string, 22> values = {
        "C:\\Program Files\\QeltOne\\",
        "plain",
        "\"quoted\"",
        "'single'",
        "\"mismatched'",
        "\" spaced \"",
        "\"\"",
        "''",
        "\"",
        "a\"b\"",
        "\"a\"b",
        "$(MyDocuments)\\QeltOne",
        "D:\\Shared",
        "two  inner  blanks",
        "DSN=Server1",
        std::string(300, 'v'),
        std::string(254, 'w'),
        std::string(255, 'w'),
        Quoted('"', 253),
        Quoted('"', 254),
        Quoted('\'', 255),
        Quoted('"', 256),
    };
    return choose.Pick(values);
}

std::string Expand(std::string_view pattern, std::string_view key, std::string_view value) {
    std::string line;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.substr(i, 3) == "{K}") {
            line += key;
            i += 2;
        } else if (pattern.substr(i, 3) == "{V}") {
            line += value;
            i += 2;
        } else {
            line += pattern[i];
        }
    }
    return line;
}

std::string Line(Chooser& choose) {
    switch (choose.Below(10)) {
        case 0:
            return std::string(choose.Pick(kSectionLines));
        case 2:
            return choose.OneIn(3) ? std::string(choose.Pick(kOddSectionLines))
                                   : std::string(choose.Pick(kFillerLines));
        default:
            return Expand(choose.Pick(kKeyLines), choose.Pick(kKeys), Value(choose));
    }
}

std::string Utf16Le(std::string_view ascii) {
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

}  // namespace

std::vector<ProfileCase> GenerateProfileCorpus(std::size_t count, std::uint32_t seed) {
    static constexpr std::array<std::string_view, 4> kLineEnds = {"\r\n", "\n", "\r", "\n\r"};
    // Lookups mostly ask for what the files hold, so that most answers come from the files.
    static constexpr std::array<std::string_view, 3> kSections = {"General", "general", "GENERAL"};
    static constexpr std::array<std::string_view, 2> kOtherSections = {"Other", "Missing"};
    static constexpr std::array<std::string_view, 2> kLookupKeys = {"IniPath", "inipath"};
    static constexpr std::array<std::string_view, 5> kOtherLookupKeys = {
        "DataPath", "Key", ";IniPath", "Missing", "IniPath x"};
    static constexpr std::array<std::string_view, 6> kDefaults = {
        "", "QeltOne.mdb", "C:\\Host\\", "def   ", "   def", "def\t"};
    Chooser choose(seed);
    std::vector<ProfileCase> cases;
    cases.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        ProfileCase c;
        c.fileExists = !choose.OneIn(20);
        const std::string_view lineEnd = choose.Pick(kLineEnds);
        std::string text;
        // Most files open with the section the lookup wants, as real ones do.
        if (!choose.OneIn(4)) {
            text += std::string("[General]") += lineEnd;
        }
        const std::size_t lines = 1 + choose.Below(8);
        for (std::size_t line = 0; line < lines; ++line) {
            text += Line(choose);
            if (line + 1 < lines || !choose.OneIn(3)) {
                text += lineEnd;
            }
        }
        switch (choose.Below(8)) {
            case 0:
                c.fileBytes = "\xEF\xBB\xBF" + text;
                break;
            case 1:
                c.fileBytes = Utf16Le(text);
                break;
            default:
                c.fileBytes = text;
        }
        if (!c.fileExists) {
            c.fileBytes.clear();
        }
        c.section = choose.OneIn(5) ? choose.Pick(kOtherSections) : choose.Pick(kSections);
        c.key = choose.Below(10) < 6 ? choose.Pick(kLookupKeys) : choose.Pick(kOtherLookupKeys);
        c.defaultValue = choose.OneIn(20) ? "   " : choose.Pick(kDefaults);
        cases.push_back(std::move(c));
    }
    return cases;
}

std::string Describe(const ProfileCase& c) {
    std::string text =
        "lookup [" + c.section + "] \"" + c.key + "\", default \"" + c.defaultValue + "\", ";
    if (!c.fileExists) {
        return text + "no file";
    }
    text += "file:\n";
    for (const char ch : c.fileBytes) {
        if (ch == '\r') {
            text += "\\r";
        } else if (ch == '\n') {
            text += "\\n\n";
        } else if (ch == '\0') {
            text += "\\0";
        } else if (ch == '\t') {
            text += "\\t";
        } else if (static_cast<unsigned char>(ch) < 0x20 ||
                   static_cast<unsigned char>(ch) >= 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            text += "\\x";
            text += kHex[(static_cast<unsigned char>(ch) >> 4) & 0xF];
            text += kHex[static_cast<unsigned char>(ch) & 0xF];
        } else {
            text += ch;
        }
    }
    return text;
}

}  // namespace qelt::testing_support
