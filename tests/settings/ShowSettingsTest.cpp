// qeltaudit --show-settings end to end: registry files and profile files on disk, read through
// the portable backends.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#include "SettingsTestSupport.h"
#include "cli/QeltAudit.h"

namespace qelt {
namespace {

using namespace std::string_literals;
using qelt::test::HexList;
using qelt::test::Utf16Le;
using qelt::test::WriteFile;

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr std::string_view kAppPaths =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
    "QeltOne.exe]\r\n";

// The registry file's default value line for App Paths.
std::string AppPathsFile(const std::string& valueLine) {
    return std::string(kHeader) + std::string(kAppPaths) + valueLine + "\r\n";
}

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

struct Scenario {
    std::string name;
    // Builds the files below the temporary root (given as text ending in '/'); returns the
    // registry file's contents, or nothing to leave QELT_REGISTRY unset.
    std::function<std::optional<std::string>(const std::string& root)> setUp;
    // The three expected values; "<root>" stands for the temporary root.
    std::string hostFolder;
    std::string dataFolder;
    std::string database;
};

void PrintTo(const Scenario& c, std::ostream* os) {
    *os << c.name;
}

std::string Substitute(std::string text, const std::string& root) {
    for (auto at = text.find("<root>"); at != std::string::npos; at = text.find("<root>")) {
        text.replace(at, 6, root);
    }
    return text;
}

class ShowSettingsTest : public testing::TestWithParam<Scenario> {};

TEST_P(ShowSettingsTest, PrintsTheThreeStartUpLookups) {
    const qelt::test::TempFolder temp;
    const std::string root = temp.Folder();
    const qelt::test::ScopedEnvironment windows("QELT_WINDOWS_DIR", root + "windows");
    // Without QELT_REGISTRY the registry is the Wine prefix's: an empty one here.
    const qelt::test::ScopedEnvironment winePrefix("WINEPREFIX", root + "wine");
    const qelt::test::ScopedEnvironment variable("QELT_TEST_ROOT", root);
    const auto registry = GetParam().setUp(root);
    if (registry) {
        WriteFile(temp.Path() / "host.reg", *registry);
    }
    const qelt::test::ScopedEnvironment registryFile(
        "QELT_REGISTRY", registry ? std::optional(root + "host.reg") : std::nullopt);

    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(cli::RunQeltAudit({"--show-settings"}, out, err), cli::kExitOk);
    EXPECT_EQ(out.str(), "Host folder: " + Substitute(GetParam().hostFolder, root) +
                             "\nData folder: " + Substitute(GetParam().dataFolder, root) +
                             "\nDatabase: " + Substitute(GetParam().database, root) + "\n");
    EXPECT_EQ(err.str(), "");
}

const std::string kSettings =
    "[General]\r\nQeltOneDataPath=<root>data/\r\n"
    "QeltOneDataBase=Main.mdb\r\n";

std::optional<std::string> InstalledWith(const std::string& root, const std::string& valueLine,
                                         const std::string& settings) {
    WriteFile(root + "host/QeltOne.ini", Substitute(settings, root));
    return AppPathsFile(Substitute(valueLine, root));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShowSettingsTest,
    testing::Values(
        Scenario{"Unquoted",
                 [](const std::string& root) {
                     return InstalledWith(root, "@=\"<root>host/QeltOne.exe\"", kSettings);
                 },
                 "<root>host/", "<root>data/", "<root>data/Main.mdb"},
        Scenario{"Quoted",
                 [](const std::string& root) {
                     return InstalledWith(root, "@=\"\\\"<root>host/QeltOne.exe\\\"\"", kSettings);
                 },
                 "<root>host/", "<root>data/", "<root>data/Main.mdb"},
        Scenario{"ExpandSzFromTheEnvironment",
                 [](const std::string& root) {
                     return InstalledWith(
                         root,
                         "@=hex(2):" + HexList(Utf16Le("%QELT_TEST_ROOT%host/QeltOne.exe\0"s)),
                         kSettings);
                 },
                 "<root>host/", "<root>data/", "<root>data/Main.mdb"},
        Scenario{"Utf16RegistryFile",
                 [](const std::string& root) {
                     InstalledWith(root, "", kSettings);
                     return "\xFF\xFE"s +
                            Utf16Le(AppPathsFile("@=\"" + Escaped(root) + "host/QeltOne.exe\""));
                 },
                 "<root>host/", "<root>data/", "<root>data/Main.mdb"},
        Scenario{"Dsn",
                 [](const std::string& root) {
                     return InstalledWith(root, "@=\"<root>host/QeltOne.exe\"",
                                          "[General]\nQeltOneDataPath=<root>data/\n"
                                          "QeltOneDataBase=DSN=Server1\n");
                 },
                 "<root>host/", "<root>data/", "DSN=Server1"},
        Scenario{"EmptyValues",
                 [](const std::string& root) {
                     return InstalledWith(root, "@=\"<root>host/QeltOne.exe\"",
                                          "[General]\nQeltOneDataPath=\nQeltOneDataBase=\n");
                 },
                 "<root>host/", "", ""},
        Scenario{"LongValueCutTo254",
                 [](const std::string& root) {
                     return InstalledWith(
                         root, "@=\"<root>host/QeltOne.exe\"",
                         "[General]\nQeltOneDataPath=" + std::string(300, 'd') + "\n");
                 },
                 "<root>host/", std::string(254, 'd'), std::string(254, 'd') + "QeltOne.mdb"},
        Scenario{"SettingsFileMissing",
                 [](const std::string& root) {
                     return AppPathsFile("@=\"" + Escaped(root) + "host/QeltOne.exe\"");
                 },
                 "<root>host/", "", "QeltOne.mdb"},
        Scenario{"SettingsFileGarbage",
                 [](const std::string& root) {
                     return InstalledWith(root, "@=\"<root>host/QeltOne.exe\"",
                                          "\x01\xFF[General\0QeltOneDataPath=x\n=\n[]\n"s);
                 },
                 "<root>host/", "", "QeltOne.mdb"},
        Scenario{"AppPathIsANumber",
                 [](const std::string& root) {
                     return InstalledWith(root, "@=dword:00000001", kSettings);
                 },
                 "", "", "QeltOne.mdb"},
        Scenario{"AppPathsKeyMissing",
                 [](const std::string&) {
                     return std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n";
                 },
                 "", "", "QeltOne.mdb"},
        Scenario{"RegistryFileMissing",
                 [](const std::string&) -> std::optional<std::string> { return std::nullopt; }, "",
                 "", "QeltOne.mdb"},
        Scenario{"RegistryFileGarbage",
                 [](const std::string&) {
                     return "\x7F"
                            "ELF\x02\x01\0\0[HKLM\\x]\n@=\"y\"\n"s;
                 },
                 "", "", "QeltOne.mdb"},
        Scenario{"NotInstalledReadsTheWindowsDirectory",
                 [](const std::string& root) -> std::optional<std::string> {
                     WriteFile(root + "windows/QeltOne.ini",
                               "[General]\r\nQeltOneDataPath=W:\\Data\\\r\n");
                     return std::nullopt;
                 },
                 "", "W:\\Data\\", "W:\\Data\\QeltOne.mdb"},
        Scenario{"BackslashFolderIsRedirectedThroughIniPath",
                 [](const std::string& root) {
                     // The host folder ends in "\", so the settings file is the one IniPath names.
                     WriteFile(root + "host\\QeltOnePaths.ini",
                               "[General]\nIniPath=" + root + "settings/\n");
                     WriteFile(root + "host\\QeltOne.ini", "[General]\nQeltOneDataPath=wrong/\n");
                     WriteFile(root + "settings/QeltOne.ini",
                               "[General]\nQeltOneDataPath=" + root + "shared/\n");
                     return AppPathsFile("@=\"" + Escaped(root) + "host\\\\QeltOne.exe\"");
                 },
                 "<root>host\\", "<root>shared/", "<root>shared/QeltOne.mdb"}),
    [](const auto& info) { return info.param.name; });

std::string ShowSettings() {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(cli::RunQeltAudit({"--show-settings"}, out, err), cli::kExitOk);
    return out.str();
}

class RegistryNotAFileTest : public testing::TestWithParam<qelt::test::NotAFile> {};

TEST_P(RegistryNotAFileTest, IsAnEmptyRegistryReadWithoutBlocking) {
    const qelt::test::TempFolder temp;
    const qelt::test::ScopedEnvironment windows("QELT_WINDOWS_DIR", temp.Folder());
    const auto registry = temp.Path() / "host.reg";
    qelt::test::MakeNotAFile(registry, GetParam());
    const qelt::test::ScopedEnvironment registryFile("QELT_REGISTRY", registry.string());
    EXPECT_EQ(qelt::test::ReadsWithoutBlocking(registry, ShowSettings),
              "Host folder: \nData folder: \nDatabase: QeltOne.mdb\n");
}

INSTANTIATE_TEST_SUITE_P(Kinds, RegistryNotAFileTest,
                         testing::Values(qelt::test::NotAFile::Fifo, qelt::test::NotAFile::Folder),
                         qelt::test::PrintNotAFile);

TEST(ShowSettingsTest, RegistryFileIsReadOnce) {
    const qelt::test::TempFolder temp;
    const qelt::test::ScopedEnvironment windows("QELT_WINDOWS_DIR", temp.Folder());
    const auto registry = temp.Write("host.reg", AppPathsFile("@=\"C:\\\\First\\\\Q.exe\""));
    const qelt::test::ScopedEnvironment registryFile("QELT_REGISTRY", registry.string());
    const std::string first = ShowSettings();
    EXPECT_TRUE(first.starts_with("Host folder: C:\\First\\\n")) << first;
    temp.Write("host.reg", AppPathsFile("@=\"C:\\\\Second\\\\Q.exe\""));
    EXPECT_EQ(ShowSettings(), first);
}

}  // namespace
}  // namespace qelt
