// The Windows profile reader (GetPrivateProfileStringA; Wine's here) through the Windows
// backend, and our own reader compared with it on a generated corpus.

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "settings/ProfileBackend.h"
#include "settings/ProfileCorpus.h"
#include "settings/ProfileFile.h"
#include "settings/TextEncoding.h"
#include "support/CaseName.h"
#include "support/TempFolder.h"
#include "text/Ascii.h"
#include "text/Lines.h"

namespace qelt {
namespace {

namespace fs = std::filesystem;
using testing_support::Describe;
using testing_support::GenerateProfileCorpus;
using testing_support::ProfileCase;

constexpr std::uint32_t kBufferSize = 255;

class ProfileWin32Test : public testing::Test {
  protected:
    // Writes the file and returns its name as the settings code passes it: UTF-8 text.
    std::string Write(std::string_view utf8Name, const std::string& bytes) {
        const fs::path file =
            folder_.Path() / fs::path(std::u8string(utf8Name.begin(), utf8Name.end()));
        test::WriteFile(file, bytes);
        const std::u8string name = file.u8string();
        return std::string(name.begin(), name.end());
    }

    std::string FileName(std::string_view name) const {
        const std::u8string folder = folder_.Path().u8string();
        return std::string(folder.begin(), folder.end()) + "\\" + std::string(name);
    }

    static ProfileValue Read(const std::string& fileName, const std::string& section,
                             const std::string& key, const std::string& defaultValue) {
        ProfileValue read;
        read.count = SystemProfileReader().ReadProfileString(section, key, defaultValue, read.text,
                                                             kBufferSize, fileName);
        return read;
    }

