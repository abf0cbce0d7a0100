#include "settings/ProfileFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "SettingsTestSupport.h"
#include "text/Utf.h"

namespace qelt {
namespace {

using namespace std::string_literals;

struct ReadCase {
    std::string name;
    std::optional<std::string> file;  // nothing: the file is missing
    std::string key;
    std::string defaultValue;
    std::uint32_t count;
    std::string text;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadProfileTextTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadProfileTextTest, ReadsLikeTheWindowsReader) {
    const ReadCase& c = GetParam();
    const auto file = c.file ? std::optional<std::string_view>(*c.file) : std::nullopt;
    const ProfileValue value = ReadProfileText(file, "General", c.key, c.defaultValue, 255);
    EXPECT_EQ(value.count, c.count);
    EXPECT_EQ(value.text, c.text);
}

const std::string kLong300(300, 'x');
const std::string kLong100K(100000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadProfileTextTest,
    testing::Values(
        ReadCase{"Found", "[General]\r\nIniPath=D:\\Shared\\\r\n", "IniPath", "dflt", 10,
                 "D:\\Shared\\"},
        ReadCase{"MissingFile", std::nullopt, "IniPath", "C:\\Host\\  ", 8, "C:\\Host\\"},
        ReadCase{"DefaultKeepsLeadingSpacesAndTabs", std::nullopt, "k", "  a\t  ", 4, "  a\t"},
        ReadCase{"MissingKey", "[General]\r\nOther=1\r\n", "IniPath", "d ", 1, "d"},
        ReadCase{"MissingSection", "[Other]\r\nIniPath=1\r\n", "IniPath", "d", 1, "d"},
        ReadCase{"EmptyValueIsNotTheDefault", "[General]\r\nIniPath=\r\n", "IniPath", "d", 0, ""},
        ReadCase{"EmptyQuotesAreEmpty", "[General]\r\nIniPath=\"\"\r\n", "IniPath", "d", 0, ""},
        ReadCase{"CutTo254", "[General]\r\nk=" + kLong300 + "\r\n", "k", "", 254,
                 std::string(254, 'x')},
        ReadCase{"LongDefaultCutTo254", std::nullopt, "k", kLong300, 254, std::string(254, 'x')},
        ReadCase{"CutNeverSplitsACharacter",
                 "[General]\r\nk=" + std::string(253, 'x') + "\xC3\xA9\xC3\xA9\r\n", "k", "", 254,
                 std::string(253, 'x') + "\xC3\xA9"},
        ReadCase{"NamesIgnoreCase", "[GENERAL]\r\ninipath=v\r\n", "IniPath", "", 1, "v"},
        ReadCase{"ValueCaseKept", "[General]\r\nk=MiXeD\r\n", "k", "", 5, "MiXeD"},
        ReadCase{"KeysAndValuesTrimmed", "[General]\r\n \t k \t=\t v w \t\r\n", "k", "", 3, "v w"},
        ReadCase{"SectionNameTrimmed", "[ General ]\r\nk=v\r\n", "k", "", 1, "v"},
        ReadCase{"SectionNameEndsAtFirstBracket", "[General] ]x\r\nk=v\r\n", "k", "", 1, "v"},
        ReadCase{"DoubleQuotesDropped", "[General]\r\nk=\" a b \"\r\n", "k", "", 5, " a b "},
        ReadCase{"SingleQuotesDropped", "[General]\r\nk='a'\r\n", "k", "", 1, "a"},
        ReadCase{"OnlyOnePairDropped", "[General]\r\nk=\"\"a\"\"\r\n", "k", "", 3, "\"a\""},
        ReadCase{"MismatchedQuotesStay", "[General]\r\nk=\"a'\r\n", "k", "", 3, "\"a'"},
        ReadCase{"LoneQuoteStays", "[General]\r\nk=\"\r\n", "k", "", 1, "\""},
        ReadCase{"NoInlineComments", "[General]\r\nk=b ;c\r\n", "k", "", 4, "b ;c"},
        ReadCase{"CommentedKeyNotFound", "[General]\r\n;k=v\r\n", "k", "d", 1, "d"},
        ReadCase{"LineWithoutEqualsIsNoKey", "[General]\r\nk\r\n", "k", "d", 1, "d"},
        ReadCase{"ValueMayHoldEquals", "[General]\r\nk=DSN=Server1\r\n", "k", "", 11,
                 "DSN=Server1"},
        ReadCase{"FirstKeyWins", "[General]\r\nk=1\r\nK=2\r\n", "k", "", 1, "1"},
        ReadCase{"FirstSectionWins", "[General]\r\nx=1\r\n[general]\r\nk=2\r\n", "k", "d", 1, "d"},
        ReadCase{"KeyOfTheNextSectionNotFound", "[General]\r\n[Other]\r\nk=2\r\n", "k", "d", 1,
                 "d"},
        ReadCase{"KeysBeforeAnySectionIgnored", "k=0\r\n[General]\r\n", "k", "d", 1, "d"},
        ReadCase{"LfLineEnds", "[General]\nk=v\n", "k", "", 1, "v"},
        ReadCase{"CrLineEnds", "[General]\rj=w\rk=v\r", "k", "", 1, "v"},
        ReadCase{"NoFinalLineEnd", "[General]\r\nk=v", "k", "", 1, "v"},
        ReadCase{"Utf8BomSkipped", "\xEF\xBB\xBF[General]\r\nk=\xC3\xA9\r\n", "k", "", 1,
                 "\xC3\xA9"},
        ReadCase{"Utf16LeWithBom", "\xFF\xFE"s + qelt::test::Utf16Le("[General]\r\nk=v w\r\n"), "k",
                 "", 3, "v w"},
        ReadCase{"EmptyFile", "", "k", "d", 1, "d"},
        ReadCase{"NulEndsTheValue", "[General]\r\nk=ab\0cd\r\n"s, "k", "d", 2, "ab"},
        ReadCase{"NulFirstGivesEmpty", "[General]\r\nk=\0cd\r\n"s, "k", "d", 0, ""},
        ReadCase{"NulKeepsBlanksBeforeIt", "[General]\r\nk=ab \0 \r\n"s, "k", "d", 3, "ab "},
        ReadCase{"NulInsideQuotesLeavesTheOpeningQuote", "[General]\r\nk=\"ab\0c\"\r\n"s, "k", "d",
                 3, "\"ab"},
        ReadCase{"NulInUtf16File", "\xFF\xFE"s + qelt::test::Utf16Le("[General]\r\nk=ab\0cd\r\n"s),
                 "k", "d", 2, "ab"},
        ReadCase{"BinaryGarbage", "\0\x01\xFF[\x80=\n]"s, "k", "d", 1, "d"},
        // Lines longer than 64 KiB count as their first 64 KiB and their last non-blank byte.
        ReadCase{"LongValueCutTo254", "[General]\r\nk=" + kLong100K + "\r\n", "k", "", 254,
                 std::string(254, 'x')},
        ReadCase{"LongQuotedValueLosesItsQuotes", "[General]\r\nk=\"" + kLong100K + "\" \r\n", "k",
                 "", 254, std::string(254, 'x')},
        ReadCase{"LongValueQuotedBeforeLongBlanks",
                 "[General]\r\nk=\"" + kLong100K + "\"" + std::string(70000, ' ') + "\r\n", "k", "",
                 254, std::string(254, 'x')},
        ReadCase{"LongValueOpenQuoteStays", "[General]\r\nk=\"" + kLong100K + "\r\n", "k", "", 254,
                 "\"" + std::string(253, 'x')},
        ReadCase{"SectionNameBlanksBeyond64KiB", "[General" + std::string(70000, ' ') + "]\r\nk=v",
                 "k", "", 1, "v"},
        ReadCase{"KeyAfterALongLine", "[General]\r\n" + kLong100K + "=1\r\nk=v", "k", "", 1, "v"},
        ReadCase{"LongKeyIsNoKey", "[General]\r\nk" + kLong100K + "=v\r\nk=w", "k", "", 1, "w"},
        ReadCase{"FileOfNuls", std::string(std::size_t{2} << 20, '\0'), "k", "d", 1, "d"}),
    [](const auto& info) { return info.param.name; });

TEST(ReadProfileTextTest, BufferSizeBoundsTheCount) {
    EXPECT_EQ(ReadProfileText("[S]\nk=abcdef\n", "S", "k", "", 4).text, "abc");
    EXPECT_EQ(ReadProfileText("[S]\nk=abcdef\n", "S", "k", "", 1).count, 0u);
    EXPECT_EQ(ReadProfileText("[S]\nk=abcdef\n", "S", "k", "", 0).count, 0u);
}

struct LocateCase {
    std::string name;
    std::optional<std::string> windowsDir;
    std::optional<std::string> winePrefix;
    std::string fileName;
    std::string expected;
};

void PrintTo(const LocateCase& c, std::ostream* os) {
    *os << c.name;
}

class LocateProfileFileTest : public testing::TestWithParam<LocateCase> {};

TEST_P(LocateProfileFileTest, FolderLessNamesLieInTheWindowsDirectory) {
#ifdef _WIN32
    GTEST_SKIP() << "Unix paths of a Wine prefix; Windows opens profile files by their own names";
#endif
    const qelt::test::ScopedEnvironment windows("QELT_WINDOWS_DIR", GetParam().windowsDir);
    const qelt::test::ScopedEnvironment prefix("WINEPREFIX", GetParam().winePrefix);
    const qelt::test::ScopedEnvironment home("HOME", "/home/a");
    EXPECT_EQ(LocateProfileFile(GetParam().fileName).generic_string(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocateProfileFileTest,
    testing::Values(LocateCase{"WindowsDir", "/w", "/p", "QeltOne.ini", "/w/QeltOne.ini"},
                    LocateCase{"WinePrefix", std::nullopt, "/p", "QeltOne.ini",
                               "/p/drive_c/windows/QeltOne.ini"},
                    LocateCase{"EmptyWindowsDirFallsBack", "", "/p", "QeltOne.ini",
                               "/p/drive_c/windows/QeltOne.ini"},
                    LocateCase{"DefaultPrefix", std::nullopt, std::nullopt, "QeltOne.ini",
                               "/home/a/.wine/drive_c/windows/QeltOne.ini"},
                    LocateCase{"WithFolderAsWritten", "/w", std::nullopt, "/data/QeltOne.ini",
                               "/data/QeltOne.ini"},
                    LocateCase{"RelativeWithFolderAsWritten", "/w", std::nullopt, "sub/QeltOne.ini",
                               "sub/QeltOne.ini"},
                    LocateCase{"DriveNameThroughTheWinePrefix", "/w", std::nullopt,
                               "D:\\SharedQeltOne.ini",
                               "/home/a/.wine/dosdevices/d:/SharedQeltOne.ini"}),
    [](const auto& info) { return info.param.name; });

TEST(ProfileFileReaderTest, ReadsFilesAndFallsBackToTheDefault) {
    const qelt::test::TempFolder folder;
    const qelt::test::ScopedEnvironment windows("QELT_WINDOWS_DIR", folder.Path().string());
    qelt::test::WriteFile(folder.Path() / "QeltOne.ini", "[General]\nk=windows\n");
    qelt::test::WriteFile(folder.Path() / "sub" / "QeltOne.ini", "[General]\nk=sub\n");
    ProfileFileReader reader;
    std::string value;
    EXPECT_EQ(reader.ReadProfileString("General", "k", "d", value, 255, "QeltOne.ini"), 7u);
    EXPECT_EQ(value, "windows");
    EXPECT_EQ(reader.ReadProfileString("General", "k", "d", value, 255,
                                       folder.Folder() + "sub/QeltOne.ini"),
              3u);
    EXPECT_EQ(value, "sub");
    EXPECT_EQ(
        reader.ReadProfileString("General", "k", "d", value, 255, folder.Folder() + "missing.ini"),
        1u);
    EXPECT_EQ(value, "d");
    EXPECT_EQ(reader.ReadProfileString("General", "k", "d", value, 255, folder.Folder()), 1u);
    EXPECT_EQ(value, "d");
}

// The reader takes a file a piece (1 MiB) at a time; whatever falls on the border between two
// pieces, it must find what the whole text holds.
struct LargeFileCase {
    std::string name;
    std::string lineEnd;
    std::string bom;
};

void PrintTo(const LargeFileCase& c, std::ostream* os) {
    *os << c.name;
}

class LargeProfileFileTest : public testing::TestWithParam<LargeFileCase> {};

TEST_P(LargeProfileFileTest, FindsTheKeyWhereverPiecesEnd) {
    const qelt::test::TempFolder folder;
    const std::string& end = GetParam().lineEnd;
    ProfileFileReader reader;
    for (std::size_t shift = 0; shift < 8; ++shift) {
        const std::string text = GetParam().bom + "[General]" + end +
                                 "pad=" + std::string((std::size_t{1} << 20) - 20 + shift, 'p') +
                                 end + "quoted=\"" + std::string(std::size_t{1} << 20, 'q') + "\"" +
                                 end + "[Other]" + end + "k=other" + end + "[General]" + end +
                                 "k=v" + end + "[general]" + end + "  K = \"found\" " + end + "z=1";
        const std::string bytes =
            GetParam().bom == "\xFF\xFE" ? "\xFF\xFE" + qelt::test::Utf16Le(text.substr(2)) : text;
        const auto path = folder.Write("big.ini", bytes);
        std::string value;
        EXPECT_EQ(reader.ReadProfileString("General", "k", "d", value, 255, path.string()), 1u)
            << shift;
        EXPECT_EQ(value, "d") << "only the first [General] counts; shift " << shift;
        EXPECT_EQ(reader.ReadProfileString("Other", "K", "d", value, 255, path.string()), 5u);
        EXPECT_EQ(value, "other") << shift;
        EXPECT_EQ(reader.ReadProfileString("general", "pad", "", value, 255, path.string()), 254u);
        EXPECT_EQ(reader.ReadProfileString("General", "quoted", "", value, 255, path.string()),
                  254u);
        EXPECT_EQ(value, std::string(254, 'q')) << "the quotes of a line across pieces; " << shift;
        EXPECT_EQ(ReadProfileText(bytes, "Other", "k", "d", 255).text, "other");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LargeProfileFileTest,
                         testing::Values(LargeFileCase{"CrLf", "\r\n", ""},
                                         LargeFileCase{"Lf", "\n", ""},
                                         LargeFileCase{"Cr", "\r", ""},
                                         LargeFileCase{"Utf8Bom", "\r\n", "\xEF\xBB\xBF"},
                                         LargeFileCase{"Utf16", "\r\n", "\xFF\xFE"}),
                         [](const auto& info) { return info.param.name; });

// A file is searched the same whatever its encoding: each case's text is written as UTF-8,
// UTF-8 with its byte-order mark, and UTF-16LE and UTF-16BE with theirs, and every copy must give
// the expected value, read from disk a piece at a time and from memory alike.
struct EncodingCase {
    std::string name;
    std::string text;  // UTF-8
    std::string key;
    std::string expected;
    std::string utf16Tail;  // an odd final byte after the UTF-16 text
};

void PrintTo(const EncodingCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Utf16Be(std::string_view utf8) {
    std::string bytes = text::Utf8ToUtf16LeBytes(utf8);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::swap(bytes[i], bytes[i + 1]);
    }
    return bytes;
}

// The text padded so that the next character starts `unitsBefore` UTF-16 units ahead of the
// end of the reader's first 1 MiB piece of the UTF-16 file (the byte-order mark counts).
std::string PaddedToPieceEnd(std::string text, std::size_t unitsBefore) {
    const std::size_t units = text::Utf8ToUtf16(text).size() + 1;  // with the byte-order mark
    const std::size_t target = (std::size_t{1} << 19) - unitsBefore;
    return text + "pad=" + std::string(target - units - 6, 'p') + "\r\n";
}

const std::string kEmoji = "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair in UTF-16
const std::string kLongAccented = [] {
    std::string text;
    for (int i = 0; i < 50000; ++i) {
        text += "\xC3\xA9";  // é: 100,000 bytes of UTF-8, 50,000 UTF-16 units
    }
    return text;
}();

class ProfileEncodingTest : public testing::TestWithParam<EncodingCase> {};

TEST_P(ProfileEncodingTest, EveryEncodingGivesTheSameValue) {
    const EncodingCase& c = GetParam();
    const qelt::test::TempFolder folder;
    const std::pair<std::string, std::string> copies[] = {
        {"utf-8", c.text},
        {"utf-8 with byte-order mark", "\xEF\xBB\xBF" + c.text},
        {"utf-16le", "\xFF\xFE" + text::Utf8ToUtf16LeBytes(c.text) + c.utf16Tail},
        {"utf-16be", "\xFE\xFF" + Utf16Be(c.text) + c.utf16Tail}};
    ProfileFileReader reader;
    for (const auto& [encoding, bytes] : copies) {
        const auto path = folder.Write(encoding + ".ini", bytes);
        std::string value;
        reader.ReadProfileString("General", c.key, "default", value, 255, path.string());
        EXPECT_EQ(value, c.expected) << encoding << " from disk";
        EXPECT_EQ(ReadProfileText(bytes, "General", c.key, "default", 255).text, c.expected)
            << encoding << " from memory";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileEncodingTest,
    testing::Values(
        EncodingCase{"NonAsciiValue", "[General]\r\nk=M\xC3\xBCller \xE2\x82\xAC" + kEmoji + "\r\n",
                     "k", "M\xC3\xBCller \xE2\x82\xAC" + kEmoji, ""},
        EncodingCase{"SurrogatePairAcrossPieces",
                     PaddedToPieceEnd("[General]\r\n", 4) + "k=x" + kEmoji + "y\r\n", "k",
                     "x" + kEmoji + "y", ""},
        EncodingCase{"SurrogatePairEndsThePiece",
                     PaddedToPieceEnd("[General]\r\n", 5) + "k=x" + kEmoji + "y\r\n", "k",
                     "x" + kEmoji + "y", ""},
        EncodingCase{"LineEndAcrossPieces", PaddedToPieceEnd("[General]\r\n", 4) + "a=1\r\nk=v\r\n",
                     "k", "v", ""},
        EncodingCase{"OddByteAtTheEnd", "[General]\r\nk=v w", "k", "v w", "\x41"},
        EncodingCase{"NulEndsTheValue", "[General]\r\nk=ab\0cd\r\n"s, "k", "ab", ""},
        // 64 KiB of the text as UTF-8: 32,768 two-byte characters, then the last non-blank byte.
        EncodingCase{"LongLineOfTwoByteCharacters",
                     "[General]\r\nk=\"" + kLongAccented + "\"  \r\nj=1", "k",
                     kLongAccented.substr(0, 2 * 254), ""},
        EncodingCase{"KeyAfterALongLine", "[General]\r\n" + kLongAccented + "=1\r\nk=v", "k", "v",
                     ""},
        EncodingCase{"SectionNameBlanksBeyond64KiB",
                     "[General" + std::string(70000, ' ') + "]\r\nk=" + kEmoji, "k", kEmoji, ""},
        EncodingCase{"OneLineWithoutLineEnds", "k=" + std::string(3 << 20, 'x'), "k", "default",
                     ""}),
    [](const auto& info) { return info.param.name; });

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
// Reads the file with the address space limited to what the process holds now and 64 MiB more,
// prints the value and exits.
[[noreturn]] void ReadUnderALimit(const std::filesystem::path& path) {
    std::size_t holds = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmSize:")) {
            holds = std::stoull(line.substr(7)) << 10;
        }
    }
    const rlimit limit{holds + (std::size_t{64} << 20), holds + (std::size_t{64} << 20)};
    setrlimit(RLIMIT_AS, &limit);
    ProfileFileReader reader;
    std::string value;
    reader.ReadProfileString("General", "k", "default", value, 255, path.string());
    std::fputs(("value " + value).c_str(), stderr);
    std::exit(0);
}

// A file far larger than the memory left is searched to its end: its first bytes, 256 MiB of
// NULs (sparse, so made at once and taking no disk space), then the section and its key.
struct MemoryCase {
    std::string name;
    std::string start;
    std::string end;
};

void PrintTo(const MemoryCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileMemoryTest : public testing::TestWithParam<MemoryCase> {};

TEST_P(ProfileMemoryTest, LargeFileIsReadInLittleMemory) {
    GTEST_FLAG_SET(death_test_style, "fast");
    const qelt::test::TempFolder folder;
    const auto path = folder.Write("QeltOne.ini", GetParam().start);
    std::error_code error;
    std::filesystem::resize_file(path, std::uintmax_t{256} << 20, error);
    if (error) {
        GTEST_SKIP() << "no sparse file of 256 MiB here: " << error.message();
    }
    std::ofstream(path, std::ios::binary | std::ios::app) << GetParam().end;
    EXPECT_EXIT(ReadUnderALimit(path), testing::ExitedWithCode(0), "^value found$");
}

const std::string kKeyAtTheEnd = "\r\n[General]\r\nk=found\r\n";

INSTANTIATE_TEST_SUITE_P(Encodings, ProfileMemoryTest,
                         testing::Values(MemoryCase{"Utf8", "", kKeyAtTheEnd},
                                         MemoryCase{"Utf16Le", "\xFF\xFE",
                                                    text::Utf8ToUtf16LeBytes(kKeyAtTheEnd)},
                                         MemoryCase{"Utf16Be", "\xFE\xFF", Utf16Be(kKeyAtTheEnd)}),
                         [](const auto& info) { return info.param.name; });
#endif

#ifndef _WIN32
class ProfileNotAFileTest : public testing::TestWithParam<qelt::test::NotAFile> {};

TEST_P(ProfileNotAFileTest, ReadsTheDefaultWithoutBlocking) {
    const qelt::test::TempFolder folder;
    const auto path = folder.Path() / "QeltOne.ini";
    qelt::test::MakeNotAFile(path, GetParam());
    ProfileFileReader reader;
    std::string value;
    const auto count = qelt::test::ReadsWithoutBlocking(path, [&] {
        return reader.ReadProfileString("General", "k", "default", value, 255, path.string());
    });
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(value, "default");
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProfileNotAFileTest,
                         testing::Values(qelt::test::NotAFile::Fifo, qelt::test::NotAFile::Folder),
                         qelt::test::PrintNotAFile);
#endif

}  // namespace
}  // namespace qelt
