#include "cli/QeltAudit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "auditscript/WorkedExample.h"
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

// The lines of a script that name the table, its key column and its display column.
std::vector<std::string> NamingLines(const std::string& script) {
    std::vector<std::string> found;
    for (const std::string& line : test::ScriptLines(script)) {
        if (line.starts_with("CREATE TRIGGER") || line.starts_with("    Where (") ||
            line.starts_with("        SELECT  @QLXUserID,") ||
            line.starts_with("        Where (")) {
            found.push_back(line);
        }
    }
    return found;
}

TEST(QeltAuditColumns, WritesTheWholeScriptToStandardOutput) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns);
    const test::CliResult result = test::RunCli({"--columns", columns.string()});
    EXPECT_EQ(result.exitCode, kExitOk);
    EXPECT_EQ(result.out, test::CompaniesScript());
    EXPECT_THAT(result.err, IsEmpty());
}

// Another letter case of a table the window lists is that table, with its display column.
TEST(QeltAuditColumns, ListedTableInAnotherLetterCaseTakesItsOwnSpelling) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns);
    const test::CliResult result =
        test::RunCli({"--columns", columns.string(), "--table", "companies"});
    EXPECT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_EQ(result.out, test::CompaniesScript());
}

// --columns and --database name what to read: the host installation is not looked up.
TEST(QeltAuditColumns, ReadsNoHostSettings) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns).string();
    int lookups = 0;
    const HostSettingsLookup counted = [&lookups] {
        ++lookups;
        return HostSettings{"/host/", "/data/", "/data/QeltOne.db"};
    };
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunQeltAudit({"--columns", columns}, out, err, counted), kExitOk);
    EXPECT_EQ(RunQeltAudit({"--columns", columns, "--table", "Contacts"}, out, err, counted),
              kExitOk);
    EXPECT_EQ(lookups, 0);
    EXPECT_EQ(RunQeltAudit({"--show-settings"}, out, err, counted), kExitOk);
    EXPECT_EQ(lookups, 1);
}

struct OptionCase {
    std::string name;
    std::vector<std::string> options;
    std::vector<std::string> namingLines;  // the trigger's lines naming table, key and display
    std::size_t lineCount = 22 + 49 + 3 * 5 + 3 + 1;  // CompanyIntID is not the key: logged
};

class QeltAuditColumnOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(QeltAuditColumnOptions, ChooseTableKeyAndDisplayColumns) {
    const auto& c = GetParam();
    test::TempFolder dir;
    std::vector<std::string> args = {"--columns", dir.Write("c.tsv", kColumns).string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const test::CliResult result = test::RunCli(args);
    EXPECT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_EQ(NamingLines(result.out), c.namingLines);
    EXPECT_EQ(test::ScriptLines(result.out).size(), c.lineCount);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QeltAuditColumnOptions,
    ::testing::Values(
        OptionCase{"Requirements",
                   {"--table", "Requirements"},
                   {"CREATE TRIGGER QLX_AuditTrailRequirements ON Requirements",
                    "    Where (Requirements.ReqIntID = INSERTED.ReqIntID)",
                    "        SELECT  @QLXUserID,INSERTED.ReqIntID,CAST(INSERTED.ReqID AS "
                    "NVARCHAR(80)),LEFT(@CurrentColName, 40),",
                    "        Where (INSERTED.ReqIntID = DELETED.ReqIntID)"}},
        OptionCase{"Uppercase",
                   {"--table", "Contacts", "--uppercase-identifiers"},
                   {"CREATE TRIGGER QLX_AuditTrailContacts ON Contacts",
                    "    Where (Contacts.CONTACTINTID = INSERTED.CONTACTINTID)",
                    "        SELECT  @QLXUserID,INSERTED.CONTACTINTID,CAST(INSERTED.DisplayName "
                    "AS NVARCHAR(80)),LEFT(@CurrentColName, 40),",
                    "        Where (INSERTED.CONTACTINTID = DELETED.CONTACTINTID)"}},
        OptionCase{"KnownTableOtherCase",
                   {"--table", "SAVESETINFO"},
                   {"CREATE TRIGGER QLX_AuditTrailSAVESETINFO ON SAVESETINFO",
                    "    Where (SAVESETINFO.SaveSetIntID = INSERTED.SaveSetIntID)",
                    "        SELECT  @QLXUserID,INSERTED.SaveSetIntID,CAST(INSERTED.DisplayName "
                    "AS NVARCHAR(80)),LEFT(@CurrentColName, 40),",
                    "        Where (INSERTED.SaveSetIntID = DELETED.SaveSetIntID)"}},
        OptionCase{"UnknownTableWithKey",
                   {"--table", "Orders", "--key-column", "OrderID"},
                   {"CREATE TRIGGER QLX_AuditTrailOrders ON Orders",
                    "    Where (Orders.OrderID = INSERTED.OrderID)",
                    "        SELECT  @QLXUserID,INSERTED.OrderID,CAST(INSERTED.DisplayName AS "
                    "NVARCHAR(80)),LEFT(@CurrentColName, 40),",
                    "        Where (INSERTED.OrderID = DELETED.OrderID)"}},
        OptionCase{"DisplayOverride",
                   {"--display-column", "Town"},
                   {"CREATE TRIGGER QLX_AuditTrailCompanies ON Companies",
                    "    Where (Companies.CompanyIntID = INSERTED.CompanyIntID)",
                    "        SELECT  @QLXUserID,INSERTED.CompanyIntID,CAST(INSERTED.Town AS "
                    "NVARCHAR(80)),LEFT(@CurrentColName, 40),",
                    "        Where (INSERTED.CompanyIntID = DELETED.CompanyIntID)"},
                   22 + 67}),
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
        } else if (arg == "FOLDER") {
            arg = dir.Path().string();
        } else if (arg.starts_with("TEXT:")) {
            arg = dir.Write("given.tsv", arg.substr(5)).string();
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
        RefusalCase{"UnknownOptionWithControlCharacters",
                    {"--columns", "COLUMNS", "--x\x1B]0;owned\x07"},
                    "--x\\x1B]0;owned\\x07"},
        RefusalCase{"MissingValue", {"--columns"}, "--columns"},
        RefusalCase{"UnreadableFile",
                    {"--columns", "MISSING"},
                    "missing.tsv' cannot be read: " + std::string(std::strerror(ENOENT))},
        RefusalCase{"Folder", {"--columns", "FOLDER"}, "' is a folder"},
        RefusalCase{"EmptyFile", {"--columns", "TEXT:"}, "given.tsv' lists no column"},
        RefusalCase{"ControlCharacterInName",
                    {"--columns", "TEXT:A\t3\nB\x01\t3\n"},
                    "given.tsv', line 2: the column name 'B\\x01' holds a control character"},
        RefusalCase{"DuplicateIgnoringCase",
                    {"--columns", "TEXT:Name\t3\nname\t3\n"},
                    "line 2: the column name 'name' repeats the name on line 1"},
        RefusalCase{"NameTooLong",
                    {"--columns", "TEXT:" + std::string(129, 'n') + "\t3\n"},
                    "line 1: the column name '" + std::string(129, 'n') + "' has 129 characters"},
        RefusalCase{
            "TableTooLongForItsConstraintNames",
            {"--columns", "COLUMNS", "--table", std::string(105, 't'), "--key-column", "Id"},
            "makes the constraint name DF_AuditTrail" + std::string(105, 't') +
                "_SQLLoginID 129 characters long"},
        RefusalCase{"KeyColumnTooLong",
                    {"--columns", "COLUMNS", "--key-column", std::string(129, 'k')},
                    "has 129 characters, more than SQL Server's 128"},
        RefusalCase{"TableWithControlCharacter",
                    {"--columns", "COLUMNS", "--table", "A\x1B[2J"},
                    "the table 'A\\x1B[2J' is not a plain identifier"},
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
        RefusalCase{"UppercaseWithoutColumns", {"--uppercase-identifiers"}, "--columns"},
        RefusalCase{"UnknownColumnFact",
                    {"--columns", "TEXT:A\t3\nB\t3\tauto\n"},
                    "given.tsv', line 2: the field 'auto' is not understood"},
        RefusalCase{
            "UnknownTableWithATwoColumnPrimaryKey",
            {"--columns", "TEXT:A\t3\tprimary-key\nB\t3\tprimary-key\n", "--table", "Orders"},
            "reports the primary key (A, B) of 2 columns; name the key column with "
            "--key-column"},
        RefusalCase{"UnknownTableWhosePrimaryKeyIsNotPlain",
                    {"--columns", "TEXT:Order No\t3\tprimary-key\n", "--table", "Orders"},
                    "the primary key column 'Order No' is not a plain identifier"},
        RefusalCase{"DropAuditTableWithoutDrop", {"--drop-audit-table"}, "--drop"},
        RefusalCase{"DropReadsNoDatabase",
                    {"--drop", "--database", "QeltOne.db"},
                    "--database excludes --drop"}),
    [](const auto& info) { return info.param.name; });

