#include "settings/RegeditFile.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "SettingsTestSupport.h"
#include "support/CaseName.h"

namespace qelt {
namespace {

using namespace std::string_literals;
using qelt::test::HexList;
using qelt::test::Utf16Le;

constexpr std::string_view kV5 = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr std::string_view kAppKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QeltOne.exe";

std::optional<RegistryValue> Lookup(const std::optional<RegistryHive>& hive, std::string_view key,
                                    std::string_view name) {
    if (!hive) {
        return std::nullopt;
    }
    const auto* values = hive->FindKey(key);
    if (values == nullptr) {
        return std::nullopt;
    }
    const auto value = values->find(std::string(name));
    return value == values->end() ? std::nullopt : std::optional(value->second);
}

struct ValueCase {
    std::string name;
    std::string file;
    std::string key;
    std::string valueName;  // lower-cased, as filed
    std::optional<RegistryValue> expected;
};

void PrintTo(const ValueCase& c, std::ostream* os) {
    *os << c.name;
}

class RegeditValueTest : public testing::TestWithParam<ValueCase> {};

TEST_P(RegeditValueTest, ReadsTheValue) {
    const auto value =
        Lookup(ParseRegeditFile(GetParam().file), GetParam().key, GetParam().valueName);
    ASSERT_EQ(value.has_value(), GetParam().expected.has_value());
    if (value) {
        EXPECT_EQ(value->type, GetParam().expected->type);
        EXPECT_EQ(value->data, GetParam().expected->data);
    }
}

const std::string kAppSection = "[" + std::string(kAppKey) + "]\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, RegeditValueTest,
    testing::Values(
        ValueCase{"DefaultValue", std::string(kV5) + kAppSection + "@=\"C:\\\\Apps\\\\Q.exe\"\r\n",
                  std::string(kAppKey), "", RegistryValue{kRegSz, "C:\\Apps\\Q.exe\0"s}},
        ValueCase{"QuotedValueWithEscapedQuotes",
                  std::string(kV5) + kAppSection + "@=\"\\\"C:\\\\A b\\\\Q.exe\\\"\"\r\n",
                  std::string(kAppKey), "", RegistryValue{kRegSz, "\"C:\\A b\\Q.exe\"\0"s}},
        ValueCase{"LfLineEndsAndShortRoot",
                  "Windows Registry Editor Version 5.00\n[HKCU\\Software\\X]\n\"Name\"=\"v\"\n",
                  "HKEY_CURRENT_USER\\software\\x", "name", RegistryValue{kRegSz, "v\0"s}},
        ValueCase{"KeyAndValueNamesIgnoreCase",
                  std::string(kV5) + "[hklm\\SOFTWARE\\X]\r\n\"PERSONAL\"=\"v\"\r\n",
                  "HKEY_LOCAL_MACHINE\\Software\\x", "personal", RegistryValue{kRegSz, "v\0"s}},
        ValueCase{"Dword", std::string(kV5) + "[HKCU\\X]\r\n\"n\"=dword:0000002a\r\n", "HKCU\\X",
                  "n", RegistryValue{kRegDword, "\x2A\0\0\0"s}},
        ValueCase{"Binary", std::string(kV5) + "[HKCU\\X]\r\n\"n\"=hex:41,00,ff\r\n", "HKCU\\X",
                  "n", RegistryValue{kRegBinary, "A\0\xFF"s}},
        ValueCase{"ExpandSzIsUtf16InVersion5",
                  std::string(kV5) + "[HKCU\\X]\r\n\"n\"=hex(2):" + HexList(Utf16Le("%A%\\b\0"s)) +
                      "\r\n",
                  "HKCU\\X", "n", RegistryValue{kRegExpandSz, "%A%\\b\0"s}},
        ValueCase{"ExpandSzIsAnsiInRegedit4",
                  "REGEDIT4\r\n[HKCU\\X]\r\n\"n\"=hex(2):25,41,25,00\r\n", "HKCU\\X", "n",
                  RegistryValue{kRegExpandSz, "%A%\0"s}},
        ValueCase{"ContinuationLines",
                  std::string(kV5) + "[HKCU\\X]\r\n\"n\"=hex(2):25,00,41,00,\\\r\n  25,00,\\\r\n"
                                     "  00,00\r\n\"after\"=\"yes\"\r\n",
                  "HKCU\\X", "n", RegistryValue{kRegExpandSz, "%A%\0"s}},
        ValueCase{
            "LineAfterContinuationIsItsOwn",
            std::string(kV5) + "[HKCU\\X]\r\n\"n\"=hex:01,\\\r\n  02\r\n\"after\"=\"yes\"\r\n",
            "HKCU\\X", "after", RegistryValue{kRegSz, "yes\0"s}},
        ValueCase{"OtherHexType", std::string(kV5) + "[HKCU\\X]\r\n\"n\"=hex(b):01,02\r\n",
                  "HKCU\\X", "n", RegistryValue{0xB, "\x01\x02"}},
        ValueCase{"ValueDeleted",
                  std::string(kV5) + "[HKCU\\X]\r\n\"n\"=\"v\"\r\n[HKCU\\X]\r\n\"n\"=-\r\n",
                  "HKCU\\X", "n", std::nullopt},
        ValueCase{"KeyDeletedWithSubKeys",
                  std::string(kV5) + "[HKCU\\X\\Y]\r\n\"n\"=\"v\"\r\n[-HKCU\\X]\r\n", "HKCU\\X\\Y",
                  "n", std::nullopt},
        ValueCase{"LaterValueWins",
                  std::string(kV5) + "[HKCU\\X]\r\n\"n\"=\"1\"\r\n\"N\"=\"2\"\r\n", "HKCU\\X", "n",
                  RegistryValue{kRegSz, "2\0"s}},
        ValueCase{"BadLinesAreSkipped",
                  std::string(kV5) + "[HKCU\\X]\r\n\"a\"=\"unterminated\r\n\"b\"=dword:xyz\r\n"
                                     "\"c\"=hex:1,zz\r\n\"d\"=\"ok\"\r\n",
                  "HKCU\\X", "d", RegistryValue{kRegSz, "ok\0"s}},
        ValueCase{"UnterminatedStringIsNotStored",
                  std::string(kV5) + "[HKCU\\X]\r\n\"a\"=\"unterminated\r\n", "HKCU\\X", "a",
                  std::nullopt},
        ValueCase{"ValuesBeforeAnyKeyAreIgnored", std::string(kV5) + "\"n\"=\"v\"\r\n[HKCU\\X]\r\n",
                  "HKCU\\X", "n", std::nullopt},
        ValueCase{"UnknownRootIgnoresItsValues",
                  std::string(kV5) + "[HKEY_NOWHERE\\X]\r\n\"n\"=\"v\"\r\n", "HKCU\\X", "n",
                  std::nullopt},
        ValueCase{"CommentLine", std::string(kV5) + "[HKCU\\X]\r\n;\"n\"=\"v\"\r\n", "HKCU\\X", "n",
                  std::nullopt},
        ValueCase{"Utf16FileWithBom",
                  "\xFF\xFE"s + Utf16Le(std::string(kV5) + "[HKCU\\X]\r\n@=\"v\"\r\n"), "HKCU\\X",
                  "", RegistryValue{kRegSz, "v\0"s}},
        ValueCase{"Utf8FileWithBom",
                  "\xEF\xBB\xBF"s + std::string(kV5) + "[HKCU\\X]\r\n@=\"\xC3\xA9\"\r\n", "HKCU\\X",
                  "", RegistryValue{kRegSz, "\xC3\xA9\0"s}}),
    [](const auto& info) { return info.param.name; });

TEST(RegeditFileTest, FilesWithoutHeaderAreUnparsable) {
    EXPECT_FALSE(ParseRegeditFile(""));
    EXPECT_FALSE(ParseRegeditFile("\r\n\r\n"));
    EXPECT_FALSE(ParseRegeditFile("[HKCU\\X]\r\n@=\"v\"\r\n"));
    EXPECT_FALSE(ParseRegeditFile("Windows Registry Editor Version 4.00\r\n"));
    EXPECT_FALSE(ParseRegeditFile("\x7F\x45\x4C\x46\x02\x01\x01\0\0\0"s));
}

TEST(RegeditFileTest, IntermediateKeysExistAndRootsAlways) {
    const auto hive = ParseRegeditFile(std::string(kV5) + "[HKLM\\A\\B\\C]\r\n");
    ASSERT_TRUE(hive);
    EXPECT_NE(hive->FindKey("HKEY_LOCAL_MACHINE\\a\\b"), nullptr);
    EXPECT_NE(hive->FindKey("HKEY_CURRENT_USER"), nullptr);
    EXPECT_EQ(hive->FindKey("HKLM\\A\\X"), nullptr);
    EXPECT_EQ(hive->FindKey("HKLM\\A\\\\B"), nullptr);
}

// Memory and time grow with the file, not with the square of a key's depth; deleting such a key
// and dropping the hive must not recurse once per level.
TEST(RegeditFileTest, KeyNestedAHundredThousandDeep) {
    std::string path = "HKCU";
    for (int level = 0; level < 100000; ++level) {
        path += "\\k";
    }
    const std::string file = std::string(kV5) + "[" + path + "]\r\n@=\"deep\"\r\n";
    const auto value = Lookup(ParseRegeditFile(file), path, "");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, "deep\0"s);
    const auto deleted = ParseRegeditFile(file + "[-HKCU\\K]\r\n");
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->FindKey(path), nullptr);
    EXPECT_EQ(deleted->FindKey("HKCU\\k"), nullptr);
    EXPECT_NE(deleted->FindKey("HKCU"), nullptr);
}

