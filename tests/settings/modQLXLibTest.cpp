#include "settings/modQLXLib.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "settings/ProfileFile.h"
#include "settings/RegFuncs.h"
#include "settings/RegistryHive.h"

namespace qelt {
namespace {

using namespace std::string_literals;

const std::string kAppPathsKey =
    "HKEY_LOCAL_MACHINE\\" + CurrentVersionKeyPath() + "\\App Paths\\QeltOne.exe";
const std::string kShellFolders = "HKEY_CURRENT_USER\\" + ShellFoldersKeyPath();

// Profile files by their exact name, read with our own reader; records every name read.
class FakeProfileFiles final : public ProfileBackend {
  public:
    std::uint32_t ReadProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::string& value,
                                    std::uint32_t bufferSize, std::string_view fileName) override {
        namesRead.emplace_back(fileName);
        const auto file = files.find(std::string(fileName));
        const auto bytes =
            file == files.end() ? std::nullopt : std::optional<std::string_view>(file->second);
        ProfileValue read = ReadProfileText(bytes, section, key, defaultValue, bufferSize);
        value = read.text;
        return read.count;
    }

    std::map<std::string, std::string> files;
    std::vector<std::string> namesRead;
};

// The host registry: App Paths default value and the shell folders.
struct HostRegistry {
    std::optional<RegistryValue> appPath;
    std::optional<std::string> documents;
    std::optional<std::string> appData;

    RegistryHive Hive() const {
        RegistryHive hive;
        if (appPath) {
            hive.SetValue(kAppPathsKey, "", *appPath);
        }
        if (documents) {
            hive.SetValue(kShellFolders, "Personal", {kRegSz, *documents + '\0'});
        }
        if (appData) {
            hive.SetValue(kShellFolders, "AppData", {kRegSz, *appData + '\0'});
        }
        return hive;
    }
};

class HostFixture {
  public:
    explicit HostFixture(const HostRegistry& host)
        : registry_(host.Hive()), scopedRegistry_(registry_), scopedProfiles_(profiles) {}

    FakeProfileFiles profiles;

