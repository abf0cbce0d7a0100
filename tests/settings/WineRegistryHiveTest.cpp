#include "settings/WineRegistryHive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "settings/RegFuncs.h"
#include "settings/RegistryBackend.h"
#include "settings/RegistryHive.h"
#include "settings/SettingsTestSupport.h"
#include "settings/modQLXLib.h"
#include "support/CaseName.h"

namespace qelt {
namespace {

using namespace std::literals;

// A hive as Wine saves system.reg, with every form of value the reader has to take.
constexpr std::string_view kSystemHive = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine
"Stray"="before any key"

#arch=win64

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QeltOne.exe] 1700000000
#time=1d9e6b2a0c5e8f0
@="C:\\Program Files\\QeltOne\\QeltOne.exe"
"Path"="C:\\Program Files\\QeltOne;"

[Software\\Tests] 1700000000
#time=1d9e6b2a0c5e8f0
"Expand"=str(2):"%SystemRoot%\\system32"
"Multi"=str(7):"one\0two\0"
"Number"=dword:0000002a
"Bytes"=hex:01,ff,00
"ExpandBytes"=hex(2):25,00,41,00,25,00,5c,00,e9,00,00,00
"Wrapped"=hex(2):43,00,3a,00,5c,00,44,00,61,00,74,00,61,00,5c,00,00,\
  00
"OddType"=hex(ffff0007):61,00,00,00
"Quoted"="say \"hi\" \\ there"
"Controls"="tab\there\nline\0end"
"HexEscape"="Caf\xe9 \x20ac\x00e9a"
"Utf8"="Café €"
"Octal"="a\101\0102"
"Broken"="no end
"AfterBroken"="still read"
"MixedCase"="found"
"Empty"=""
"Bad"=nonsense:12
"Twice"="first"

[Software\\Escaped\]Bracket\\Sub] 1700000000
"Value"="inside"

[Software\\Tests] 1700000001
"Twice"="second"
)";

std::optional<RegistryValue> ReadValue(RegistryBackend& registry, RegKeyHandle root,
                                       std::string_view keyPath, std::string_view name) {
    RegKeyHandle key = 0;
    if (registry.OpenKey(root, keyPath, key) != kRegSuccess) {
        return std::nullopt;
    }
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::optional<RegistryValue> result;
    if (registry.QueryValue(key, name, type, nullptr, size) == kRegSuccess) {
        std::string data(size, ' ');
        if (registry.QueryValue(key, name, type, &data, size) == kRegSuccess) {
            result = RegistryValue{type, data};
        }
    }
    registry.CloseKey(key);
    return result;
}

// A Wine prefix in a temporary folder, its hive files written by the test.
class WinePrefixTest : public testing::Test {
  protected:
    void Write(const char* name, std::string_view text) { test::WriteFile(prefix_ / name, text); }

    const test::TempFolder folder_;
    const std::filesystem::path prefix_ = folder_.Path();
    WinePrefixRegistry registry_{[this] { return prefix_; }};
};

struct HiveValueCase {
    std::string name;
    const char* key;
    const char* valueName;
    std::uint32_t type;
    std::string data;
};

class WineHiveValueTest : public WinePrefixTest,
                          public testing::WithParamInterface<HiveValueCase> {};

TEST_P(WineHiveValueTest, ReadsValueAsTheAFunctionsReturnIt) {
    Write("system.reg", kSystemHive);
    const HiveValueCase& c = GetParam();
    const auto value = ReadValue(registry_, kHKeyLocalMachine, c.key, c.valueName);
    ASSERT_TRUE(value.has_value()) << c.key << " / " << c.valueName;
    EXPECT_EQ(value->type, c.type);
    EXPECT_EQ(value->data, c.data);
}

constexpr const char* kAppPaths =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QeltOne.exe";
constexpr const char* kTests = "Software\\Tests";

