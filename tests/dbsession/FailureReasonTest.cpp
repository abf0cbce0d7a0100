// The reason behind a failure as the user reads it: the details text and its hints.
#include "dbsession/FailureReason.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "dbsession/FileDrivers.h"
#include "support/CaseName.h"
#include "support/TempFolder.h"

namespace qelt {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

struct DetailsCase {
    const char* name;
    FailureReason reason;
    std::string lines;  // the expected text with LF for CR LF; "" for none
};

void PrintTo(const DetailsCase& details, std::ostream* out) {
    *out << details.name;
}

std::string CrLfLines(const std::string& text) {
    std::string result;
    for (const char c : text) {
        result += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return result;
}

class DetailsTextTest : public ::testing::TestWithParam<DetailsCase> {};

TEST_P(DetailsTextTest, MessageThenDriverCodesThenHint) {
    const std::string text = FailureDetailsText(GetParam().reason);
    if (GetParam().lines.empty()) {
        EXPECT_EQ(text, "");
        return;
    }
    // Every line but the hint is exact; the hint line starts as given.
    const std::string expected = CrLfLines(GetParam().lines);
    EXPECT_TRUE(text.starts_with(expected)) << text;
    EXPECT_EQ(text.find('\n', expected.size()), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, DetailsTextTest,
    ::testing::Values(
        DetailsCase{"Nothing", {}, ""},
        DetailsCase{
            "MessageOnly", {"", 0, "the file is odd", FailureHint::None, ""}, "the file is odd"},
        DetailsCase{
            "MissingFile",
            {"", 0, "the database file '/x.db' does not exist", FailureHint::FileNotFound, ""},
            "the database file '/x.db' does not exist\nHint: Check the path"},
        DetailsCase{"DriverError",
                    {"IM002", 0, "[IM002] no such driver", FailureHint::NoDriver, ""},
                    "[IM002] no such driver\nSQLSTATE: IM002\nNative error: 0\nHint: No ODBC "
                    "data source or driver of that name is installed"},
        DetailsCase{"NegativeNativeError",
                    {"HY000", -7, "[HY000] odd", FailureHint::None, ""},
                    "[HY000] odd\nSQLSTATE: HY000\nNative error: -7"},
        DetailsCase{
            "NotADatabase",
            {"HY000", 26, "[HY000] file is not a database (26)", FailureHint::NotADatabase, ""},
            "[HY000] file is not a database (26)\nSQLSTATE: HY000\nNative error: "
            "26\nHint: The file is not a database"},
        DetailsCase{"PermissionDenied",
                    {"", 0, "denied", FailureHint::PermissionDenied, ""},
                    "denied\nHint: Permission denied"}),
    [](const auto& info) { return std::string(info.param.name); });

struct DiagnosticCase {
    std::string name;
    const char* sqlState;
    const char* message;
    FailureHint hint;
};

class DiagnosticHintTest : public ::testing::TestWithParam<DiagnosticCase> {};

TEST_P(DiagnosticHintTest, HintComesFromTheStateOrTheDriversWords) {
    EXPECT_EQ(HintOfDiagnostic(GetParam().sqlState, GetParam().message), GetParam().hint);
}

INSTANTIATE_TEST_SUITE_P(
    Diagnostics, DiagnosticHintTest,
    ::testing::Values(
        DiagnosticCase{"DataSourceNotFound", "IM002",
                       "[unixODBC][Driver Manager]Data source name not found",
                       FailureHint::NoDriver},
        DiagnosticCase{"DriverLibraryNotFound", "01000",
                       "[01000] [unixODBC][Driver Manager]Can't open lib 'Qelt' : file not found",
                       FailureHint::NoDriver},
        DiagnosticCase{"NotADatabase", "HY000", "[HY000] file is not a database (26)",
                       FailureHint::NotADatabase},
        DiagnosticCase{"EncryptedOrNotADatabase", "HY000",
                       "[HY000] file is encrypted or is not a database", FailureHint::NotADatabase},
        DiagnosticCase{"OtherDriverError", "HY000", "[HY000] no such table: Nope",
                       FailureHint::None},
        DiagnosticCase{"DriverNotLoaded", "IM003", "driver could not be loaded", FailureHint::None},
        DiagnosticCase{"Empty", "", "", FailureHint::None}),
    test::CaseNameOf());

TEST(ReasonOfError, DriverErrorsCarryTheirCodesOtherErrorsNothing) {
    const FailureReason driver =
        ReasonOfError(OdbcError(26, "HY000", "[HY000] file is not a database (26)"));
    EXPECT_EQ(driver, (FailureReason{"HY000", 26, "[HY000] file is not a database (26)",
                                     FailureHint::NotADatabase, ""}));
    EXPECT_EQ(ReasonOfError(Error(91, "The probe query returned no recordset")), FailureReason{});
}

// The package column of the README's table of database files, by the row's first extension.
std::string ReadmePackage(std::string_view firstExtension) {
    std::istringstream readme(test::ReadBytes(QELT_README));
    for (std::string line; std::getline(readme, line);) {
        if (line.starts_with("| `" + std::string(firstExtension) + "`")) {
            const std::size_t last = line.rfind('|', line.size() - 2);
            std::string cell = line.substr(last + 1, line.size() - last - 2);
            cell.erase(0, cell.find_first_not_of(" `"));
            cell.erase(cell.find_last_not_of(" `") + 1);
            return cell;
        }
    }
    return "";
}

// A missing driver's hint names what to install for the kind of file, and how to list drivers.
TEST(MissingDriverHint, NamesTheDriverToInstallForEachKindOfFile) {
    for (const FileDriver& row : FileDrivers()) {
        const std::string details = FailureDetailsText(
            {"", 0, "no ODBC driver", FailureHint::NoDriver, std::string(row.kind)});
        EXPECT_THAT(details, HasSubstr(std::string(row.installedNames[0]))) << row.kind;
#ifndef _WIN32
        const std::string package = ReadmePackage(row.extensions[0]);
        ASSERT_FALSE(package.empty()) << row.kind;
        EXPECT_THAT(details, AllOf(HasSubstr("apt install " + package), HasSubstr("odbcinst")))
            << row.kind;
#endif
    }
    EXPECT_THAT(FailureDetailsText({"IM002", 0, "[IM002] x", FailureHint::NoDriver, ""}),
                Not(HasSubstr("apt install")));
}

}  // namespace
}  // namespace qelt