  private:
    HiveRegistry registry_;
    ScopedRegistryBackend scopedRegistry_;
    ScopedProfileBackend scopedProfiles_;
};

RegistryValue Sz(const std::string& text) {
    return {kRegSz, text + '\0'};
}

struct AppPathCase {
    std::string name;
    std::optional<RegistryValue> stored;
    std::string expected;
};

void PrintTo(const AppPathCase& c, std::ostream* os) {
    *os << c.name;
}

class GetInstalledAppPathTest : public testing::TestWithParam<AppPathCase> {};

TEST_P(GetInstalledAppPathTest, ReturnsTheFolderWithItsSeparator) {
    HostFixture host(HostRegistry{GetParam().stored, {}, {}});
    EXPECT_EQ(GetInstalledAppPath("QeltOne.exe"), GetParam().expected);
    EXPECT_EQ(GetInstalledAppPath("QELTONE.EXE"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GetInstalledAppPathTest,
    testing::Values(AppPathCase{"Plain", Sz("C:\\Program Files\\QeltOne\\QeltOne.exe"),
                                "C:\\Program Files\\QeltOne\\"},
                    AppPathCase{"Quoted", Sz("\"C:\\Program Files\\QeltOne\\QeltOne.exe\""),
                                "C:\\Program Files\\QeltOne\\"},
                    AppPathCase{"LastBackslashBeatsLaterSlash", Sz("C:/Apps\\QeltOne/QeltOne.exe"),
                                "C:/Apps\\"},
                    AppPathCase{"ForwardSlashesOnly", Sz("C:/Apps/QeltOne.exe"), "C:/Apps/"},
                    AppPathCase{"BareFileName", Sz("QeltOne.exe"), ""},
                    AppPathCase{"SpaceBeforeQuoteStays", Sz(" \"C:\\Q\\QeltOne.exe\""),
                                " \"C:\\Q\\"},
                    AppPathCase{"Empty", Sz(""), ""},
                    AppPathCase{"NotAString", RegistryValue{kRegDword, "\x01\0\0\0"s}, ""},
                    AppPathCase{"DefaultValueUnset", std::nullopt, ""}),
    [](const auto& info) { return info.param.name; });

TEST(GetInstalledAppPathTest, OtherExecutablesHaveTheirOwnKey) {
    HostFixture host(HostRegistry{Sz("C:\\Q\\QeltOne.exe"), {}, {}});
    EXPECT_EQ(GetInstalledAppPath("Other.exe"), "");
}

struct PathsCase {
    std::string name;
    std::string folder;
    std::string key;
    std::optional<std::string> pathsFile;  // contents of <folder>QeltOnePaths.ini
    std::optional<std::string> documents;
    std::optional<std::string> appData;
    std::string expected;
};

void PrintTo(const PathsCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadPathsIniValueTest : public testing::TestWithParam<PathsCase> {};

TEST_P(ReadPathsIniValueTest, AppliesDefaultsAndTokens) {
    const PathsCase& c = GetParam();
    HostFixture host(HostRegistry{{}, c.documents, c.appData});
    if (c.pathsFile) {
        host.profiles.files["C:\\Q\\QeltOnePaths.ini"] = *c.pathsFile;
    }
    EXPECT_EQ(ReadPathsIniValue(c.folder, c.key), c.expected);
}

const std::string kDocs = "C:\\Users\\A\\Documents\\";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadPathsIniValueTest,
    testing::Values(
        PathsCase{"IniPathDefault", "C:\\Q", "IniPath", std::nullopt, {}, {}, "C:\\Q\\"},
        PathsCase{
            "IniPathDefaultTrimsFolder", "  C:\\Q\\  ", "inipath", std::nullopt, {}, {}, "C:\\Q\\"},
        PathsCase{
            "OutboxDefault", "C:\\Q\\", "OutboxPath", "[General]\n", {}, {}, "C:\\Q\\Outbox\\"},
        PathsCase{"DataDefault", "C:\\Q\\", "DATAPATH", std::nullopt, {}, {}, "C:\\Q\\Data\\"},
        PathsCase{"TempDefault", "C:\\Q\\", "TempPath", std::nullopt, {}, {}, "C:\\Q\\Temp\\"},
        PathsCase{"OtherKeyNoDefault", "C:\\Q\\", "LogPath", std::nullopt, {}, {}, ""},
        PathsCase{"BlankFolderDataDefault", "   ", "DataPath", std::nullopt, {}, {}, "Data\\"},
        PathsCase{"StoredKeptAsIs",
                  "C:\\Q\\",
                  "IniPath",
                  "[General]\nIniPath=D:\\Shared\n",
                  {},
                  {},
                  "D:\\Shared"},
        PathsCase{"StoredEmptyIsEmpty", "C:\\Q\\", "IniPath", "[General]\nIniPath=\n", {}, {}, ""},
        PathsCase{"MyDocuments",
                  "C:\\Q\\",
                  "IniPath",
                  "[General]\nIniPath=$(MyDocuments)\\QeltOne\n",
                  kDocs,
                  {},
                  "C:\\Users\\A\\Documents\\QeltOne\\"},
        PathsCase{"MyDocumentsAnyCase",
                  "C:\\Q\\",
                  "IniPath",
                  "[General]\nIniPath=$(mydocuments)\\QeltOne\n",
                  kDocs,
                  {},
                  "C:\\Users\\A\\Documents\\QeltOne\\"},
        PathsCase{"EveryOccurrenceReplaced",
                  "C:\\Q\\",
                  "IniPath",
                  "[General]\nIniPath=$(MyDocuments)\\a;$(MYDOCUMENTS)\\b\\\n",
                  kDocs,
                  {},
                  "C:\\Users\\A\\Documents\\a;C:\\Users\\A\\Documents\\b\\"},
        PathsCase{"NoDocumentsFolder",
                  "C:\\Q\\",
                  "IniPath",
                  "[General]\nIniPath=$(MyDocuments)\\QeltOne\n",
                  std::nullopt,
                  {},
                  "\\QeltOne\\"},
        PathsCase{"AppData", "C:\\Q\\", "IniPath",
                  "[General]\nIniPath=  $(WinAppDataPath)\\QeltOne  \n", kDocs,
                  "C:\\Users\\A\\AppData\\Roaming\\", "C:\\Users\\A\\AppData\\Roaming\\QeltOne\\"},
        PathsCase{"OnlyABackslashIsStrippedFromTheFolder",
                  "C:\\Q\\",
                  "IniPath",
                  "[General]\nIniPath=$(WinAppDataPath)/QeltOne/\n",
                  {},
                  "D:/AppData/",
                  "D:/AppData//QeltOne/"},
        PathsCase{"BothTokensOnlyDocumentsReplaced", "C:\\Q\\", "IniPath",
                  "[General]\nIniPath=$(MyDocuments)\\$(WinAppDataPath)\n", kDocs, "E:\\AD\\",
                  "C:\\Users\\A\\Documents\\$(WinAppDataPath)\\"},
        PathsCase{"LongValueCut",
                  "C:\\Q\\",
                  "IniPath",
                  "[General]\nIniPath=" + std::string(300, 'p') + "\n",
                  {},
                  {},
                  std::string(254, 'p')}),
    [](const auto& info) { return info.param.name; });

TEST(ReadPathsIniValueTest, BlankFolderReadsTheFolderLessPathsFile) {
    HostFixture host(HostRegistry{});
    ReadPathsIniValue("   ", "IniPath");
    EXPECT_EQ(host.profiles.namesRead, std::vector<std::string>{"QeltOnePaths.ini"});
}

struct RedirectCase {
    std::string name;
    std::optional<RegistryValue> appPath;
    std::optional<std::string> pathsFile;  // contents of C:\Q\QeltOnePaths.ini
    std::string fileName;                  // as the caller passes it
    std::string fileRead;                  // the settings file actually read
};

void PrintTo(const RedirectCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadIniValueTest : public testing::TestWithParam<RedirectCase> {};

TEST_P(ReadIniValueTest, RedirectsTheHostSettingsFile) {
    const RedirectCase& c = GetParam();
    HostFixture host(HostRegistry{c.appPath, {}, {}});
    if (c.pathsFile) {
        host.profiles.files["C:\\Q\\QeltOnePaths.ini"] = *c.pathsFile;
    }
    host.profiles.files[c.fileRead] = "[General]\nKey=found\n";
    EXPECT_EQ(ReadIniValue(c.fileName, "General", "Key", "default"), "found");
    EXPECT_EQ(host.profiles.namesRead.back(), c.fileRead);
}

const auto kHost = Sz("C:\\Q\\QeltOne.exe");

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadIniValueTest,
    testing::Values(
        RedirectCase{"IniPathMissing", kHost, "[General]\n", "X:\\Elsewhere\\QeltOne.ini",
                     "C:\\Q\\QeltOne.ini"},
        RedirectCase{"IniPathWithBackslash", kHost, "[General]\nIniPath=D:\\Shared\\\n",
                     "C:\\Q\\QeltOne.ini", "D:\\Shared\\QeltOne.ini"},
        RedirectCase{"IniPathWithoutBackslash", kHost, "[General]\nIniPath=D:\\Shared\n",
                     "C:\\Q\\QeltOne.ini", "D:\\SharedQeltOne.ini"},
        RedirectCase{"AnyCaseAnyFolder", kHost, std::nullopt, "c:\\old\\QELTONE.INI",
                     "C:\\Q\\QeltOne.ini"},
        RedirectCase{"NameThatMerelyContainsIt", kHost, std::nullopt, "C:\\Old\\QELTONE.INI.bak",
                     "C:\\Q\\QeltOne.ini"},
        RedirectCase{"HostNotInstalled", std::nullopt, std::nullopt, "C:\\Q\\QeltOne.ini",
                     "QeltOne.ini"},
        RedirectCase{"NoBackslashBeforeIt", kHost, std::nullopt, "QeltOne.ini", "QeltOne.ini"},
        RedirectCase{"ForwardSlashFolder", kHost, std::nullopt, "C:/Apps/QeltOne.ini",
                     "C:/Apps/QeltOne.ini"},
        RedirectCase{"OtherFile", kHost, std::nullopt, "C:\\Q\\Other.ini", "C:\\Q\\Other.ini"}),
    [](const auto& info) { return info.param.name; });

TEST(ReadIniValueTest, ReturnsTheValueAsReadOrTheCallersDefault) {
    HostFixture host(HostRegistry{});
    host.profiles.files["C:/A/x.ini"] =
        "[S]\nEmpty=\nQuoted=\" v \"\nLong=" + std::string(300, 'v') + "\n";
    EXPECT_EQ(ReadIniValue("C:/A/x.ini", "S", "Empty", "d"), "");
    EXPECT_EQ(ReadIniValue("C:/A/x.ini", "S", "Quoted", "d"), " v ");
    EXPECT_EQ(ReadIniValue("C:/A/x.ini", "S", "Long", "d"), std::string(254, 'v'));
    EXPECT_EQ(ReadIniValue("C:/A/x.ini", "S", "Missing", "d  "), "d");
    EXPECT_EQ(ReadIniValue("C:/A/x.ini", "S", "Missing", "   "), "");
}

struct DatabaseCase {
    std::string name;
    std::optional<std::string> settingsFile;  // contents of C:\Q\QeltOne.ini
    std::string dataFolder;
    std::string database;
};

void PrintTo(const DatabaseCase& c, std::ostream* os) {
    *os << c.name;
}

class DatabaseLocationTest : public testing::TestWithParam<DatabaseCase> {};

TEST_P(DatabaseLocationTest, DerivesDataFolderAndDatabase) {
    const DatabaseCase& c = GetParam();
    HostFixture host(HostRegistry{kHost, {}, {}});
    if (c.settingsFile) {
        host.profiles.files["C:\\Q\\QeltOne.ini"] = *c.settingsFile;
    }
    const std::string dataFolder = GetDataPath("C:\\Q\\", "QeltOne");
    EXPECT_EQ(dataFolder, c.dataFolder);
    EXPECT_EQ(GetDatabaseName("C:\\Q\\", dataFolder, "QeltOne"), c.database);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DatabaseLocationTest,
    testing::Values(
        DatabaseCase{"FileInDataFolder",
                     "[General]\nQeltOneDataPath=D:\\Data\\\nQeltOneDataBase=Main.mdb\n",
                     "D:\\Data\\", "D:\\Data\\Main.mdb"},
        DatabaseCase{"Dsn", "[General]\nQeltOneDataPath=D:\\Data\\\nQeltOneDataBase=DSN=Server1\n",
                     "D:\\Data\\", "DSN=Server1"},
        DatabaseCase{"LowerCaseDsnIsAFileName",
                     "[General]\nQeltOneDataPath=D:\\Data\\\nQeltOneDataBase=dsn=Server1\n",
                     "D:\\Data\\", "D:\\Data\\dsn=Server1"},
        DatabaseCase{"DatabaseMissing", "[General]\nQeltOneDataPath=D:\\Data\\\n", "D:\\Data\\",
                     "D:\\Data\\QeltOne.mdb"},
        DatabaseCase{"DatabaseEmpty", "[General]\nQeltOneDataPath=D:\\Data\\\nQeltOneDataBase=\n",
                     "D:\\Data\\", "D:\\Data\\"},
        DatabaseCase{"NoSeparatorInserted",
                     "[General]\nQeltOneDataPath=D:\\Data\nQeltOneDataBase=Main.mdb\n", "D:\\Data",
                     "D:\\DataMain.mdb"},
        DatabaseCase{"ShortValueIsAFileName", "[General]\nQeltOneDataBase=DSN\n", "", "DSN"},
        DatabaseCase{"KeysAnyCase", "[general]\nqeltonedatapath=E:\\\nQELTONEDATABASE=x.mdb\n",
                     "E:\\", "E:\\x.mdb"},
        DatabaseCase{"FileMissing", std::nullopt, "", "QeltOne.mdb"}),
    [](const auto& info) { return info.param.name; });

TEST(DatabaseLocationTest, EmptyHostFolderReadsTheFolderLessFile) {
    HostFixture host(HostRegistry{});
    host.profiles.files["QeltOne.ini"] = "[General]\nQeltOneDataPath=W:\\\n";
    const std::string dataFolder = GetDataPath("", "QeltOne");
    EXPECT_EQ(dataFolder, "W:\\");
    EXPECT_EQ(GetDatabaseName("", dataFolder, "QeltOne"), "W:\\QeltOne.mdb");
    EXPECT_EQ(GetDatabaseName("", "", "QeltOne"), "QeltOne.mdb");
}

TEST(DatabaseLocationTest, ProductNameFormsFileKeysAndDefault) {
    HostFixture host(HostRegistry{});
    host.profiles.files["C:/A/Other.ini"] = "[General]\nOtherDataPath=P:/\n";
    EXPECT_EQ(GetDataPath("C:/A/", "Other"), "P:/");
    EXPECT_EQ(GetDatabaseName("C:/A/", "P:/", "Other"), "P:/Other.mdb");
}

TEST(LookUpHostSettingsTest, RunsTheThreeLookupsInOrder) {
    HostFixture host(HostRegistry{Sz("\"C:\\Q\\QeltOne.exe\""), {}, {}});
    host.profiles.files["C:\\Q\\QeltOnePaths.ini"] = "[General]\nIniPath=S:\\\n";
    host.profiles.files["S:\\QeltOne.ini"] =
        "[General]\nQeltOneDataPath=D:\\Data\\\nQeltOneDataBase=Main.mdb\n";
    const HostSettings settings = LookUpHostSettings();
    EXPECT_EQ(settings.hostFolder, "C:\\Q\\");
    EXPECT_EQ(settings.dataFolder, "D:\\Data\\");
    EXPECT_EQ(settings.databaseName, "D:\\Data\\Main.mdb");
    EXPECT_EQ(host.profiles.namesRead,
              (std::vector<std::string>{"C:\\Q\\QeltOnePaths.ini", "S:\\QeltOne.ini",
                                        "C:\\Q\\QeltOnePaths.ini", "S:\\QeltOne.ini"}));
}

}  // namespace
}  // namespace qelt
