#include "auditscript/SqlQuoting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "auditscript/SQLFuncs.h"
#include "support/CaseName.h"
#include "support/FakeSession.h"

namespace qelt {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct NameCase {
    std::string name;
    std::string column;
    std::string identifier;  // as it stands where an identifier is expected
    std::string literal;     // as it stands inside '…'
    bool plain;              // accepted by the command line as a table or column name
};

class ColumnNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ColumnNames, AreQuotedOnlyWhereTSqlNeedsIt) {
    const auto& c = GetParam();
    EXPECT_EQ(QuoteIdentifier(c.column), c.identifier);
    EXPECT_EQ(QuoteLiteral(c.column), c.literal);
    EXPECT_EQ(IsPlainIdentifier(c.column), c.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColumnNames,
    ::testing::Values(NameCase{"Plain", "CompanyName", "CompanyName", "CompanyName", true},
                      NameCase{"UnderscoreFirst", "_x1", "_x1", "_x1", true},
                      NameCase{"AtDollarHashInside", "a@b$c#d", "a@b$c#d", "a@b$c#d", false},
                      NameCase{"NonAsciiLetter", "Straße", "Straße", "Straße", false},
                      NameCase{"ReservedWord", "Order", "[Order]", "Order", false},
                      NameCase{"ReservedWordInLowerCase", "key", "[key]", "key", false},
                      NameCase{"ReservedUser", "User", "[User]", "User", false},
                      NameCase{"ReservedFunction", "current_timestamp", "[current_timestamp]",
                               "current_timestamp", false},
                      NameCase{"NotReserved", "Orders", "Orders", "Orders", true},
                      // A line starting with GO would end the batch in the query tools.
                      NameCase{"Go", "go", "[go]", "go", true},
                      NameCase{"StartsWithGo", "Gone", "Gone", "Gone", true},
                      NameCase{"Space", "First Name", "[First Name]", "First Name", false},
                      NameCase{"Quote", "O'Brien", "[O'Brien]", "O''Brien", false},
                      NameCase{"DigitFirst", "1st", "[1st]", "1st", false},
                      NameCase{"AtFirst", "@var", "[@var]", "@var", false},
                      NameCase{"HashFirst", "#temp", "[#temp]", "#temp", false},
                      NameCase{"ClosingBracket", "a]b", "[a]]b]", "a]b", false},
                      NameCase{"Empty", "", "[]", "", false},
                      NameCase{"Injection", "x'); DROP TABLE Companies;--",
                               "[x'); DROP TABLE Companies;--]", "x''); DROP TABLE Companies;--",
                               false}),
    test::CaseNameOf());

// Names beyond ASCII: bare only when every character is a letter, a decimal digit or one of
// _ @ $ #, and the first a letter or _.
struct NonAsciiCase {
    std::string name;
    std::string column;
    std::string identifier;
};

class NonAsciiNames : public ::testing::TestWithParam<NonAsciiCase> {};

TEST_P(NonAsciiNames, AreBareOnlyWhenTSqlTakesThemAsRegular) {
    EXPECT_EQ(QuoteIdentifier(GetParam().column), GetParam().identifier);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NonAsciiNames,
    ::testing::Values(
        NonAsciiCase{"SharpS", "Straße", "Straße"}, NonAsciiCase{"Accents", "été", "été"},
        NonAsciiCase{"Cjk", "数量", "数量"}, NonAsciiCase{"Greek", "Ωmega_2", "Ωmega_2"},
        NonAsciiCase{"ArabicIndicDigits", "x١٢", "x١٢"},  // Arabic-Indic digits
        NonAsciiCase{"LetterBeyondBmp", "𝐀bc", "[𝐀bc]"},  // a letter beyond U+FFFF
        NonAsciiCase{"EuroSign", "Preis€", "[Preis€]"},
        NonAsciiCase{"NoBreakSpace", "a\u00A0b", "[a\u00A0b]"},      // no-break space
        NonAsciiCase{"IdeographicSpace", "a\u3000b", "[a\u3000b]"},  // ideographic space
        NonAsciiCase{"ZeroWidthSpace", "a\u200Bb", "[a\u200Bb]"},    // zero-width space
        NonAsciiCase{"Emoji", "Preis😀", "[Preis😀]"},
        NonAsciiCase{"DigitFirst", "١x", "[١x]"},                     // digit first
        NonAsciiCase{"CombiningAccent", "e\u0301te", "[e\u0301te]"},  // combining accent
        NonAsciiCase{"SuperscriptTwo", "a\u00B2", "[a\u00B2]"},       // superscript two: No
        NonAsciiCase{"OverlongSlash", "ab\xC0\xAF", "[ab\xC0\xAF]"},  // overlong '/'
        NonAsciiCase{"Latin1Bytes", "\xE9t\xE9", "[\xE9t\xE9]"},      // Latin-1 bytes
        NonAsciiCase{"Umlaut", "Ärger", "Ärger"}),
    test::CaseNameOf());

struct AgeCase {
    const char* label;
    std::string name;
    bool bare;
};

class NamesByUnicodeAge : public ::testing::TestWithParam<AgeCase> {};

// T-SQL takes the letters and digits of Unicode 3.2 below U+10000: a name with a later one, or
// with any character beyond the BMP, is bracketed wherever that character stands.
TEST_P(NamesByUnicodeAge, AreBareOnlyWithLettersAndDigitsOfUnicode32) {
    const auto& c = GetParam();
    EXPECT_EQ(IsRegularIdentifier(c.name), c.bare);
    EXPECT_EQ(QuoteIdentifier(c.name), c.bare ? c.name : "[" + c.name + "]");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NamesByUnicodeAge,
    ::testing::Values(
        AgeCase{"LetterOf32", "\u0220rt", true},          // N with long right leg, 3.2
        AgeCase{"TagalogLetterOf32", "\u1700b", true},    // Tagalog A, 3.2
        AgeCase{"LetterOf40", "\u0221rt", false},         // d with curl, 4.0
        AgeCase{"LetterOf41Inside", "Maj\u0237", false},  // dotless j, 4.1
        AgeCase{"CapitalSharpSOf51", "STRA\u1E9EE", false},
        AgeCase{"LastOldIdeograph", "\u9FA5", true}, AgeCase{"IdeographOf41", "\u9FA6", false},
        AgeCase{"ExtensionBIdeographOf31", "\U00020000", false},
        AgeCase{"MathLetterOf31Inside", "x\U0001D400", false},
        AgeCase{"MongolianDigitOf30", "x\u1810", true}, AgeCase{"FullwidthDigit", "x\uFF10", true},
        AgeCase{"TamilDigitOneOf11", "x\u0BE7", true},
        AgeCase{"TamilDigitZeroOf41", "x\u0BE6", false},
        AgeCase{"LimbuDigitOf40", "x\u1946", false}, AgeCase{"NkoDigitOf50", "x\u07C0", false},
        AgeCase{"MathDigitOf31", "x\U0001D7CE", false}),
    [](const ::testing::TestParamInfo<AgeCase>& info) { return info.param.label; });

struct ControlCase {
    std::string name;
    std::string text;
    bool control;
    std::string shown;  // as a message shows it
};

class MessageText : public ::testing::TestWithParam<ControlCase> {};

TEST_P(MessageText, EscapesControlCharactersAndBytesThatAreNotUtf8) {
    EXPECT_EQ(HasControlCharacter(GetParam().text), GetParam().control);
    EXPECT_EQ(EscapedForMessage(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessageText,
    ::testing::Values(ControlCase{"PlainText", "Plain name", false, "Plain name"},
                      ControlCase{"NonAsciiText", "Straße €", false, "Straße €"},
                      ControlCase{"Cr", "a\rGO", true, "a\\x0DGO"},
                      ControlCase{"Lf", "a\nb", true, "a\\x0Ab"},
                      ControlCase{"Nul", std::string("a\0b", 3), true, "a\\x00b"},
                      ControlCase{"Tab", "tab\there", true, "tab\\x09here"},
                      ControlCase{"Del", "del\x7F", true, "del\\x7F"},
                      ControlCase{"C1Control", "c1\xC2\x85", true, "c1\\xC2\\x85"},
                      ControlCase{"Escape", "\x1B[31m", true, "\\x1B[31m"},
                      ControlCase{"InvalidByte",
                                  "bad\xFF"
                                  "byte",
                                  false, "bad\\xFFbyte"},
                      ControlCase{"CutShortSequence", "cut\xE2\x82", false, "cut\\xE2\\x82"},
                      ControlCase{"ReplacementCharacter", "\uFFFD kept", false, "\uFFFD kept"}),
    test::CaseNameOf());

TEST(ReservedKeywords, MatchWithoutRegardToCase) {
    for (const char* word : {"SELECT", "select", "Select", "WRITETEXT", "add", "TRY_CONVERT"}) {
        EXPECT_TRUE(IsReservedKeyword(word)) << word;
    }
    for (const char* word : {"", "SELECTS", "SEL", "Companies", "WRITETEXTX", "CONVERT_TRY"}) {
        EXPECT_FALSE(IsReservedKeyword(word)) << word;
    }
}

// A crafted column name must stay one identifier and one literal: no statement can escape.
TEST(QuotedColumnsInTheTrigger, CannotEndAStatementOrLiteral) {
    const std::string crafted = "x]) DROP TABLE Companies --'";
    ScriptBuffer script;
    WriteAuditTriggerScript(
        script, "Items", "AuditTrailItems", "Key1", "Shown",
        FieldVector(
            {{"Key1", ado::adInteger}, {crafted, ado::adVarWChar}, {"Order", ado::adInteger}}));
    const std::string& text = script.Text();
    EXPECT_THAT(text, HasSubstr("    [x]]) DROP TABLE Companies --'] = INSERTED.[x]]) DROP TABLE "
                                "Companies --'],\r\n"));
    EXPECT_THAT(text, HasSubstr("    IF UPDATE([x]]) DROP TABLE Companies --']) AND "
                                "(@CurrentColName= 'x]) DROP TABLE Companies --''')  SET @Flag=1"));
    EXPECT_THAT(text, HasSubstr("            WHEN 'x]) DROP TABLE Companies --''' THEN "
                                "DELETED.[x]]) DROP TABLE Companies --']\r\n"));
    EXPECT_THAT(text, HasSubstr("            WHEN 'Order' THEN CAST(INSERTED.[Order] AS "
                                "NVARCHAR(20))\r\n"));
    EXPECT_THAT(text, Not(HasSubstr(" Order = ")));
}

}  // namespace
}  // namespace qelt
