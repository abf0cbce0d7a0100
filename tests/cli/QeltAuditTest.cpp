#include "cli/QeltAudit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "auditscript/SQLFuncs.h"
#include "support/CliRun.h"
#include "support/FakeSession.h"
#include "support/TempFolder.h"

namespace qelt::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const char* const kColumns =
    "CompanyIntID\t202\nCompanyName\t202\nEmployees\t3\nEditedBy\t202\n"
    "EditDate\t135\n";

std::string ExpectedScript(const std::string& table, const std::string& key,
                           const std::string& display, const std::vector<Field>& columns) {
    ScriptBuffer script;
    WriteAuditTableScript(script, AuditTableName(table));
    WriteAuditTriggerScript(script, table, AuditTableName(table), key, display,
                            FieldVector(columns));
    return script.Text();
}

const std::vector<Field> kFields = {{"CompanyIntID", 202},
                                    {"CompanyName", 202},
                                    {"Employees", 3},
                                    {"EditedBy", 202},
                                    {"EditDate", 135}};

TEST(QeltAuditColumns, WritesTheWholeScriptToStandardOutput) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns);
    const test::CliResult result = test::RunCli({"--columns", columns.string()});
    EXPECT_EQ(result.exitCode, kExitOk);
    EXPECT_EQ(result.out, ExpectedScript("Companies", "CompanyIntID", "CompanyName", kFields));
    EXPECT_THAT(result.err, IsEmpty());
}

struct OptionCase {
    std::string name;
    std::vector<std::string> options;
    std::string table, key, display;
};

class QeltAuditColumnOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(QeltAuditColumnOptions, ChooseTableKeyAndDisplayColumns) {
    const auto& c = GetParam();
    test::TempFolder dir;
    std::vector<std::string> args = {"--columns", dir.Write("c.tsv", kColumns).string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const test::CliResult result = test::RunCli(args);
    EXPECT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_EQ(result.out, ExpectedScript(c.table, c.key, c.display, kFields));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QeltAuditColumnOptions,
    ::testing::Values(
        OptionCase{
            "Requirements", {"--table", "Requirements"}, "Requirements", "ReqIntID", "ReqID"},
        OptionCase{"Uppercase",
                   {"--table", "Contacts", "--uppercase-identifiers"},
                   "Contacts",
                   "CONTACTINTID",
                   "DisplayName"},
        OptionCase{"KnownTableOtherCase",
                   {"--table", "SAVESETINFO"},
                   "SAVESETINFO",
                   "SaveSetIntID",
                   "DisplayName"},
        OptionCase{"UnknownTableWithKey",
                   {"--table", "Orders", "--key-column", "OrderID"},
                   "Orders",
                   "OrderID",
                   "DisplayName"},
        OptionCase{
            "DisplayOverride", {"--display-column", "Town"}, "Companies", "CompanyIntID", "Town"}),
    [](const auto& info) { return info.param.name; });

struct RefusalCase {
    std::string name;
    std::vector<std::string> args;  // "COLUMNS" stands for a valid columns file
    std::string message;
};

class QeltAuditRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(QeltAuditRefusals, ExitWithUsageErrorAndNoOutput) {
    test::TempFolder dir;
    const auto good = dir.Write("good.tsv", kColumns).string();
    const auto bad = dir.Write("bad.tsv", "A\t202\nB\tlots\n").string();
    std::vector<std::string> args = GetParam().args;
    for (std::string& arg : args) {
        if (arg == "COLUMNS") {
            arg = good;
        } else if (arg == "BAD") {
            arg = bad;
        } else if (arg == "MISSING") {
            arg = (dir.Path() / "missing.tsv").string();
        }
    }
    const test::CliResult result = test::RunCli(args);
    EXPECT_EQ(result.exitCode, kExitUsage);
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_THAT(result.err, HasSubstr(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QeltAuditRefusals,
    ::testing::Values(
        RefusalCase{"UnknownOption", {"--columns", "COLUMNS", "--frobnicate"}, "--frobnicate"},
        RefusalCase{"MissingValue", {"--columns"}, "--columns"},
        RefusalCase{"UnreadableFile", {"--columns", "MISSING"}, "missing.tsv"},
        RefusalCase{"MalformedLine", {"--columns", "BAD"}, "line 2"},
        RefusalCase{"TableWithBlank",
                    {"--columns", "COLUMNS", "--table", "Order Lines"},
                    "not a plain identifier"},
        RefusalCase{"TableReservedWord",
                    {"--columns", "COLUMNS", "--table", "Select", "--key-column", "Id"},
                    "not a plain identifier"},
        RefusalCase{"TableStartsWithDigit",
                    {"--columns", "COLUMNS", "--table", "1Companies"},
                    "not a plain identifier"},
        RefusalCase{"TableInjection",
                    {"--columns", "COLUMNS", "--table", "Companies;DROP TABLE x"},
                    "not a plain identifier"},
        RefusalCase{"KeyColumnNotPlain",
                    {"--columns", "COLUMNS", "--key-column", "Key"},
                    "not a plain identifier"},
        RefusalCase{"DisplayColumnNotPlain",
                    {"--columns", "COLUMNS", "--display-column", "a'b"},
                    "not a plain identifier"},
        RefusalCase{"UnknownTableWithoutKey",
                    {"--columns", "COLUMNS", "--table", "Orders"},
                    "--key-column"},
        RefusalCase{"UppercaseWithoutColumns", {"--uppercase-identifiers"}, "--columns"}),
    [](const auto& info) { return info.param.name; });

TEST(QeltAuditOutput, ReplacesTheFileOnlyOnSuccess) {
    test::TempFolder dir;
    const auto output = dir.Path() / "audit.sql";
    const auto columns = dir.Write("c.tsv", kColumns).string();

    test::CliResult result = test::RunCli({"--columns", columns, "--output", output.string()});
    EXPECT_EQ(result.exitCode, kExitOk);
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_EQ(test::ReadBytes(output),
              ExpectedScript("Companies", "CompanyIntID", "CompanyName", kFields));

    dir.Write("audit.sql", "kept");
    result = test::RunCli(
        {"--columns", dir.Write("bad.tsv", "x\n").string(), "--output", output.string()});
    EXPECT_EQ(result.exitCode, kExitUsage);
    EXPECT_EQ(test::ReadBytes(output), "kept");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3)
        << "no temporary file may be left behind";
}

TEST(QeltAuditOutput, UnwritableFolderIsReported) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns).string();
    const test::CliResult result = test::RunCli(
        {"--columns", columns, "--output", (dir.Path() / "no" / "audit.sql").string()});
    EXPECT_EQ(result.exitCode, kExitCannotWrite);
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_THAT(result.err, HasSubstr("audit.sql"));
}

TEST(QeltAuditInfo, VersionAndHelp) {
    test::CliResult result = test::RunCli({"--version"});
    EXPECT_EQ(result.exitCode, kExitOk);
    EXPECT_EQ(result.out, "qeltaudit 3.6.2\n");

    result = test::RunCli({"--help"});
    EXPECT_EQ(result.exitCode, kExitOk);
    EXPECT_THAT(result.out, StartsWith("Writes the T-SQL script"));
    EXPECT_THAT(result.out, HasSubstr("--columns"));
}

}  // namespace
}  // namespace qelt::cli
