// qeltaudit --database: the generation run through the ODBC session, its exit codes and what
// reaches standard output, standard error and --output.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/QeltAudit.h"

namespace qelt::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kDemoDatabase = QELT_DEMO_DATABASE;

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

RunResult RunCli(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = RunQeltAudit(args, out, err);
    return {exitCode, out.str(), err.str()};
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

class DatabaseModeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name =
            std::string("qelt-cli-") + test->name() + "-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
        std::replace(name.begin(), name.end(), '/', '-');  // parameterised names hold a slash
        folder_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path folder_;
};

TEST_F(DatabaseModeTest, WritesTheScriptOfTheDemoTableToStandardOutput) {
    const RunResult result = RunCli({"--database", kDemoDatabase, "--table", "Contacts"});
    EXPECT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_THAT(result.out, StartsWith("CREATE TABLE [dbo].[AuditTrailContacts] ("));
    EXPECT_THAT(result.out, HasSubstr("Where (INSERTED.ContactIntID = DELETED.ContactIntID)"));
    EXPECT_THAT(result.out, HasSubstr("WHEN 'Notes' THEN DELETED.Notes\r\n"));
    EXPECT_THAT(result.out, HasSubstr("CAST(DELETED.BirthDate AS NVARCHAR(20))"));
}

struct FailureCase {
    const char* name;
    std::vector<std::string> args;  // "@" stands for the test's own folder
    int exitCode;
    const char* errStart;

    friend void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.name; }
};

class DatabaseModeFailureTest : public DatabaseModeTest,
                                public ::testing::WithParamInterface<FailureCase> {};

// Failures print nothing on standard output and leave an existing --output file alone.
TEST_P(DatabaseModeFailureTest, ReportsOnStandardErrorOnly) {
    const auto output = folder_ / "script.sql";
    std::ofstream(output) << "earlier script";
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args) {
        args.push_back(arg == "@" ? folder_.string() : arg);
    }
    args.insert(args.end(), {"--output", output.string()});
    const RunResult result = RunCli(args);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, StartsWith(GetParam().errStart));
    EXPECT_EQ(ReadFile(output), "earlier script");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DatabaseModeFailureTest,
    ::testing::Values(
        FailureCase{"MissingFile",
                    {"--database", "/nonexistent/QeltOne.db"},
                    kExitOpenFailed,
                    "Error Opening the Database.\n/nonexistent/QeltOne.db\nqeltaudit: "},
        FailureCase{"MissingMdb",
                    {"--database", "/nonexistent/QeltOne.mdb"},
                    kExitOpenFailed,
                    "Error Opening the Database.\n/nonexistent/QeltOne.mdb\n"},
        FailureCase{"FolderIsNoDatabase",
                    {"--database", "@"},
                    kExitOpenFailed,
                    "Error Opening the Database.\n"},
        FailureCase{"UnknownDataSource",
                    {"--database", "DSN=QeltNoSuchSource"},
                    kExitOpenFailed,
                    "Error Opening the Database.\nDSN=QeltNoSuchSource\nqeltaudit: [IM002]"},
        FailureCase{"UnknownTable",
                    {"--database", kDemoDatabase, "--table", "Nope", "--key-column", "NopeID"},
                    kExitRunFailed,
                    "Error creating the Trigger\nDescription: [HY000] "},
        FailureCase{"WithColumns",
                    {"--database", kDemoDatabase, "--columns", "@"},
                    kExitUsage,
                    "qeltaudit: "},
        FailureCase{"TableNotAnIdentifier",
                    {"--database", kDemoDatabase, "--table", "Companies;DROP"},
                    kExitUsage,
                    "qeltaudit: the table"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DatabaseModeTest, OutputFileGetsTheScriptOnSuccess) {
    const auto output = folder_ / "script.sql";
    std::ofstream(output) << "earlier script";
    const RunResult result = RunCli({"--database", kDemoDatabase, "--output", output.string()});
    EXPECT_EQ(result.exitCode, kExitOk) << result.err;
    EXPECT_EQ(result.out, "");
    const RunResult printed = RunCli({"--database", kDemoDatabase});
    EXPECT_EQ(ReadFile(output), printed.out);
    EXPECT_THAT(printed.out, StartsWith("CREATE TABLE [dbo].[AuditTrailCompanies] ("));
}

// Without --database or --columns the default database is opened, relative to the working
// folder; there is none here.
TEST_F(DatabaseModeTest, DefaultDatabaseIsOpenedWhenNoneIsNamed) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    const RunResult result = RunCli({});
    std::filesystem::current_path(previous);
    EXPECT_EQ(result.exitCode, kExitOpenFailed);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, StartsWith("Error Opening the Database.\nQeltOne.mdb\n"));
    EXPECT_TRUE(std::filesystem::is_empty(folder_));
}

}  // namespace
}  // namespace qelt::cli