TEST(HiveRegistryTest, OpensBelowAnOpenKeyAndClosesEachHandleOnce) {
    RegistryHive hive;
    hive.SetValue("HKLM\\Software\\X\\Y", "", RegistryValue{kRegSz, "v\0"s});
    HiveRegistry registry(hive);
    RegKeyHandle parent = 0;
    RegKeyHandle child = 0;
    ASSERT_EQ(registry.OpenKey(kHKeyLocalMachine, "SOFTWARE\\x", parent), kRegSuccess);
    ASSERT_EQ(registry.OpenKey(parent, "Y", child), kRegSuccess);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(registry.QueryValue(child, "", type, nullptr, size), kRegSuccess);
    EXPECT_EQ(size, 2u);
    std::string small;
    size = 1;
    EXPECT_EQ(registry.QueryValue(child, "", type, &small, size), kRegMoreData);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(registry.CloseKey(child), kRegSuccess);
    EXPECT_EQ(registry.CloseKey(child), kRegInvalidHandle);
    EXPECT_EQ(registry.QueryValue(child, "", type, nullptr, size), kRegInvalidHandle);
    EXPECT_EQ(registry.OpenKey(parent, "Missing", child), kRegFileNotFound);
    EXPECT_EQ(registry.CloseKey(parent), kRegSuccess);
}