TEST(QeltAuditOutput, ReplacesTheFileOnlyOnSuccess) {
    test::TempFolder dir;
    const auto output = dir.Path() / "audit.sql";
    const auto columns = dir.Write("c.tsv", kColumns).string();

    test::CliResult result = test::RunCli({"--columns", columns, "--output", output.string()});
    EXPECT_EQ(result.exitCode, kExitOk);
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_EQ(test::ReadBytes(output), test::CompaniesScript());

    dir.Write("audit.sql", "kept");
    result = test::RunCli(
        {"--columns", dir.Write("bad.tsv", "x\n").string(), "--output", output.string()});
    EXPECT_EQ(result.exitCode, kExitUsage);
    EXPECT_EQ(test::ReadBytes(output), "kept");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3)
        << "no temporary file may be left behind";
}

// A table none of whose columns an UPDATE can set gets no trigger, which would discard every
// update: its own exit code, nothing written, the file named by --output kept.
TEST(QeltAuditOutput, TableWithNoColumnToSetWritesNothing) {
    test::TempFolder dir;
    const auto output = dir.Write("audit.sql", "kept");
    const auto columns =
        dir.Write("c.tsv",
                  "CompanyIntID\t3\tidentity\nTotal\t3\tcomputed\nVersion\t128\trowversion\n")
            .string();
    for (const bool toFile : {false, true}) {
        std::vector<std::string> args = {"--columns", columns};
        if (toFile) {
            args.insert(args.end(), {"--output", output.string()});
        }
        const test::CliResult result = test::RunCli(args);
        EXPECT_EQ(result.exitCode, kExitNoColumnToSet);
        EXPECT_THAT(result.out, IsEmpty());
        EXPECT_THAT(result.err, StartsWith("Error creating the Trigger"));
        EXPECT_THAT(result.err, HasSubstr("No column of Companies can be set by an UPDATE"));
        EXPECT_EQ(test::ReadBytes(output), "kept");
    }
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

// ---- Warnings, --strict and --drop -------------------------------------------------------------

// A float column loses digits in the log: a warning, and under --strict no script at all.
TEST(QeltAuditWarnings, StrictWritesNothingWhenThereAreWarnings) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", std::string(kColumns) + "Turnover\t5\n").string();
    const auto output = dir.Write("audit.sql", "kept");
    const std::string warning =
        "qeltaudit: warning: the column 'Turnover' holds floating-point values, which the trigger "
        "logs rounded to 6 significant digits\n";

    test::CliResult result = test::RunCli({"--columns", columns});
    EXPECT_EQ(result.exitCode, kExitOk);
    EXPECT_EQ(result.err, warning);
    EXPECT_THAT(result.out, StartsWith("CREATE TABLE"));

    for (const bool toFile : {false, true}) {
        std::vector<std::string> args = {"--columns", columns, "--strict"};
        if (toFile) {
            args.insert(args.end(), {"--output", output.string()});
        }
        result = test::RunCli(args);
        EXPECT_EQ(result.exitCode, kExitWarnings);
        EXPECT_THAT(result.out, IsEmpty());
        EXPECT_EQ(result.err, warning + "qeltaudit: no script written: --strict and 1 warning\n");
        EXPECT_EQ(test::ReadBytes(output), "kept");
    }

    result = test::RunCli({"--columns", dir.Write("clean.tsv", kColumns).string(), "--strict"});
    EXPECT_EQ(result.exitCode, kExitOk);
    EXPECT_EQ(result.out, test::CompaniesScript());
}