INSTANTIATE_TEST_SUITE_P(
    Values, WineHiveValueTest,
    testing::Values(
        HiveValueCase{"AppPathsDefault", kAppPaths, "", kRegSz,
                      "C:\\Program Files\\QeltOne\\QeltOne.exe\0"s},
        HiveValueCase{"AppPathsPath", kAppPaths, "path", kRegSz, "C:\\Program Files\\QeltOne;\0"s},
        HiveValueCase{"Expand", kTests, "Expand", kRegExpandSz, "%SystemRoot%\\system32\0"s},
        HiveValueCase{"Multi", kTests, "Multi", kRegMultiSz, "one\0two\0\0"s},
        HiveValueCase{"Number", kTests, "Number", kRegDword, "\x2a\0\0\0"s},
        HiveValueCase{"Bytes", kTests, "Bytes", kRegBinary, "\x01\xff\0"s},
        HiveValueCase{"ExpandBytes", kTests, "ExpandBytes", kRegExpandSz, "%A%\\\xc3\xa9\0"s},
        HiveValueCase{"Wrapped", kTests, "Wrapped", kRegExpandSz, "C:\\Data\\\0"s},
        HiveValueCase{"OddType", kTests, "OddType", 0xffff0007u, "a\0\0\0"s},
        HiveValueCase{"Quoted", kTests, "Quoted", kRegSz, "say \"hi\" \\ there\0"s},
        HiveValueCase{"Controls", kTests, "Controls", kRegSz, "tab\there\nline\0end\0"s},
        HiveValueCase{"HexEscape", kTests, "HexEscape", kRegSz,
                      "Caf\xc3\xa9 \xe2\x82\xac\xc3\xa9"
                      "a\0"s},
        HiveValueCase{"Utf8", kTests, "Utf8", kRegSz, "Caf\xc3\xa9 \xe2\x82\xac\0"s},
        HiveValueCase{"Octal", kTests, "Octal", kRegSz,
                      "aA\x08"
                      "2\0"s},
        HiveValueCase{"AfterBroken", kTests, "AfterBroken", kRegSz, "still read\0"s},
        HiveValueCase{"NameInOtherCase", kTests, "mixedcase", kRegSz, "found\0"s},
        HiveValueCase{"Empty", kTests, "Empty", kRegSz, "\0"s},
        HiveValueCase{"Twice", kTests, "Twice", kRegSz, "second\0"s},
        HiveValueCase{"EscapedBracketInKey", "Software\\Escaped]Bracket\\Sub", "Value", kRegSz,
                      "inside\0"s}),
    test::CaseNameOf());

struct DecodeCase {
    std::string name;
    std::string stored;  // the bytes between the quotes in the hive file
    std::string read;    // UTF-8, as the value comes back
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.stored);
}

class WineHiveDecodeTest : public WinePrefixTest, public testing::WithParamInterface<DecodeCase> {};

// Plain bytes are UTF-8 and follow the one replacement rule of the text layer: an overlong '/'
// must not come back as a '/'.
TEST_P(WineHiveDecodeTest, DecodesAsTheTextLayerDoes) {
    Write("system.reg",
          "WINE REGISTRY Version 2\n[Software\\\\T] 1\n\"V\"=\"" + GetParam().stored + "\"\n");
    const auto value = ReadValue(registry_, kHKeyLocalMachine, "Software\\T", "V");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, GetParam().read + '\0');
}

constexpr std::string_view kFffd = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Cases, WineHiveDecodeTest,
    testing::Values(DecodeCase{"OverlongSlash",
                               "a\xC0\xAF"
                               "b",
                               "a" + std::string(kFffd) + std::string(kFffd) + "b"},
                    DecodeCase{"Surrogate", "\xED\xA0\x80",
                               std::string(kFffd) + std::string(kFffd) + std::string(kFffd)},
                    DecodeCase{"CutShort", "\xE2\x82", std::string(kFffd)},
                    DecodeCase{"CutShortBeforeEscape", "\xE2\x82\\\\", std::string(kFffd) + "\\"},
                    DecodeCase{"FourByteForm", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
                    DecodeCase{"EscapedSurrogatePair", "\\xd83d\\xde00", "\xF0\x9F\x98\x80"},
                    DecodeCase{"EscapedLoneSurrogate", "\\xd83dz", std::string(kFffd) + "z"},
                    DecodeCase{"EscapedNonAscii", "\\\xC3\xA9", "\xC3\xA9"}),
    test::CaseNameOf());

// Wine's escapes: each letter its control character, octal and \x digits one UTF-16 unit, a
// '\' before any other character that character.
struct EscapeCase {
    const char* name;
    std::string stored;  // the bytes between the quotes in the hive file
    std::string read;    // UTF-8, as the value comes back
};

class WineHiveEscapeTest : public WinePrefixTest, public testing::WithParamInterface<EscapeCase> {};

