// A Windows program's file drivers and the names it gives them: under Wine, where these tests
// run, through Wine's own functions; as on Windows itself without them.
#include "dbsession/FileDriversWin32.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dbsession/OdbcSession.h"
#include "support/TempFolder.h"

namespace qelt {
namespace {

using test::TempFolder;
using ::testing::HasSubstr;
using ::testing::Not;

const WineFileNames kWindowsItself{};

// A Wine of the test's own: "C:\" lies in /prefix/c, and a Unix name beginning "/unix" has a
// Windows path, "Z:\unix…"; other names have no counterpart.
WineFileNames FakeWine() {
    return {[](const std::filesystem::path& file) -> std::optional<std::string> {
                std::string name = file.string();
                if (!name.starts_with("C:\\")) {
                    return std::nullopt;
                }
                std::ranges::replace(name, '\\', '/');
                return "/prefix/c" + name.substr(2);
            },
            [](std::string_view name) -> std::optional<std::filesystem::path> {
                if (!name.starts_with("/unix")) {
                    return std::nullopt;
                }
                std::string path = "Z:" + std::string(name);
                std::ranges::replace(path, '/', '\\');
                return path;
            }};
}

// The prefix as Wine's Unix names start, from the environment CTest gives the tests.
std::string WinePrefix() {
    const char* prefix = std::getenv("WINEPREFIX");
    return prefix != nullptr ? prefix : "";
}

std::string Slashed(std::string path) {
    std::ranges::replace(path, '\\', '/');
    return path;
}

// The registry of every Wine prefix has the key, whatever the kernel32 of the program offers.
TEST(Wine, IsFoundThroughKernel32WhereWineRuns) {
    HKEY key = nullptr;
    const bool wineRegistry =
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (wineRegistry) {
        RegCloseKey(key);
    }
    EXPECT_EQ(ThisSystemsWine().UnderWine(), wineRegistry);
    EXPECT_FALSE(kWindowsItself.UnderWine());
}

// Under Wine the rows are unixODBC's, whose drivers Wine's odbc32 reaches; on Windows Windows'.
TEST(Wine, DriversAreUnixOdbcsUnderWineAndWindowsOnWindows) {
    struct Case {
        const WineFileNames& wine;
        const char* access;
        const char* sqlite;
        bool utf8Calls;
    };
    const WineFileNames fake = FakeWine();
    for (const Case& c : {Case{fake, "MDBTools", "SQLite3", true},
                          Case{kWindowsItself, "Microsoft Access Driver (*.mdb, *.accdb)",
                               "SQLite3 ODBC Driver", false}}) {
        const auto drivers = FileDriversWith(c.wine);
        const FileDriver* access = FileDriverFor("C:\\QeltData\\Main.MDB", drivers);
        const FileDriver* sqlite = FileDriverFor("Z:\\home\\me\\db.sqlite", drivers);
        ASSERT_TRUE(access != nullptr && sqlite != nullptr) << c.access;
        EXPECT_EQ(access->installedNames.front(), c.access);
        EXPECT_EQ(sqlite->installedNames.front(), c.sqlite);
        EXPECT_EQ(access->utf8Calls, c.utf8Calls) << c.access;
        EXPECT_EQ(sqlite->utf8Calls, c.utf8Calls) << c.sqlite;
    }
    EXPECT_EQ(FileDrivers().data(), FileDriversWith(ThisSystemsWine()).data());
}

// Connection strings as the drivers of each system take them.
struct ConnectionCase {
    const char* name;
    bool underWine;  // through the fake Wine, else as on Windows itself
    const char* file;
    const char* connectionString;  // "" when refused
};

class WineConnectionStringTest : public ::testing::TestWithParam<ConnectionCase> {};

TEST_P(WineConnectionStringTest, NamesTheFileAsTheDriverOpensIt) {
    const ConnectionCase& c = GetParam();
    const WineFileNames wine = c.underWine ? FakeWine() : kWindowsItself;
    const FileDriver* row = FileDriverFor(c.file, FileDriversWith(wine));
    ASSERT_NE(row, nullptr);
    const FileConnection built = FileConnectionString(
        *row, "{D}", c.file, DriverFileNameWith(std::filesystem::path(c.file), wine));
    EXPECT_EQ(built.connectionString, c.connectionString);
    EXPECT_EQ(built.failure.empty(), !std::string(c.connectionString).empty()) << built.failure;
}

INSTANTIATE_TEST_SUITE_P(
    Files, WineConnectionStringTest,
    ::testing::Values(
        ConnectionCase{"WineAccess", true, "C:\\QeltData\\Main.mdb",
                       "DRIVER={D};DBQ=/prefix/c/QeltData/Main.mdb;ReadOnly=1;"},
        ConnectionCase{"WineSQLite", true, "C:\\Qelt Data\\Main.db",
                       "DRIVER={D};Database=file:///prefix/c/Qelt%20Data/Main.db?mode=ro;"
                       "NoCreat=1;Timeout=1500;"},
        ConnectionCase{"WineFileWithoutUnixName", true, "Q:\\Main.mdb", ""},
        ConnectionCase{"WindowsAccess", false, "C:\\Qelt;Data\\Main.mdb",
                       "DRIVER={D};DBQ={C:\\Qelt;Data\\Main.mdb};ReadOnly=1;"},
        ConnectionCase{"WindowsSQLite", false, "C:/Qelt Data/Main.db",
                       "DRIVER={D};Database=file:///C:/Qelt%20Data/Main.db?mode=ro;NoCreat=1;"
                       "Timeout=1500;"}),
    [](const auto& info) { return std::string(info.param.name); });

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Wine's own translation: a file on C: is named through the prefix's drive link, in UTF-8 and in
// the letter case it has on disk; a Z: name is the Unix name itself.
TEST(Wine, GivesTheUnixNameOfAFileOnEachDrive) {
    if (!ThisSystemsWine().UnderWine()) {
        GTEST_SKIP() << "not under Wine";
    }
    TempFolder folder;
    const std::filesystem::path file = folder.Path() / u8"Qelt Däta €" / "Main.DB";
    test::WriteFile(file, "");
    std::string typed = Utf8(file);
    std::ranges::transform(typed, typed.begin(), [](char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    ASSERT_TRUE(typed.starts_with("c:\\")) << typed;
    const DriverFileName onC =
        DriverFileNameOf(std::filesystem::path(std::u8string(typed.begin(), typed.end())));
    EXPECT_EQ(onC.name, WinePrefix() + "/dosdevices/c:" + Slashed(Utf8(file).substr(2)));
    EXPECT_FALSE(onC.windowsForm);

    std::string onZ = "Z:" + WinePrefix() + "/drive_c";
    std::ranges::replace(onZ, '/', '\\');
    EXPECT_EQ(DriverFileNameOf(onZ).name, WinePrefix() + "/drive_c");
}

// The table's libraries are Unix names: Wine finds them, Windows itself has none.
TEST(Wine, FindsALibraryByItsUnixName) {
    const WineFileNames fake = FakeWine();
    EXPECT_FALSE(DriverLibraryPresentWith("/elsewhere/lib.so", fake));
    EXPECT_FALSE(DriverLibraryPresentWith("/unix/lib.so", kWindowsItself));
    if (ThisSystemsWine().UnderWine()) {
        TempFolder folder;
        const std::string library = DriverFileNameOf(folder.Write("lib.so", "")).name;
        EXPECT_TRUE(DriverLibraryPresent(library)) << library;
        EXPECT_FALSE(DriverLibraryPresent(library + ".missing"));
        EXPECT_FALSE(DriverLibraryPresent(DriverFileNameOf(folder.Path()).name));  // a folder
    }
}

// Under Wine the connection string reaches unixODBC, whose buffers limit it; Windows' driver
// manager checks its names itself.
TEST(Wine, KeyLimitsAreUnixOdbcsUnderWineAndNoneOnWindows) {
    EXPECT_EQ(KeyLimitsWith(FakeWine()).data(), UnixOdbcKeyLimits().data());
    EXPECT_TRUE(KeyLimitsWith(kWindowsItself).empty());
    EXPECT_EQ(DriverManagerKeyLimits().data(), KeyLimitsWith(ThisSystemsWine()).data());
}

TEST(WineDriverManager, DriverNamePastUnixOdbcsBufferIsAnOpenFailure) {
    if (!ThisSystemsWine().UnderWine()) {
        GTEST_SKIP() << "not under Wine";
    }
    for (const std::size_t length : {1001, 1000}) {
        OdbcSession session;
        session.SetDatabaseName("DRIVER={" + std::string(length, 'a') + "};Database=C:\\q.db");
        EXPECT_FALSE(session.OpenDatabase());
        EXPECT_EQ(session.OpenFailure().find("holds at most 1000") != std::string::npos,
                  length == 1001)
            << session.OpenFailure();
    }
}

// tests/wine/prepare-prefix.sh makes C:\QeltAuditTests\Kinds: a FIFO nothing writes to, a link to
// /dev/zero, a socket and a folder, each named as a database file.
class WineDatabasePathKindTest
    : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(WineDatabasePathKindTest, IsAnOpenFailureSayingWhatThePathIs) {
    if (!ThisSystemsWine().UnderWine()) {
        GTEST_SKIP() << "not under Wine";
    }
    const std::string path = std::string("C:\\QeltAuditTests\\Kinds\\") + GetParam().first;
    OdbcSession session;
    session.SetDatabaseName(path);
    EXPECT_FALSE(session.OpenDatabase());
    EXPECT_EQ(session.OpenFailure(),
              "the database file '" + path + "' is " + GetParam().second + ", not a database file");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WineDatabasePathKindTest,
    ::testing::Values(std::pair{"Fifo.db", "a FIFO"}, std::pair{"Device.sqlite", "a device"},
                      std::pair{"Socket.db3", "a socket"}, std::pair{"Folder.mdb", "a folder"}),
    [](const auto& info) { return std::filesystem::path(info.param.first).stem().string(); });

// Windows names files in UTF-16: a name in another code page is an open failure that says so,
// not an exception of the run.
TEST(WindowsFileNames, NameThatIsNoUtf8IsAnOpenFailure) {
    OdbcSession session;
    session.SetDatabaseName("C:\\D\xE4ta\\QeltOne.db");
    EXPECT_FALSE(session.OpenDatabase());
    EXPECT_THAT(session.OpenFailure(), HasSubstr("is not UTF-8 text"));
}

// Under Wine the rows are unixODBC's, yet the user installs a missing driver on the Windows side:
// the advice names Windows' installer and the name the row's driver registers.
TEST(MissingDriverAdvice, NamesTheWindowsInstallerAlsoForUnixOdbcRows) {
    for (const FileDriver& windowsRow : FileDriversWith(kWindowsItself)) {
        EXPECT_FALSE(windowsRow.package.empty()) << windowsRow.kind;
        const auto unixRow =
            std::ranges::find(UnixOdbcFileDrivers(), windowsRow.kind, &FileDriver::kind);
        ASSERT_NE(unixRow, UnixOdbcFileDrivers().end()) << windowsRow.kind;
        for (const FileDriver* row : {&windowsRow, &*unixRow}) {
            const std::string advice = MissingDriverAdvice(row);
            EXPECT_THAT(advice, HasSubstr(std::string(windowsRow.package)));
            EXPECT_THAT(advice, HasSubstr(std::string(row->installedNames[0])));
            EXPECT_THAT(advice, Not(HasSubstr(std::string(unixRow->package))));
        }
    }
}

}  // namespace
}  // namespace qelt
