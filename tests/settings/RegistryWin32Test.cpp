// The Windows registry backend against a real registry: Wine's, in the tests' prefix, where the
// wine_prefix fixture (tests/wine/prepare-prefix.sh) adds these values with `reg add`.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "settings/RegFuncs.h"
#include "settings/RegistryBackend.h"

namespace qelt {
namespace {

constexpr const char* kMachineKey = "Software\\QeltAuditTests";
constexpr const char* kUserKey = "Software\\QeltAuditTests";
constexpr const char* kUnchanged = "unchanged";

struct StringCase {
    const char* valueName;
    bool read;
    std::string expected;  // the value, or kUnchanged when nothing is read
};

class RegistryWin32StringTest : public testing::TestWithParam<StringCase> {
  protected:
    static void SetUpTestSuite() {
        _putenv_s("QELT_EXPAND_TEST", "D:\\Expanded");
        _putenv_s("QELT_LONG_TEST", std::string(1500, 'x').c_str());
    }
};

TEST_P(RegistryWin32StringTest, ReadsThroughTheAnsiFunctions) {
    const StringCase& c = GetParam();
    RegKeyHandle key = 0;
    ASSERT_TRUE(RegOpenKey(kHKeyLocalMachine, kMachineKey, key));
    std::string value = kUnchanged;
    EXPECT_EQ(RegReadString(key, c.valueName, value), c.read) << c.valueName;
    EXPECT_EQ(value, c.expected) << c.valueName;
    EXPECT_TRUE(RegClose(key));
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryWin32StringTest,
    testing::Values(StringCase{"", true, "C:\\Program Files\\QeltOne\\QeltOne.exe"},
                    StringCase{"Plain", true, "%QELT_EXPAND_TEST%\\Documents"},
                    StringCase{"Expand", true, "D:\\Expanded\\Documents"},
                    StringCase{"Unknown", true, "%QELT_NOT_SET%\\x"},
                    // Longer than the 1023 characters of the first expansion buffer.
                    StringCase{"LongExpand", true, std::string(1500, 'x')},
                    StringCase{"Empty", true, ""},
                    // Code page 1252 holds these; they come back as UTF-8.
                    StringCase{"NonAscii", true, "Caf\xc3\xa9 M\xc3\xbcller \xe2\x82\xac"},
                    // Omega is not in code page 1252: the A function gives its best fit, O.
                    StringCase{"NotInCodePage", true, "Omega"},
                    StringCase{"Number", false, kUnchanged}, StringCase{"Bytes", false, kUnchanged},
                    StringCase{"Multi", false, kUnchanged},
                    StringCase{"Missing", false, kUnchanged}),
    [](const auto& info) {
        return std::string(*info.param.valueName != '\0' ? info.param.valueName : "Default");
    });

TEST(RegistryWin32Test, BackendReportsOtherTypesWithTheirData) {
    RegistryBackend& registry = SystemRegistry();
    RegKeyHandle key = 0;
    ASSERT_EQ(registry.OpenKey(kHKeyLocalMachine, kMachineKey, key), kRegSuccess);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    ASSERT_EQ(registry.QueryValue(key, "Number", type, nullptr, size), kRegSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(size, 4u);
    std::string data(size, ' ');
    ASSERT_EQ(registry.QueryValue(key, "Number", type, &data, size), kRegSuccess);
    EXPECT_EQ(data, std::string("\x2a\0\0\0", 4));
    ASSERT_EQ(registry.QueryValue(key, "Multi", type, nullptr, size), kRegSuccess);
    EXPECT_EQ(type, kRegMultiSz);
    data.assign(size, ' ');
    ASSERT_EQ(registry.QueryValue(key, "Multi", type, &data, size), kRegSuccess);
    EXPECT_EQ(data, std::string("one\0two\0\0", 9));
    EXPECT_EQ(registry.QueryValue(key, "Missing", type, nullptr, size), kRegFileNotFound);
    EXPECT_EQ(registry.CloseKey(key), kRegSuccess);
}

TEST(RegistryWin32Test, OpensKeysByAnsiNameBelowRootsAndOpenKeys) {
    RegKeyHandle user = 0;
    ASSERT_TRUE(RegOpenKey(kHKeyCurrentUser, kUserKey, user));
    RegKeyHandle sub = 0;
    ASSERT_TRUE(RegOpenKey(user, "Schl\xc3\xbcssel", sub));
    std::string value;
    EXPECT_TRUE(RegReadString(sub, "Wert", value));
    EXPECT_EQ(value, "gefunden");
    EXPECT_TRUE(RegClose(sub));
    EXPECT_TRUE(RegClose(user));

    RegKeyHandle missing = 0;
    EXPECT_FALSE(RegOpenKey(kHKeyLocalMachine, "Software\\QeltAuditTests\\Missing", missing));
}

TEST(RegistryWin32Test, ShellFoldersComeFromTheUsersKey) {
    // Wine's own shell folder list: C:\users\<name>\Documents and ...\AppData\Roaming.
    const std::string documents = GetMyDocumentsFolder();
    EXPECT_TRUE(documents.starts_with("C:\\users\\")) << documents;
    EXPECT_TRUE(documents.ends_with("\\Documents\\")) << documents;
    const std::string appData = GetAppDataFolder();
    EXPECT_TRUE(appData.ends_with("\\AppData\\Roaming\\")) << appData;
}

}  // namespace
}  // namespace qelt