TEST_P(WineHiveEscapeTest, ReadsEachEscapeAsWineWritesIt) {
    Write("system.reg",
          "WINE REGISTRY Version 2\n[Software\\\\T] 1\n\"V\"=\"" + GetParam().stored + "\"\n");
    const auto value = ReadValue(registry_, kHKeyLocalMachine, "Software\\T", "V");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, GetParam().read + '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WineHiveEscapeTest,
    testing::Values(EscapeCase{"Letters", "\\a\\b\\e\\f\\n\\r\\t\\v", "\a\b\x1B\f\n\r\t\v"},
                    EscapeCase{"OctalTakesThreeDigitsAtMost", "\\1011\\7z", "A1\x07z"},
                    EscapeCase{"HexTakesFourDigitsAtMost", "\\x00e9\\x41g\\x2603a",
                               "\xC3\xA9"
                               "Ag\xE2\x98\x83"
                               "a"},
                    EscapeCase{"HexWithoutDigitsIsAnX", "\\xg", "xg"},
                    EscapeCase{"QuoteAndBackslashStandForThemselves", "a\\\"b\\\\c", "a\"b\\c"},
                    EscapeCase{"OtherLetterStandsForItself", "\\q\\\xC3\xA9", "q\xC3\xA9"},
                    EscapeCase{"PlainRunsBetweenEscapes", "ab\\ncd\\tef", "ab\ncd\tef"}),
    [](const auto& info) { return std::string(info.param.name); });

struct MissingCase {
    std::string name;
    const char* key;
    const char* valueName;
};

class WineHiveMissingTest : public WinePrefixTest,
                            public testing::WithParamInterface<MissingCase> {};

TEST_P(WineHiveMissingTest, IsAbsent) {
    Write("system.reg", kSystemHive);
    EXPECT_FALSE(ReadValue(registry_, kHKeyLocalMachine, GetParam().key, GetParam().valueName));
}

INSTANTIATE_TEST_SUITE_P(
    Values, WineHiveMissingTest,
    testing::Values(MissingCase{"UnterminatedString", kTests, "Broken"},  // unterminated string
                    MissingCase{"UnknownDataForm", kTests, "Bad"},        // unknown data form
                    MissingCase{"MissingValue", kTests, "Nowhere"},
                    MissingCase{"MissingKey", "Software\\Missing", ""},
                    MissingCase{"KeyWithoutValues", "Software", ""}),
    test::CaseNameOf());  // key without values

TEST_F(WinePrefixTest, KeysAboveSavedKeysExist) {
    Write("system.reg", kSystemHive);
    RegKeyHandle key = 0;
    EXPECT_EQ(registry_.OpenKey(kHKeyLocalMachine, "Software\\Microsoft\\Windows", key),
              kRegSuccess);
    RegKeyHandle sub = 0;
    EXPECT_EQ(registry_.OpenKey(key, "CurrentVersion\\App Paths\\QELTONE.EXE", sub), kRegSuccess);
    EXPECT_EQ(registry_.OpenKey(kHKeyLocalMachine, "Software\\Microsoft\\Office", key),
              kRegFileNotFound);
    EXPECT_EQ(registry_.OpenKey(kHKeyCurrentUser, "Software\\Tests", key), kRegFileNotFound);
}

TEST_F(WinePrefixTest, SystemHiveIsLocalMachineAndUserHiveIsCurrentUser) {
    Write("system.reg", kSystemHive);
    Write("user.reg",
          "WINE REGISTRY Version 2\n"
          "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
          "\"Personal\"=\"C:\\\\users\\\\qelt\\\\Documents\"\n");
    ScopedRegistryBackend scoped(registry_);
    EXPECT_EQ(GetInstalledAppPath("QeltOne.exe"), "C:\\Program Files\\QeltOne\\");
    EXPECT_EQ(GetMyDocumentsFolder(), "C:\\users\\qelt\\Documents\\");
    EXPECT_FALSE(ReadValue(registry_, kHKeyCurrentUser, kAppPaths, ""));
}

