#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "support/CaseName.h"
#include "text/Ascii.h"
#include "text/Doubled.h"
#include "text/Hex.h"
#include "text/Lines.h"
#include "text/Trim.h"
#include "text/Utf.h"

namespace qelt::text {
namespace {

using namespace std::string_literals;

struct DecodeCase {
    std::string name;
    std::string bytes;
    std::u32string codePoints;
    bool valid;
};

class Utf8DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8DecodeTest, DecodesOrReplacesEachMaximalSubpart) {
    const DecodeCase& c = GetParam();
    EXPECT_EQ(Utf8ToUtf32(c.bytes), c.codePoints);
    EXPECT_EQ(IsValidUtf8(c.bytes), c.valid);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8DecodeTest,
    testing::Values(
        DecodeCase{"Empty", "", U"", true}, DecodeCase{"Nul", "a\0b"s, U"a\0b"s, true},
        DecodeCase{"TwoByteForms", "\xC3\xA9t\xC3\xA9", U"été", true},
        DecodeCase{"ThreeByteForm", "\xE2\x82\xAC", U"€", true},
        DecodeCase{"FourByteForm", "\xF0\x9F\x98\x80", U"\U0001F600", true},
        DecodeCase{"LastCodePoint", "\xF4\x8F\xBF\xBF", U"\U0010FFFF", true},
        DecodeCase{"ReplacementCharacter", "\xEF\xBF\xBD", U"\uFFFD", true},
        // Overlong forms of '/' and of U+0000.
        DecodeCase{"OverlongTwoBytes",
                   "a\xC0\xAF"
                   "b",
                   U"a\uFFFD\uFFFDb", false},
        DecodeCase{"OverlongThreeBytes", "\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD", false},
        DecodeCase{"OverlongFourBytes", "\xF0\x80\x80\xAF", U"\uFFFD\uFFFD\uFFFD\uFFFD", false},
        DecodeCase{"OverlongLeadC1", "\xC1\xBF", U"\uFFFD\uFFFD", false},
        // Surrogates and code points beyond U+10FFFF.
        DecodeCase{"Surrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD", false},
        DecodeCase{"BeyondLastCodePoint", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD", false},
        DecodeCase{"LeadF5", "\xF5\x80", U"\uFFFD\uFFFD", false},
        // Sequences cut short: one replacement for what was read, then the next character.
        DecodeCase{"ThreeByteFormCutShort",
                   "\xE2\x82"
                   "a",
                   U"\uFFFDa", false},
        DecodeCase{"FourByteFormAtTheEnd", "\xF0\x9F\x98", U"\uFFFD", false},
        DecodeCase{"LeadByteAtTheEnd", "\xC3", U"\uFFFD", false},
        DecodeCase{"LoneContinuationBytes", "\x80\xBF", U"\uFFFD\uFFFD", false},
        DecodeCase{"LeadByteBeforeALeadByte", "\xC3\xC3\xA9", U"\uFFFDé", false},
        DecodeCase{"ByteFF", "\xFF", U"\uFFFD", false}),
    test::CaseNameOf());

struct Utf16Case {
    std::string name;
    std::u16string utf16;
    std::string utf8;
};

class Utf16ToUtf8Test : public testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16ToUtf8Test, PairsSurrogatesAndReplacesUnpairedOnes) {
    const Utf16Case& c = GetParam();
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
    std::string bytes;
    for (const char16_t unit : c.utf16) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    EXPECT_EQ(Utf16LeBytesToUtf8(bytes), c.utf8);
    EXPECT_EQ(Utf16LeBytesToUtf8(bytes + "x"), c.utf8) << "an odd final byte is dropped";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf16ToUtf8Test,
    testing::Values(Utf16Case{"Empty", u"", ""}, Utf16Case{"Nul", u"a\0b"s, "a\0b"s},
                    Utf16Case{"Latin", u"Stra\u00DFe",
                              "Stra\xC3\x9F"
                              "e"},
                    Utf16Case{"Cjk", u"\u6570\u91CF", "\xE6\x95\xB0\xE9\x87\x8F"},
                    Utf16Case{"SurrogatePair", u"\U0001F600", "\xF0\x9F\x98\x80"},
                    Utf16Case{"HighSurrogateAtTheEnd", std::u16string{0xD83D}, "\xEF\xBF\xBD"},
                    Utf16Case{"LoneLowSurrogate", std::u16string{0xDE00, u'a'},
                              "\xEF\xBF\xBD"
                              "a"},
                    Utf16Case{"HighSurrogateBeforeAPair", std::u16string{0xD83D, 0xD83D, 0xDE00},
                              "\xEF\xBF\xBD\xF0\x9F\x98\x80"}),
    test::CaseNameOf());

// A file read in pieces may cut a unit or a surrogate pair anywhere: every cut into three parts
// gives what the whole bytes give, in both byte orders.
TEST_P(Utf16ToUtf8Test, DecoderJoinsUnitsCutBetweenPieces) {
    const Utf16Case& c = GetParam();
    std::string little;
    std::string big;
    for (const char16_t unit : c.utf16) {
        little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    }
    little += 'x';  // an odd final byte
    big += 'x';
    using Order = Utf16BytesDecoder::ByteOrder;
    for (const auto& [order, bytes] :
         {std::pair{Order::kLittleEndian, little}, std::pair{Order::kBigEndian, big}}) {
        for (std::size_t first = 0; first <= bytes.size(); ++first) {
            for (std::size_t second = first; second <= bytes.size(); ++second) {
                Utf16BytesDecoder decoder(order);
                std::string out;
                decoder.Append(bytes.substr(0, first), out);
                decoder.Append(bytes.substr(first, second - first), out);
                decoder.Append(bytes.substr(second), out);
                decoder.Finish(out);
                EXPECT_EQ(out, c.utf8) << "cut at " << first << " and " << second;
            }
        }
    }
}

TEST(UtfRoundTripTest, ValidTextSurvivesEveryForm) {
    for (const std::string& text : {""s, "plain"s, "a\0b"s, "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC"s,
                                    "\xF0\x9F\x98\x80x\xF4\x8F\xBF\xBF"s}) {
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
        EXPECT_EQ(Utf32ToUtf8(Utf8ToUtf32(text)), text);
        EXPECT_EQ(Utf16LeBytesToUtf8(Utf8ToUtf16LeBytes(text)), text);
        const auto units = Utf8ToUtf16As<unsigned short>(text);
        EXPECT_EQ(Utf16ToUtf8(units.data(), units.size()), text);
    }
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
    EXPECT_EQ(Utf8ToUtf16LeBytes("\xE2\x82\xAC"), "\xAC\x20");
}

TEST(UtfEncodeTest, CodePointsThatAreNoCharactersBecomeTheReplacement) {
    EXPECT_EQ(Utf32ToUtf8(U"\x7F\x80\x7FF\x800\xFFFF\x10000"),
              "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80");
    EXPECT_EQ(Utf32ToUtf8(std::u32string{0xD800, 0x110000}), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(AsciiTest, FoldsOnlyAsciiLetters) {
    EXPECT_EQ(AsciiLower("Software\\QELTONE\\\xC3\x89t\xC3\xA9"),
              "software\\qeltone\\\xC3\x89t\xC3\xA9");
    EXPECT_EQ(AsciiUpper("dsn=[x]\xC3\xA9"), "DSN=[X]\xC3\xA9");
    EXPECT_TRUE(EqualsIgnoringAsciiCase("IniPath", "INIPATH"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\xA9", "\xC3\x89"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("Key", "Keys"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("@", "`"));  // 0x40 and 0x60 differ by the case bit only
    EXPECT_TRUE(StartsWithIgnoringAsciiCase("REGEDIT4 x", "regedit4"));
    EXPECT_FALSE(StartsWithIgnoringAsciiCase("REG", "regedit4"));
    EXPECT_EQ(FindIgnoringAsciiCase("C:\\Users\\$(MYDOCUMENTS)\\x", "$(MyDocuments)"), 9u);
    EXPECT_EQ(FindIgnoringAsciiCase("abc", "abcd"), std::string_view::npos);
    EXPECT_EQ(FindIgnoringAsciiCase("abc", ""), 0u);
}

struct LinesCase {
    std::string name;
    std::string_view text;
    std::vector<std::string_view> lines;
};

class SplitLinesTest : public testing::TestWithParam<LinesCase> {};

TEST_P(SplitLinesTest, EachLineEndEndsOneLine) {
    EXPECT_EQ(SplitLines(GetParam().text), GetParam().lines);
    LineSplitter splitter(GetParam().text);
    for (std::string_view line; splitter.Next(line);) {
    }
    EXPECT_EQ(splitter.Position(), GetParam().text.size());  // the whole text and no more
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitLinesTest,
    testing::Values(LinesCase{"Empty", "", {}}, LinesCase{"WithoutLineEnd", "a", {"a"}},
                    LinesCase{"CrLfAtTheEnd", "a\r\n", {"a"}},
                    LinesCase{"EveryLineEnd", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
                    LinesCase{"EmptyLines", "\n\n", {"", ""}},
                    LinesCase{"CrBeforeCrLf", "a\r\r\nb", {"a", "", "b"}},
                    LinesCase{"LfCrIsTwoEnds", "a\n\rb", {"a", "", "b"}},
                    LinesCase{"LoneCr", "\r", {""}}, LinesCase{"CrAtTheEnd", "a\nb\r", {"a", "b"}}),
    test::CaseNameOf());

TEST(LineSplitterTest, PositionIsWhereTheNextLineStarts) {
    LineSplitter splitter("ab\r\ncd\ne");
    std::string_view line;
    ASSERT_TRUE(splitter.Next(line));
    EXPECT_EQ(splitter.Position(), 4u);
    ASSERT_TRUE(splitter.Next(line));
    EXPECT_EQ(line, "cd");
    EXPECT_EQ(splitter.Position(), 7u);
}

TEST(HexTest, DigitsAndDwords) {
    EXPECT_EQ(HexDigit('0'), 0);
    EXPECT_EQ(HexDigit('9'), 9);
    EXPECT_EQ(HexDigit('a'), 10);
    EXPECT_EQ(HexDigit('F'), 15);
    EXPECT_EQ(HexDigit('g'), -1);
    EXPECT_EQ(HexDigit('/'), -1);
    EXPECT_EQ(ParseHexDword("0000002a"), 42u);
    EXPECT_EQ(ParseHexDword("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHexDword(""), std::nullopt);
    EXPECT_EQ(ParseHexDword("100000000"), std::nullopt);
    EXPECT_EQ(ParseHexDword("2a "), std::nullopt);
    std::size_t pos = 1;
    EXPECT_EQ(ParseHexPrefix("x4142z", pos, 2), 0x41u);
    EXPECT_EQ(pos, 3u);
    EXPECT_EQ(ParseHexPrefix("x4142z", pos, 4), 0x42u);
    EXPECT_EQ(pos, 5u);
    EXPECT_EQ(ParseHexPrefix("x4142z", pos, 4), std::nullopt);
    EXPECT_EQ(pos, 5u);
}

struct TrimCase {
    std::string name;
    std::string_view text;
    std::string_view blanks;
    std::string_view left;
    std::string_view right;
    std::string_view both;
};

class TrimTest : public testing::TestWithParam<TrimCase> {};

TEST_P(TrimTest, RemovesTheNamedBlanksOnly) {
    const TrimCase& c = GetParam();
    EXPECT_EQ(TrimLeft(c.text, c.blanks), c.left);
    EXPECT_EQ(TrimRight(c.text, c.blanks), c.right);
    EXPECT_EQ(Trim(c.text, c.blanks), c.both);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimTest,
    testing::Values(TrimCase{"Empty", "", " ", "", "", ""},
                    TrimCase{"OnlyBlanks", "   ", " ", "", "", ""},
                    TrimCase{"InnerBlankStays", " a b ", " ", "a b ", " a b", "a b"},
                    TrimCase{"TabIsNoSpace", "\t a\t", " ", "\t a\t", "\t a\t", "\t a\t"},
                    TrimCase{"TabsNamed", "\t a\t", " \t", "a\t", "\t a", "a"},
                    TrimCase{"NulIsNoSpace", std::string_view(" \0 ", 3), " ",
                             std::string_view("\0 ", 2), std::string_view(" \0", 2),
                             std::string_view("\0", 1)}),
    test::CaseNameOf());

TEST(HexTest, BytesAreTwoUpperCaseDigits) {
    std::string out = "%";
    for (const unsigned char byte : {0x00, 0x0A, 0x7F, 0xA0, 0xFF}) {
        AppendHexByte(out, byte);
    }
    EXPECT_EQ(out, "%000A7FA0FF");
}

struct EnclosedCase {
    const char* name;
    std::string_view open;
    std::string_view text;
    char mark;
    std::string_view close;
    std::string_view enclosed;
};

class EnclosedTest : public testing::TestWithParam<EnclosedCase> {};

TEST_P(EnclosedTest, DoublesOnlyTheMark) {
    const EnclosedCase& c = GetParam();
    EXPECT_EQ(Enclosed(c.open, c.text, c.mark, c.close), c.enclosed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnclosedTest,
    testing::Values(EnclosedCase{"Empty", "'", "", '\'', "'", "''"},
                    EnclosedCase{"NothingAround", "", "it's", '\'', "", "it''s"},
                    EnclosedCase{"UnicodeLiteral", "N'", "'a''", '\'', "'", "N'''a'''''"},
                    EnclosedCase{"BracketOnlyClosingDoubled", "[", "[a]]", ']', "]", "[[a]]]]]"},
                    EnclosedCase{"BraceKeepsOtherMarks", "{", "}';]{", '}', "}", "{}}';]{}"},
                    EnclosedCase{"BytesBeyondAscii", "'", "\xC3\xA9'\xFF", '\'', "'",
                                 "'\xC3\xA9''\xFF'"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qelt::text