struct ExpandCase {
    std::string name;
    std::string text;
    std::string expected;
};

void PrintTo(const ExpandCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.text);
}

class ExpandEnvironmentTest : public testing::TestWithParam<ExpandCase> {};

TEST_P(ExpandEnvironmentTest, ReplacesKnownNamesOnly) {
#ifdef _WIN32
    if (GetParam().text.find("QELT_TEST_EMPTY") != std::string::npos) {
        GTEST_SKIP() << "Windows removes a variable that is set to the empty text";
    }
#endif
    const qelt::test::ScopedEnvironment known("QELT_TEST_KNOWN", "K");
    const qelt::test::ScopedEnvironment empty("QELT_TEST_EMPTY", "");
    EXPECT_EQ(ExpandEnvironmentReferences(GetParam().text, LookUpProcessEnvironment),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExpandEnvironmentTest,
    testing::Values(ExpandCase{"Known", "%QELT_TEST_KNOWN%\\x", "K\\x"},
                    ExpandCase{"KnownTwice", "a%QELT_TEST_KNOWN%b%QELT_TEST_KNOWN%c", "aKbKc"},
                    ExpandCase{"NameInOtherCase", "%Qelt_Test_Known%", "K"},
                    ExpandCase{"EmptyValue", "[%QELT_TEST_EMPTY%]", "[]"},
                    ExpandCase{"Unknown", "%QELT_NO_SUCH%\\x", "%QELT_NO_SUCH%\\x"},
                    ExpandCase{"UnknownClosingPercentStartsNoName",
                               "%QELT_NO_SUCH%QELT_TEST_KNOWN%", "%QELT_NO_SUCH%QELT_TEST_KNOWN%"},
                    ExpandCase{"PercentAtTheEnd", "100%", "100%"},
                    ExpandCase{"TwoPercents", "%%", "%%"},
                    ExpandCase{"UnclosedName", "50% of %QELT_TEST_KNOWN",
                               "50% of %QELT_TEST_KNOWN"},
                    ExpandCase{"Empty", "", ""}),
    test::CaseNameOf());

}  // namespace
}  // namespace qelt