TEST_F(WinePrefixTest, OtherFilesAndMissingFilesAreEmptyRoots) {
    Write("system.reg",
          "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\A]\n\"x\"=\"1\"\n");
    Write("user.reg", "WINE REGISTRY Version 1\n[Software\\\\A] 1\n\"x\"=\"1\"\n");
    EXPECT_FALSE(ReadValue(registry_, kHKeyLocalMachine, "Software\\A", "x"));
    EXPECT_FALSE(ReadValue(registry_, kHKeyCurrentUser, "Software\\A", "x"));
    std::filesystem::remove(prefix_ / "user.reg");
    EXPECT_FALSE(ReadValue(registry_, kHKeyCurrentUser, "Software\\A", "x"));
    EXPECT_EQ(GetMyDocumentsFolder(), "");
}

TEST_F(WinePrefixTest, ReadsCrLfLines) {
    Write("user.reg", "WINE REGISTRY Version 2\r\n[Software\\\\A] 1\r\n\"V\"=\"crlf\"\r\n");
    const auto value = ReadValue(registry_, kHKeyCurrentUser, "Software\\A", "V");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, "crlf\0"s);
}

TEST_F(WinePrefixTest, ReadsAFileWithoutItsLastLineEnd) {
    Write("user.reg", "WINE REGISTRY Version 2\n[Software\\\\A] 1\n\"V\"=\"last\"");
    const auto value = ReadValue(registry_, kHKeyCurrentUser, "Software\\A", "V");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, "last\0"s);
    Write("user.reg", "WINE REGISTRY Version 2\n[Software\\\\A\\\\B] 1");
    WinePrefixRegistry again([this] { return prefix_; });
    RegKeyHandle key = 0;
    EXPECT_EQ(again.OpenKey(kHKeyCurrentUser, "Software\\A\\B", key), kRegSuccess);
}

TEST_F(WinePrefixTest, ReadsEachHiveOnceAndAnotherPrefixAnew) {
    Write("user.reg", "WINE REGISTRY Version 2\n[Software\\\\A] 1\n\"V\"=\"old\"\n");
    std::filesystem::path current = prefix_;
    WinePrefixRegistry registry([&current] { return current; });
    ASSERT_TRUE(ReadValue(registry, kHKeyCurrentUser, "Software\\A", "V"));
    Write("user.reg", "WINE REGISTRY Version 2\n[Software\\\\A] 1\n\"V\"=\"newer\"\n");
    EXPECT_EQ(ReadValue(registry, kHKeyCurrentUser, "Software\\A", "V").value().data, "old\0"s);
    current = prefix_ / "other";
    test::WriteFile(current / "user.reg",
                    "WINE REGISTRY Version 2\n[Software\\\\A] 1\n\"V\"=\"other\"\n");
    EXPECT_EQ(ReadValue(registry, kHKeyCurrentUser, "Software\\A", "V").value().data, "other\0"s);
}

TEST_F(WinePrefixTest, RootHandlesReadTheHiveRoot) {
    Write("system.reg", kSystemHive);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    // A value line before the first key belongs to no key.
    EXPECT_EQ(registry_.QueryValue(kHKeyLocalMachine, "Stray", type, nullptr, size),
              kRegFileNotFound);
    EXPECT_EQ(registry_.CloseKey(kHKeyLocalMachine), kRegSuccess);
    EXPECT_EQ(registry_.CloseKey(12345), kRegInvalidHandle);
}

TEST_F(WinePrefixTest, KeyNestedAHundredThousandDeep) {
    std::string hivePath;
    std::string path = "Software";
    for (int level = 0; level < 100000; ++level) {
        hivePath += "k\\\\";
        path += "\\k";
    }
    Write("user.reg", "WINE REGISTRY Version 2\n[" + hivePath + "Software] 1\n\"V\"=\"deep\"\n");
    std::string reversed = "k";
    for (int level = 1; level < 100000; ++level) {
        reversed += "\\k";
    }
    const auto value = ReadValue(registry_, kHKeyCurrentUser, reversed + "\\Software", "V");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, "deep\0"s);
}

class WineHiveNotAFileTest : public WinePrefixTest,
                             public testing::WithParamInterface<test::NotAFile> {};