// A table outside the built-in list takes the one primary-key column the list marks, and says so.
TEST(QeltAuditWarnings, UnknownTableTakesItsPrimaryKeyAsKeyColumn) {
    test::TempFolder dir;
    const auto columns =
        dir.Write("orders.tsv", "OrderID\t3\tidentity\tprimary-key\nDisplayName\t202\tsize=80\n")
            .string();
    const test::CliResult result = test::RunCli({"--columns", columns, "--table", "Orders"});
    EXPECT_EQ(result.exitCode, kExitOk);
    EXPECT_EQ(result.err,
              "qeltaudit: warning: the table 'Orders' has no built-in key column: the script uses "
              "its primary key 'OrderID', as the database reports it (--key-column names "
              "another)\n");
    EXPECT_THAT(NamingLines(result.out),
                ::testing::ElementsAre(
                    "CREATE TRIGGER QLX_AuditTrailOrders ON Orders",
                    "    Where (Orders.OrderID = INSERTED.OrderID)",
                    "        SELECT  @QLXUserID,INSERTED.OrderID,CAST(INSERTED.DisplayName AS "
                    "NVARCHAR(80)),LEFT(@CurrentColName, 40),",
                    "        Where (INSERTED.OrderID = DELETED.OrderID)"));
    // The identity key stays out of the trigger's UPDATE.
    EXPECT_THAT(result.out,
                HasSubstr("UPDATE Orders SET\r\n    DisplayName = INSERTED.DisplayName\r\n"));
}

TEST(QeltAuditDrop, WritesTheRemovalScript) {
    test::TempFolder dir;
    const auto output = dir.Path() / "remove.sql";
    test::CliResult result = test::RunCli({"--drop", "--table", "contacts"});
    EXPECT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_EQ(result.out,
              "IF OBJECT_ID(N'QLX_AuditTrailContacts', N'TR') IS NOT NULL\r\n"
              "    DROP TRIGGER QLX_AuditTrailContacts\r\n"
              "GO\r\n");
    result = test::RunCli({"--drop", "--drop-audit-table", "--output", output.string()});
    EXPECT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_THAT(test::ReadBytes(output),
                HasSubstr("GO\r\nIF OBJECT_ID(N'[dbo].[AuditTrailCompanies]', N'U') IS NOT NULL\r\n"
                          "    DROP TABLE [dbo].[AuditTrailCompanies]\r\nGO\r\n"));
}

// The help's words with every run of blanks and line ends as one space.
std::string Unwrapped(const std::string& text) {
    std::string words;
    for (const char c : text) {
        if (c != ' ' && c != '\n') {
            words += c;
        } else if (!words.empty() && words.back() != ' ') {
            words += ' ';
        }
    }
    return words;
}

TEST(QeltAuditInfo, HelpFitsEightyColumnsAndKeepsEveryWord) {
    const test::CliResult result = test::RunCli({"--help"});
    ASSERT_EQ(result.exitCode, kExitOk);
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 80u) << line;
    }
    // Texts that the wrapping breaks into lines, whole again.
    const std::string words = Unwrapped(result.out);
    for (const char* text :
         {"It never runs the script and never changes the database.",
          "Database files are opened read-only and never created, and only the probe query is run",
          "--show-settings Print the host folder, data folder and database found at start-up",
          "64 usage error; 65 --strict and the script has warnings; 71 out of memory; 74 the "
          "script could not be written."}) {
        EXPECT_THAT(words, HasSubstr(text));
    }
}

TEST(QeltAuditInfo, OutOfMemoryEndsWithItsMessageAndExitCode) {
    std::ostringstream out;
    std::ostringstream err;
    const auto exhausted = []() -> HostSettings { throw std::bad_alloc(); };
    EXPECT_EQ(RunQeltAudit({"--show-settings"}, out, err, exhausted), kExitOutOfMemory);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "qeltaudit: out of memory\n");
}

}  // namespace
}  // namespace qelt::cli
