#include "auditscript/SqlQuoting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "auditscript/SQLFuncs.h"
#include "support/FakeSession.h"

namespace qelt {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct NameCase {
    std::string name;
    std::string identifier;  // as it stands where an identifier is expected
    std::string literal;     // as it stands inside '…'
    bool plain;              // accepted by the command line as a table or column name
};

class ColumnNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ColumnNames, AreQuotedOnlyWhereTSqlNeedsIt) {
    const auto& c = GetParam();
    EXPECT_EQ(QuoteIdentifier(c.name), c.identifier);
    EXPECT_EQ(QuoteLiteral(c.name), c.literal);
    EXPECT_EQ(IsPlainIdentifier(c.name), c.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColumnNames,
    ::testing::Values(
        NameCase{"CompanyName", "CompanyName", "CompanyName", true},
        NameCase{"_x1", "_x1", "_x1", true}, NameCase{"a@b$c#d", "a@b$c#d", "a@b$c#d", false},
        NameCase{"Straße", "Straße", "Straße", false}, NameCase{"Order", "[Order]", "Order", false},
        NameCase{"key", "[key]", "key", false}, NameCase{"User", "[User]", "User", false},
        NameCase{"current_timestamp", "[current_timestamp]", "current_timestamp", false},
        NameCase{"Orders", "Orders", "Orders", true},
        NameCase{"First Name", "[First Name]", "First Name", false},
        NameCase{"O'Brien", "[O'Brien]", "O''Brien", false}, NameCase{"1st", "[1st]", "1st", false},
        NameCase{"@var", "[@var]", "@var", false}, NameCase{"#temp", "[#temp]", "#temp", false},
        NameCase{"a]b", "[a]]b]", "a]b", false}, NameCase{"", "[]", "", false},
        NameCase{"x'); DROP TABLE Companies;--", "[x'); DROP TABLE Companies;--]",
                 "x''); DROP TABLE Companies;--", false}));

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
    WriteAuditTriggerScript(script, "Items", "AuditTrailItems", "Key1", "Shown",
                            FieldVector({{"Key1", 3}, {crafted, 202}, {"Order", 3}}));
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
