// The database file drivers as data and the connection strings built from them, without any
// driver: this executable links no ODBC library.
#include "dbsession/FileDrivers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "support/CaseName.h"
#include "support/TempFolder.h"

namespace qelt {
namespace {

using test::TempFolder;
using ::testing::HasSubstr;

// ---- Which text names which driver -------------------------------------------------------------

struct KindCase {
    std::string name;
    const char* text;
    const char* kind;  // "=" for a connection string, "" for no driver

    friend void PrintTo(const KindCase& kindCase, std::ostream* out) {
        *out << '"' << kindCase.text << '"';
    }
};

class DatabaseTextTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(DatabaseTextTest, EqualsSignThenExtensionIgnoringCase) {
    const std::string text = GetParam().text;
    const FileDriver* row = FileDriverFor(text);
    const std::string kind = IsConnectionString(text) ? "=" : row ? std::string(row->kind) : "";
    EXPECT_EQ(kind, GetParam().kind) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DatabaseTextTest,
    ::testing::Values(
        KindCase{"DataSource", "DSN=Server1", "="},
        KindCase{"DriverConnectionString", "DRIVER={SQLite3};Database=/data/q.db", "="},
        KindCase{"EqualsSignInAFileName", "/data/odd=name.db", "="},
        KindCase{"AccessMdb", "C:\\QeltOne\\Data\\QeltOne.MDB", "Access"},
        KindCase{"AccessAccdb", "QeltOne.accdb", "Access"},
        KindCase{"AccessInMixedCase", "Qelt One.AccDb", "Access"},
        KindCase{"SQLiteDb", "/srv/QeltOne.db", "SQLite"},
        KindCase{"SQLiteInMixedCase", "demo.SQLite", "SQLite"},
        KindCase{"SQLite3", "/my data/demo.sqlite3", "SQLite"},
        KindCase{"SQLiteDb3", "demo.DB3", "SQLite"}, KindCase{"BackupCopy", "demo.db.bak", ""},
        KindCase{"LongerExtension", "demo.dbx", ""}, KindCase{"ShorterExtension", "demo.d", ""},
        KindCase{"ExtensionOfAFolder", "/data.db/QeltOne", ""},
        KindCase{"EmptyExtension", "QeltOne.", ""}, KindCase{"OnlyAnExtension", ".db", ""},
        KindCase{"WithoutExtension", "QeltOne", ""}, KindCase{"Empty", "", ""}),
    test::CaseNameOf());

// A connection string naming a file driver gets that driver's calls.
struct DriverNamedCase {
    std::string name;
    const char* connectionString;
    const char* kind;  // "" for no file driver
};

class DriverNamedTest : public ::testing::TestWithParam<DriverNamedCase> {};

TEST_P(DriverNamedTest, FindsTheRowOfTheDriverValue) {
    const FileDriver* row = FileDriverNamedIn(GetParam().connectionString);
    EXPECT_EQ(row ? std::string(row->kind) : "", GetParam().kind) << GetParam().connectionString;
}

INSTANTIATE_TEST_SUITE_P(
    ConnectionStrings, DriverNamedTest,
    ::testing::Values(
        DriverNamedCase{"Braced", "DRIVER={SQLite3};Database=/data/q.db", "SQLite"},
        DriverNamedCase{"PlainInLowerCase", "driver=sqlite3;Database=/data/q.db", "SQLite"},
        DriverNamedCase{"DriverKeyInsideABracedValue", "Database={/a;DRIVER=x};DRIVER={MDBTools}",
                        "Access"},
        DriverNamedCase{"LibraryPath",
                        "DRIVER=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so;Database=q.db",
                        "SQLite"},
        DriverNamedCase{"FullDriverName", "DRIVER={SQLite3 ODBC Driver}", "SQLite"},
        DriverNamedCase{"EscapedBraceInTheName", "DRIVER={SQLite3}}};Database=q.db", ""},
        DriverNamedCase{"OtherDriver", "DRIVER={PostgreSQL Unicode};Servername=x", ""},
        DriverNamedCase{"LongerKeyIsAnother", "ODRIVER=SQLite3;Database=q.db", ""},
        DriverNamedCase{"DataSource", "DSN=Server1", ""},
        DriverNamedCase{"EmptyDriver", "DRIVER=;Database=q.db", ""}),
    test::CaseNameOf());

// ---- Connection string values and strings ------------------------------------------------------

struct KeyValueCase {
    std::string name;
    const char* connectionString;
    const char* key;
    const char* value;
};

class ConnectionStringValueTest : public ::testing::TestWithParam<KeyValueCase> {};

TEST_P(ConnectionStringValueTest, ReadsTheKeysValueWithoutBraces) {
    const KeyValueCase& c = GetParam();
    EXPECT_EQ(ConnectionStringValue(c.connectionString, c.key), c.value) << c.connectionString;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ConnectionStringValueTest,
    ::testing::Values(
        KeyValueCase{"Plain", "DSN=Server1", "DSN", "Server1"},
        KeyValueCase{"BracedInOtherCase", "uid=x;dsn={Sales;2026}}};UID=y", "DSN", "Sales;2026}"},
        KeyValueCase{"Missing", "DRIVER={SQLite3};Database=q.db", "DSN", ""},
        KeyValueCase{"LongerKeyIsAnother", "ODSN=Server1;DSN=Server2", "DSN", "Server2"},
        KeyValueCase{"BlankEntriesBefore", "X=1; ;\tDSN=Server1", "DSN", "Server1"},
        KeyValueCase{"EmptyValue", "DSN=", "DSN", ""}),
    test::CaseNameOf());

// ---- What no driver manager is given -----------------------------------------------------------

struct RefusalCase {
    const char* name;
    std::string connectionString;
    const char* refusal;  // what the refusal says; "" when the string is passed on
};

void PrintTo(const RefusalCase& refusal, std::ostream* out) {
    *out << refusal.name;
}

std::string Long(std::size_t bytes) {
    return std::string(bytes, 'a');
}

class KeyLimitTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(KeyLimitTest, RefusesValuesLongerThanUnixOdbcHolds) {
    const std::string refusal =
        ConnectionStringRefusal(GetParam().connectionString, UnixOdbcKeyLimits());
    if (std::string(GetParam().refusal).empty()) {
        EXPECT_EQ(refusal, "");
    } else {
        EXPECT_THAT(refusal, HasSubstr(GetParam().refusal));
    }
}

INSTANTIATE_TEST_SUITE_P(
    ConnectionStrings, KeyLimitTest,
    ::testing::Values(
        RefusalCase{"DriverAtTheLimit", "DRIVER={" + Long(1000) + "};Database=x", ""},
        RefusalCase{"DriverPastTheLimit", "DRIVER={" + Long(1001) + "}",
                    "DRIVER value is 1001 bytes long; the ODBC driver manager holds at most 1000"},
        // 1000 characters, 1001 bytes: unixODBC holds the name's bytes.
        RefusalCase{"DriverBytesNotCharacters", "DRIVER=" + Long(999) + "\xC3\xA9", "1001 bytes"},
        RefusalCase{"DriverAfterBlanksAndSemicolons", "X=1;; \tdriver=" + Long(1001), "1001"},
        RefusalCase{"SecondDriverKey", "DRIVER=SQLite3;DRIVER=" + Long(1001), "1001"},
        RefusalCase{"DsnAtTheLimit", "DSN=" + Long(32), ""},
        RefusalCase{"DsnPastTheLimit", "DSN=" + Long(33), "DSN value is 33 bytes"},
        RefusalCase{"FileDsnAtTheLimit", "FILEDSN=/" + Long(999), ""},
        RefusalCase{"FileDsnPastTheLimit", "DRIVER=SQLite3;FILEDSN=" + Long(4090),
                    "FILEDSN value is 4090 bytes"},
        RefusalCase{"DriversOwnKeysAreTheDriversBusiness",
                    "DRIVER=SQLite3;Database=/" + Long(30000), ""},
        RefusalCase{"SaveFileWritesAFile", "DRIVER=SQLite3;Database=/q.db;SaveFile=/tmp/q",
                    "SAVEFILE would have the driver manager write a file DSN"}),
    [](const auto& info) { return std::string(info.param.name); });

// A SQLite connection string never lets the driver create a missing file.
struct NoCreateCase {
    const char* name;
    const char* connectionString;
    const char* kept;  // "" when refused
};

class WithoutCreatingTest : public ::testing::TestWithParam<NoCreateCase> {};

TEST_P(WithoutCreatingTest, AddsTheNoCreateOptionOrRefuses) {
    const FileDriver* sqlite = FileDriverCalled("SQLite3", UnixOdbcFileDrivers());
    ASSERT_NE(sqlite, nullptr);
    const FileConnection kept = WithoutCreating(*sqlite, GetParam().connectionString);
    EXPECT_EQ(kept.connectionString, GetParam().kept);
    if (std::string(GetParam().kept).empty()) {
        EXPECT_THAT(kept.failure, HasSubstr("NoCreat value would let the SQLite driver create"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    ConnectionStrings, WithoutCreatingTest,
    ::testing::Values(
        NoCreateCase{"Added", "DRIVER=SQLite3;Database=/q.db",
                     "DRIVER=SQLite3;Database=/q.db;NoCreat=1;"},
        NoCreateCase{"AddedAfterTheLastSemicolon", "DSN=Lite;", "DSN=Lite;NoCreat=1;"},
        NoCreateCase{"KeptWhenSet", "DSN=Lite;nocreat=1", "DSN=Lite;nocreat=1"},
        NoCreateCase{"KeptWhenTrueInWords", "DSN=Lite;NoCreat=Yes", "DSN=Lite;NoCreat=Yes"},
        NoCreateCase{"RefusedWhenOff", "DSN=Lite;NoCreat=0", ""},
        NoCreateCase{"RefusedWhenEmpty", "DSN=Lite;NoCreat=", ""},
        NoCreateCase{"RefusedWhenFalseInWords", "DSN=Lite;NoCreat={no}", ""},
        NoCreateCase{"RefusedWhenOffTheSecondTime", "DSN=Lite;NoCreat=1;NOCREAT=0", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A driver that never creates a file gets the string as it is, and the strings built for database
// files already carry each row's no-create option.
TEST(WithoutCreating, FileConnectionStringsAlreadyCarryTheOption) {
    for (const FileDriver& row : UnixOdbcFileDrivers()) {
        const FileConnection built = FileConnectionString(row, "{D}", "/q", {"/q", false});
        ASSERT_EQ(built.failure, "") << row.kind;
        EXPECT_EQ(WithoutCreating(row, built.connectionString).connectionString,
                  built.connectionString)
            << row.kind;
        EXPECT_EQ(ConnectionStringRefusal(built.connectionString, UnixOdbcKeyLimits()), "");
    }
}

// ---- What a database path names -----------------------------------------------------------------

TEST(KindOfFile, TellsEveryKindWithoutOpeningIt) {
    TempFolder folder;
    const auto fifo = folder.Path() / "q.db";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);  // nothing writes to it: opening it would block
    std::filesystem::create_symlink("/dev/zero", folder.Path() / "zero.db");
    EXPECT_EQ(KindOfFile(fifo), FileKind::Fifo);
    EXPECT_EQ(KindOfFile(folder.Path() / "zero.db"), FileKind::Device);
    EXPECT_EQ(KindOfFile(folder.Path()), FileKind::Folder);
    EXPECT_EQ(KindOfFile(folder.Write("r.db", "")), FileKind::Regular);
    EXPECT_EQ(KindOfFile(folder.Path() / "missing.db"), FileKind::Missing);
    EXPECT_EQ(KindOfFile(folder.Path() / "r.db" / "below.db"), FileKind::Missing);
}

struct FilesCase {
    const char* name;
    const char* connectionString;
    std::vector<std::string> files;
};

class FilesNamedInTest : public ::testing::TestWithParam<FilesCase> {};

// The files a connection string names, by every file key of the driver tables and only by those.
TEST_P(FilesNamedInTest, ReadsTheFileKeysValues) {
    EXPECT_EQ(FilesNamedIn(GetParam().connectionString), GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(
    ConnectionStrings, FilesNamedInTest,
    ::testing::Values(
        FilesCase{"DatabaseKey", "DRIVER=SQLite3;Database=/data/q.db", {"/data/q.db"}},
        FilesCase{"DbqKeyInLowerCase", "driver={MDBTools};dbq=/data/q.mdb", {"/data/q.mdb"}},
        FilesCase{"BracedWithSemicolon", "DATABASE={/my;data/q}}.db};X=1", {"/my;data/q}.db"}},
        FilesCase{"BothKeys", "DBQ=a.mdb;Database=b.db", {"a.mdb", "b.db"}},
        FilesCase{"LongerKeyIsAnother", "ODATABASE=/data/q.db;DBQX=/data/q.mdb", {}},
        FilesCase{"DataSourceOnly", "DSN=Server1", {}},
        FilesCase{"EmptyValue", "DRIVER=SQLite3;Database=", {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ValueCase {
    std::string name;
    const char* value;
    const char* written;  // as the connection string holds it
};

class ConnectionValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ConnectionValueTest, BracesWhatWouldEndTheValueEarly) {
    EXPECT_EQ(ConnectionValue(GetParam().value), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConnectionValueTest,
    ::testing::Values(ValueCase{"Plain", "/data/QeltOne.mdb", "/data/QeltOne.mdb"},
                      ValueCase{"Spaces", "/my data/Qelt One.mdb", "/my data/Qelt One.mdb"},
                      ValueCase{"Empty", "", ""}, ValueCase{"Semicolon", "a;b", "{a;b}"},
                      ValueCase{"ClosingBrace", "a}b", "{a}}b}"},
                      ValueCase{"ClosingBraces", "a}}b}", "{a}}}}b}}}"},
                      ValueCase{"OpeningBrace", "{a", "{{a}"},
                      ValueCase{"EqualsSign", "a=b", "{a=b}"},
                      ValueCase{"LeadingSpace", " a", "{ a}"},
                      ValueCase{"TrailingSpace", "a ", "{a }"},
                      ValueCase{"AnotherKeyInside", "x};DBQ=y", "{x}};DBQ=y}"}),
    test::CaseNameOf());

// A driver row for every path form, so that each platform's forms are tested everywhere.
FileDriver RowWith(FilePathForm form) {
    return {"Test", {".tst"}, {"Test Driver"}, {}, "DBQ", form, "ReadOnly=1;"};
}

struct PathCase {
    const char* name;
    FilePathForm form;
    const char* path;
    const char* connectionString;  // "" when refused
};

class FileConnectionStringTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(FileConnectionStringTest, NamesTheFileAsTheDriverReadsIt) {
    const FileConnection built =
        FileConnectionString(RowWith(GetParam().form), "{Test Driver}", GetParam().path);
    EXPECT_EQ(built.connectionString, GetParam().connectionString);
    EXPECT_EQ(built.failure.empty(), !std::string(GetParam().connectionString).empty())
        << built.failure;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FileConnectionStringTest,
    ::testing::Values(PathCase{"BracedPlain", FilePathForm::Braced, "/data/Qelt One.tst",
                               "DRIVER={Test Driver};DBQ=/data/Qelt One.tst;ReadOnly=1;"},
                      PathCase{"BracedSemicolonAndBrace", FilePathForm::Braced, "/a;b}c/{d}=e.tst",
                               "DRIVER={Test Driver};DBQ={/a;b}}c/{d}}=e.tst};ReadOnly=1;"},
                      PathCase{"RawBraceAndEquals", FilePathForm::Raw, "/k}z=w {q/Q.tst",
                               "DRIVER={Test Driver};DBQ=/k}z=w {q/Q.tst;ReadOnly=1;"},
                      PathCase{"RawSemicolonRefused", FilePathForm::Raw, "/a;b/Q.tst", ""},
                      PathCase{
                          "UriEncodesEverySpecialCharacter", FilePathForm::SQLiteReadOnlyUri,
                          "/a;b {c}%20#?d é/Q=1.tst",
                          "DRIVER={Test Driver};DBQ=file:///a%3Bb%20%7Bc%7D%2520%23%3Fd%20%C3%A9/"
                          "Q%3D1.tst?mode=ro;ReadOnly=1;"}),
    [](const auto& info) { return std::string(info.param.name); });

// The driver's name of the file in either system's form, whatever platform builds the string:
// Windows names (on Windows itself) and Unix names (on Linux, and under Wine).
struct NamedFileCase {
    const char* name;
    FilePathForm form;
    DriverFileName driverName;
    const char* connectionString;  // "" when refused
};

class DriverFileNameTest : public ::testing::TestWithParam<NamedFileCase> {};

TEST_P(DriverFileNameTest, ConnectionStringNamesTheFileAsTheDriversSystemDoes) {
    const NamedFileCase& c = GetParam();
    const FileConnection built =
        FileConnectionString(RowWith(c.form), "{Test Driver}", "/missing/Main.tst", c.driverName);
    EXPECT_EQ(built.connectionString, c.connectionString);
    EXPECT_EQ(built.failure.empty(), !std::string(c.connectionString).empty()) << built.failure;
}

INSTANTIATE_TEST_SUITE_P(
    Names, DriverFileNameTest,
    ::testing::Values(
        NamedFileCase{"WindowsBraced",
                      FilePathForm::Braced,
                      {"C:\\Qelt Data\\Main.tst", true},
                      "DRIVER={Test Driver};DBQ=C:\\Qelt Data\\Main.tst;ReadOnly=1;"},
        NamedFileCase{
            "WindowsUriTurnsBackslashesIntoSlashes",
            FilePathForm::SQLiteReadOnlyUri,
            {"C:\\Qelt Data\\Main.tst", true},
            "DRIVER={Test Driver};DBQ=file:///C:/Qelt%20Data/Main.tst?mode=ro;ReadOnly=1;"},
        NamedFileCase{
            "WindowsUriOfAShare",
            FilePathForm::SQLiteReadOnlyUri,
            {"\\\\server\\share\\Main.tst", true},
            "DRIVER={Test Driver};DBQ=file:////server/share/Main.tst?mode=ro;ReadOnly=1;"},
        NamedFileCase{"WineUnixNameRaw",
                      FilePathForm::Raw,
                      {"/home/me/.wine/dosdevices/c:/QeltData/Main.tst", false},
                      "DRIVER={Test Driver};DBQ=/home/me/.wine/dosdevices/c:/QeltData/Main.tst;"
                      "ReadOnly=1;"},
        NamedFileCase{"UnixUriKeepsABackslashAsACharacter",
                      FilePathForm::SQLiteReadOnlyUri,
                      {"/data/a\\b.tst", false},
                      "DRIVER={Test Driver};DBQ=file:///data/a%5Cb.tst?mode=ro;ReadOnly=1;"},
        NamedFileCase{"UnixUriOfADriveLink",
                      FilePathForm::SQLiteReadOnlyUri,
                      {"/p/dosdevices/c:/Main.tst", false},
                      "DRIVER={Test Driver};DBQ=file:///p/dosdevices/c:/Main.tst?mode=ro;"
                      "ReadOnly=1;"},
        NamedFileCase{"NoNameIsRefused", FilePathForm::Braced, {"", false}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// On Linux the drivers take the program's own paths, and the table's libraries are files here.
TEST(DriverFileName, IsThePathItselfOnLinux) {
    const DriverFileName name = DriverFileNameOf("/my data/a\\b.db");
    EXPECT_EQ(name.name, "/my data/a\\b.db");
    EXPECT_FALSE(name.windowsForm);
}

TEST(DriverLibrary, IsPresentWhenItIsAFile) {
    TempFolder folder;
    EXPECT_TRUE(DriverLibraryPresent(folder.Write("lib.so", "").string()));
    EXPECT_FALSE(DriverLibraryPresent(folder.Folder()));
    EXPECT_FALSE(DriverLibraryPresent(folder.Folder() + "missing.so"));
}

// ---- SQLite files in WAL mode -------------------------------------------------------------------

// The first 20 bytes of a SQLite header: bytes 18 and 19 are the write and read versions,
// 1 for a rollback journal and 2 for WAL.
std::string SQLiteHeader(char version) {
    std::string header = "SQLite format 3";
    header += '\0';
    header += std::string("\x10\x00", 2);
    header += version;
    header += version;
    return header + std::string(80, '\0');
}

struct WalCase {
    const char* name;
    char version;
    bool hasLog;
    bool hasSharedMemory;
    const char* uriEnd;  // "" when the file is refused
};

class WalModeTest : public ::testing::TestWithParam<WalCase> {};

TEST_P(WalModeTest, ReadsWithoutCreatingTheLogFiles) {
    TempFolder folder;
    const auto file = folder.Path() / "Q.db";
    test::WriteFile(file, SQLiteHeader(GetParam().version));
    if (GetParam().hasLog) {
        test::WriteFile(folder.Path() / "Q.db-wal", "");
    }
    if (GetParam().hasSharedMemory) {
        test::WriteFile(folder.Path() / "Q.db-shm", "");
    }
    const FileConnection built =
        FileConnectionString(RowWith(FilePathForm::SQLiteReadOnlyUri), "D", file);
    if (std::string(GetParam().uriEnd).empty()) {
        EXPECT_EQ(built.connectionString, "");
        EXPECT_THAT(built.failure, HasSubstr("WAL mode"));
        EXPECT_THAT(built.failure, HasSubstr("Q.db-shm"));
    } else {
        EXPECT_EQ(built.failure, "");
        EXPECT_THAT(built.connectionString,
                    HasSubstr(std::string("/Q.db") + GetParam().uriEnd + ";ReadOnly=1;"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, WalModeTest,
    ::testing::Values(WalCase{"RollbackJournal", 1, false, false, "?mode=ro"},
                      WalCase{"RollbackJournalWithStrayLog", 1, true, false, "?mode=ro"},
                      WalCase{"WalAlone", 2, false, false, "?mode=ro&immutable=1"},
                      WalCase{"WalWithStrayMemory", 2, false, true, "?mode=ro&immutable=1"},
                      WalCase{"WalInUse", 2, true, true, "?mode=ro"},
                      WalCase{"WalLogWithoutMemory", 2, true, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The table against the README's
// --------------------------------------------------------------

// The rows of the README's table of database files: extensions (first column) to the text of
// the driver column.
std::map<std::set<std::string>, std::string> ReadmeDriverRows() {
    std::istringstream readme(test::ReadBytes(QELT_README));
    std::map<std::set<std::string>, std::string> rows;
    std::string line;
    while (std::getline(readme, line)) {
        if (!line.starts_with("| `.")) {
            continue;
        }
        const std::size_t cellEnd = line.find('|', 1);
        std::set<std::string> extensions;
        for (std::size_t tick = line.find('`'); tick < cellEnd;) {
            const std::size_t close = line.find('`', tick + 1);
            extensions.insert(line.substr(tick + 1, close - tick - 1));
            tick = line.find('`', close + 1);
        }
        rows[extensions] = line.substr(cellEnd, line.find('|', cellEnd + 1) - cellEnd);
    }
    return rows;
}

TEST(FileDriverTable, ReadmeListsEveryRowWithItsDriver) {
    const auto readme = ReadmeDriverRows();
    ASSERT_EQ(readme.size(), FileDrivers().size());
    for (const FileDriver& row : FileDrivers()) {
        const std::set<std::string> extensions(row.extensions.begin(), row.extensions.end());
        ASSERT_TRUE(readme.contains(extensions)) << row.kind;
        EXPECT_THAT(readme.at(extensions),
                    HasSubstr("`" + std::string(row.installedNames[0]) + "`"));
        if (!row.libraries.empty()) {
            const auto library = std::filesystem::path(row.libraries[0]).filename().string();
            EXPECT_THAT(readme.at(extensions), HasSubstr("`" + library + "`"));
        }
    }
}

TEST(FileDriverTable, ExtensionsAreLowerCaseDottedAndBelongToOneRow) {
    std::set<std::string_view> seen;
    for (const FileDriver& row : FileDrivers()) {
        for (const std::string_view extension : row.extensions) {
            EXPECT_TRUE(extension.starts_with('.')) << extension;
            EXPECT_FALSE(std::ranges::any_of(extension, [](char c) {
                return c >= 'A' && c <= 'Z';
            })) << extension;
            EXPECT_TRUE(seen.insert(extension).second) << extension;
        }
    }
}

// The Debian package's Recommends as cmake/Packaging.cmake sets it, one package an entry.
std::set<std::string> RecommendedPackages() {
    const std::filesystem::path packaging =
        std::filesystem::path(QELT_README).parent_path() / "cmake" / "Packaging.cmake";
    std::istringstream cmake(test::ReadBytes(packaging));
    const std::string setting = "set(CPACK_DEBIAN_PACKAGE_RECOMMENDS \"";
    std::set<std::string> packages;
    for (std::string line; std::getline(cmake, line);) {
        const std::size_t start = line.find(setting);
        if (start == std::string::npos) {
            continue;
        }
        std::istringstream list(
            line.substr(start + setting.size(),
                        line.find('"', start + setting.size()) - start - setting.size()));
        for (std::string package; std::getline(list >> std::ws, package, ',');) {
            packages.insert(package);
        }
    }
    return packages;
}

// A file driver's package is recommended by the Debian package, which installs the program
// beside unixODBC.
TEST(FileDriverTable, DebianPackageRecommendsEveryDriversPackage) {
    const std::set<std::string> recommended = RecommendedPackages();
    ASSERT_FALSE(recommended.empty());
    for (const FileDriver& row : UnixOdbcFileDrivers()) {
        EXPECT_FALSE(row.package.empty()) << row.kind;
        EXPECT_TRUE(recommended.contains(std::string(row.package)))
            << row.kind << " needs " << row.package << " in CPACK_DEBIAN_PACKAGE_RECOMMENDS";
    }
}

}  // namespace
}  // namespace qelt