    const test::TempFolder folder_;
};

struct AnsiCase {
    const char* name;
    std::string fileBytes;  // as stored: code page 1252
    const char* key;
    const char* defaultValue;
    std::string expected;  // UTF-8
};

class ProfileWin32AnsiTest : public ProfileWin32Test,
                             public testing::WithParamInterface<AnsiCase> {};

TEST_P(ProfileWin32AnsiTest, ConvertsBetweenUtf8AndTheAnsiCodePage) {
    const AnsiCase& c = GetParam();
    const std::string file = Write("ansi.ini", c.fileBytes);
    EXPECT_EQ(Read(file, "General", c.key, c.defaultValue).text, c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWin32AnsiTest,
    testing::Values(
        AnsiCase{"value", "[General]\r\nDataPath=D:\\Caf\xe9\\\r\n", "DataPath", "",
                 "D:\\Caf\xc3\xa9\\"},
        AnsiCase{"key", "[General]\r\nSchl\xfcssel=ja\r\n", "Schl\xc3\xbcssel", "", "ja"},
        // Letter case is folded for ASCII letters only, by Wine's reader as by ours: the U
        // with diaeresis must match in its case.
        AnsiCase{"key of another case", "[General]\r\nSCHL\xdcSSEL=ja\r\n", "schl\xc3\xbcssel",
                 "not found", "not found"},
        AnsiCase{"key with only ASCII letters of another case", "[General]\r\nSCHL\xdcSSEL=ja\r\n",
                 "schl\xc3\x9cssel", "not found", "ja"},
        AnsiCase{"default", "[General]\r\n", "Missing", "M\xc3\xbcller  ", "M\xc3\xbcller"},
        AnsiCase{"euro sign", "[General]\r\nPrice=\x80 5\r\n", "Price", "", "\xe2\x82\xac 5"}),
    test::CaseNameOf());

TEST_F(ProfileWin32Test, FindsFilesWithNonAsciiNames) {
    const std::string file = Write("M\xc3\xbcller.ini", "[General]\r\nIniPath=found\r\n");
    EXPECT_EQ(Read(file, "General", "IniPath", "default").text, "found");
}

TEST_F(ProfileWin32Test, CutsLongValuesToTheBuffer) {
    const std::string file = Write("long.ini", "[General]\r\nIniPath=" + std::string(300, 'x'));
    const ProfileValue read = Read(file, "General", "IniPath", "");
    EXPECT_EQ(read.count, 254u);
    EXPECT_EQ(read.text, std::string(254, 'x'));
}

TEST_F(ProfileWin32Test, LooksUpNamesWithoutFolderInTheWindowsDirectory) {
    // The wine_prefix fixture put this file into C:\windows.
    EXPECT_EQ(Read("QeltAuditTests.ini", "General", "IniPath", "").text,
              "C:\\FromWindowsDirectory\\");
    EXPECT_EQ(Read(FileName("QeltAuditTests.ini"), "General", "IniPath", "none").text, "none");
}

// --- The portable reader against the Windows one -------------------------------------------

// Trailing blanks go from a default; Wine's loop stops before the first character, so a default
// of spaces only keeps one.
std::string WineDefault(std::string_view defaultValue) {
    const auto last = defaultValue.find_last_not_of(' ');
    if (last == std::string_view::npos) {
        return std::string(defaultValue.substr(0, 1));
    }
    return std::string(defaultValue.substr(0, last + 1));
}

bool IsSpacesOnly(std::string_view text) {
    return !text.empty() && text.find_first_not_of(' ') == std::string_view::npos;
}

// A line that is only the key, without '='.
bool HasBareKeyLine(const ProfileCase& c) {
    std::string converted;
    constexpr std::string_view kBlanks = " \t\n\v\f\r";
    for (std::string_view line : text::SplitLines(DecodeTextFile(c.fileBytes, converted))) {
        const auto first = line.find_first_not_of(kBlanks);
        if (first != std::string_view::npos) {
            line = line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
            if (text::EqualsIgnoringAsciiCase(line, c.key)) {
                return true;
            }
        }
    }
    return false;
}

// Where the two readers differ on purpose. Each kind has its own test below with the reason.
enum class Difference { AllSpaceDefault, QuotedValueFillsBuffer, BareKeyLineFirst, Unexplained };

Difference Classify(const ProfileCase& c, const ProfileValue& portable,
                    const ProfileValue& windows) {
    if (windows.text == WineDefault(c.defaultValue)) {
        if (HasBareKeyLine(c)) {
            return Difference::BareKeyLineFirst;
        }
        if (IsSpacesOnly(c.defaultValue) && portable.text.empty()) {
            return Difference::AllSpaceDefault;
        }
    }
    if (portable.count == kBufferSize - 1 && windows.count == kBufferSize - 2 &&
        windows.text == portable.text.substr(0, windows.text.size())) {
        return Difference::QuotedValueFillsBuffer;
    }
    return Difference::Unexplained;
}

TEST_F(ProfileWin32Test, PortableReaderAnswersAsTheWindowsReaderOnAGeneratedCorpus) {
    const auto cases = GenerateProfileCorpus(2500, 20261207);
    std::size_t agreements = 0;
    std::size_t valuesFromFiles = 0;
    std::map<Difference, std::size_t> differences;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ProfileCase& c = cases[i];
        const std::string name = "case" + std::to_string(i) + ".ini";
        const std::string file = c.fileExists ? Write(name, c.fileBytes) : FileName(name);
        const ProfileValue portable = ReadProfileText(
            c.fileExists ? std::optional<std::string_view>(c.fileBytes) : std::nullopt, c.section,
            c.key, c.defaultValue, kBufferSize);
        const ProfileValue windows = Read(file, c.section, c.key, c.defaultValue);
        if (portable.count == windows.count && portable.text == windows.text) {
            ++agreements;
            valuesFromFiles += portable.text != WineDefault(c.defaultValue);
            continue;
        }
        const Difference difference = Classify(c, portable, windows);
        ++differences[difference];
        if (difference == Difference::Unexplained && differences[difference] <= 10) {
            ADD_FAILURE() << "case " << i << ": ours " << portable.count << " \"" << portable.text
                          << "\", Windows " << windows.count << " \"" << windows.text << "\"\n"
                          << Describe(c);
        }
    }
    std::cout << "profile corpus: " << cases.size() << " cases, " << agreements << " agreements ("
              << valuesFromFiles << " with a value from the file), "
              << "documented differences: all-space default "
              << differences[Difference::AllSpaceDefault] << ", quoted value filling the buffer "
              << differences[Difference::QuotedValueFillsBuffer] << ", bare key line first "
              << differences[Difference::BareKeyLineFirst] << "\n";
    EXPECT_EQ(differences[Difference::Unexplained], 0u);
    EXPECT_GE(cases.size(), 2000u);
}

// Each documented difference on one small file: what each reader answers, and why ours stays.
struct DifferenceCase {
    const char* name;  // the difference
    std::string fileBytes;
    const char* key;
    const char* defaultValue;
    ProfileValue ours;
    ProfileValue windows;
};

class ProfileDifferenceTest : public ProfileWin32Test,
                              public testing::WithParamInterface<DifferenceCase> {};

TEST_P(ProfileDifferenceTest, IsAsDocumented) {
    const DifferenceCase& c = GetParam();
    const std::string file = Write("difference.ini", c.fileBytes);
    const ProfileValue ours = ReadProfileText(c.fileBytes, "General", c.key, c.defaultValue, 255);
    const ProfileValue windows = Read(file, "General", c.key, c.defaultValue);
    EXPECT_EQ(ours.count, c.ours.count) << c.name;
    EXPECT_EQ(ours.text, c.ours.text) << c.name;
    EXPECT_EQ(windows.count, c.windows.count) << c.name;
    EXPECT_EQ(windows.text, c.windows.text) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Documented, ProfileDifferenceTest,
    testing::Values(
        // The documented rule removes every trailing space of the default; Wine's loop stops at
        // the first character. No default of the settings lookups is spaces only.
        DifferenceCase{"all-space default", "[General]\r\n", "Missing", "   ", {0, ""}, {1, " "}},
        // Wine copies the value with its closing quote into the buffer and then drops the last
        // character, losing a real one when the quoted text only just fits. Ours keeps all 254.
        DifferenceCase{"quoted value filling the buffer",
                       "[General]\r\nIniPath=\"" + std::string(254, 'q') + "\"\r\n",
                       "IniPath",
                       "",
                       {254, std::string(254, 'q')},
                       {253, std::string(253, 'q')}},
        // A line holding only the key name is a key without a value to Wine, and as the first
        // key of that name it hides the real one. Windows' documented rule is that such a line
        // is no key; ours skips it and finds the value.
        DifferenceCase{"bare key line first",
                       "[General]\r\nIniPath\r\nIniPath=C:\\Data\\\r\n",
                       "IniPath",
                       "def",
                       {8, "C:\\Data\\"},
                       {3, "def"}}),
    test::CaseNameOf());

}  // namespace
}  // namespace qelt