TEST_P(WineHiveNotAFileTest, IsAnEmptyRootReadWithoutBlocking) {
    test::MakeNotAFile(prefix_ / "system.reg", GetParam());
    Write("user.reg", "WINE REGISTRY Version 2\n[Software\\\\A] 1\n\"V\"=\"user\"\n");
    const auto machine = test::ReadsWithoutBlocking(prefix_ / "system.reg", [this] {
        return ReadValue(registry_, kHKeyLocalMachine, kAppPaths, "");
    });
    EXPECT_FALSE(machine);
    EXPECT_TRUE(ReadValue(registry_, kHKeyCurrentUser, "Software\\A", "V"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, WineHiveNotAFileTest,
                         testing::Values(test::NotAFile::Fifo, test::NotAFile::Folder),
                         test::PrintNotAFile);

// %NAME% as a program in the prefix sees it: Wine's own folders, those the registry names, the
// Environment keys (the user's over the machine's), the Unix environment but for what Wine sets.
struct WineExpandCase {
    std::string name;
    std::string systemKeys;  // hive lines after the header
    std::string userKeys;
    std::string text;
    std::string expected;
};

void PrintTo(const WineExpandCase& c, std::ostream* os) {
    *os << c.name;
}

class WineExpandTest : public WinePrefixTest, public testing::WithParamInterface<WineExpandCase> {};

TEST_P(WineExpandTest, ExpandsAsWineDoes) {
    const test::ScopedEnvironment unix("QELT_TEST_UNIX", "u");
    Write("system.reg", "WINE REGISTRY Version 2\n" + GetParam().systemKeys);
    Write("user.reg", "WINE REGISTRY Version 2\n" + GetParam().userKeys);
    std::string expanded;
    EXPECT_EQ(registry_.ExpandEnvironment(GetParam().text, expanded, 1024),
              GetParam().expected.size() + 1);
    EXPECT_EQ(expanded, GetParam().expected);
}

constexpr std::string_view kMachineEnvironment =
    "[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, WineExpandTest,
    testing::Values(
        WineExpandCase{"ProgramFilesDefault", "", "", "%ProgramFiles%\\QeltOne",
                       "C:\\Program Files\\QeltOne"},
        WineExpandCase{"ProgramFilesFromTheRegistry",
                       "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n"
                       "\"ProgramFilesDir\"=\"D:\\\\Apps\"\n",
                       "", "%PROGRAMFILES%\\QeltOne", "D:\\Apps\\QeltOne"},
        WineExpandCase{"SystemRoot", "", "", "%SystemRoot%\\system32", "C:\\windows\\system32"},
        WineExpandCase{
            "MachineEnvironmentExpandsWineDefaults",
            std::string(kMachineEnvironment) + "\"QELT_HOST\"=str(2):\"%ProgramFiles%\\\\Q\"\n", "",
            "%qelt_host%", "C:\\Program Files\\Q"},
        WineExpandCase{"MachineEnvironmentPlainStringIsNotExpanded",
                       std::string(kMachineEnvironment) + "\"QELT_HOST\"=\"%ProgramFiles%\\\\Q\"\n",
                       "", "%qelt_host%", "%ProgramFiles%\\Q"},
        WineExpandCase{"UserEnvironmentOverridesMachine",
                       std::string(kMachineEnvironment) + "\"QELT_HOST\"=\"machine\"\n",
                       "[Environment] 1\n\"QELT_HOST\"=\"user\"\n", "%QELT_HOST%", "user"},
        WineExpandCase{"VolatileEnvironment", "",
                       "[Volatile Environment] 1\n\"USERPROFILE\"=\"C:\\\\users\\\\qelt\"\n",
                       "%UserProfile%\\Documents", "C:\\users\\qelt\\Documents"},
        WineExpandCase{"UnixVariable", "", "", "%QELT_TEST_UNIX%", "u"},
        WineExpandCase{"HomeIsNotPassedOn", "", "", "%HOME%", "%HOME%"},
        WineExpandCase{"Unknown", "", "", "%QELT_NOT_SET%\\x", "%QELT_NOT_SET%\\x"}),
    [](const auto& info) { return info.param.name; });

TEST_F(WinePrefixTest, AppPathsExpandSzGivesTheHostFolderWineGives) {
    Write("system.reg",
          "WINE REGISTRY Version 2\n"
          "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\QeltOne.exe] 1\n"
          "@=str(2):\"\\\"%ProgramFiles%\\\\QeltOne\\\\QeltOne.exe\\\"\"\n");
    const ScopedRegistryBackend scoped(registry_);
    EXPECT_EQ(GetInstalledAppPath("QeltOne.exe"), "C:\\Program Files\\QeltOne\\");
}

}  // namespace
}  // namespace qelt
