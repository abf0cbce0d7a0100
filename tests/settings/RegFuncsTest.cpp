#include "settings/RegFuncs.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "SettingsTestSupport.h"
#include "settings/RegistryHive.h"

namespace qelt {
namespace {

using namespace std::string_literals;

const std::string kShellFolders = "HKEY_CURRENT_USER\\" + ShellFoldersKeyPath();

// An in-memory registry that counts open keys and can fail chosen calls.
class TestRegistry final : public RegistryBackend {
  public:
    explicit TestRegistry(RegistryHive hive) : inner_(std::move(hive)) {}

    long OpenKey(RegKeyHandle parent, std::string_view subKey, RegKeyHandle& key) override {
        const long status = inner_.OpenKey(parent, subKey, key);
        openKeys += status == kRegSuccess ? 1 : 0;
        return status;
    }
    long QueryValue(RegKeyHandle key, std::string_view name, std::uint32_t& type, std::string* data,
                    std::uint32_t& size) override {
        if (data != nullptr && failDataRead) {
            return kRegMoreData;
        }
        return inner_.QueryValue(key, name, type, data, size);
    }
    long CloseKey(RegKeyHandle key) override {
        --openKeys;
        inner_.CloseKey(key);
        return failClose ? kRegInvalidHandle : kRegSuccess;
    }
    std::size_t ExpandEnvironment(std::string_view source, std::string& destination,
                                  std::size_t capacity) override {
        ++expansions;
        return inner_.ExpandEnvironment(source, destination, capacity);
    }

    int openKeys = 0;
    int expansions = 0;
    bool failDataRead = false;
    bool failClose = false;

  private:
    HiveRegistry inner_;
};

RegistryHive HiveWithPersonal(std::optional<RegistryValue> personal) {
    RegistryHive hive;
    hive.CreateKey(kShellFolders);
    if (personal) {
        hive.SetValue(kShellFolders, "Personal", *personal);
    }
    return hive;
}

TEST(RegFuncsTest, KeyPathsAreTheShellConstants) {
    EXPECT_EQ(CurrentVersionKeyPath(), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    EXPECT_EQ(ShellFoldersKeyPath(),
              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
}

// The value's type and bytes stand in the case itself: a RegistryValue nested in the case makes
// GCC's optimiser see its string as possibly uninitialised.
struct ReadCase {
    std::string name;
    std::uint32_t type;
    std::string data;
    std::optional<std::string> expected;  // nothing: RegReadString is false
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class RegReadStringTest : public testing::TestWithParam<ReadCase> {};

TEST_P(RegReadStringTest, ReadsStringTypesOnly) {
    const qelt::test::ScopedEnvironment profile("QELT_TEST_PROFILE", "C:\\Users\\A");
    TestRegistry registry(HiveWithPersonal(RegistryValue{GetParam().type, GetParam().data}));
    const ScopedRegistryBackend scoped(registry);
    RegKeyHandle key = 0;
    ASSERT_TRUE(RegOpenKey(kHKeyCurrentUser, ShellFoldersKeyPath(), key));
    std::string value = "untouched";
    EXPECT_EQ(RegReadString(key, "PERSONAL", value), GetParam().expected.has_value());
    EXPECT_EQ(value, GetParam().expected.value_or("untouched"));
    RegClose(key);
    EXPECT_EQ(registry.openKeys, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegReadStringTest,
    testing::Values(ReadCase{"EmptyWithNul", kRegSz, "\0"s, ""},
                    ReadCase{"EmptyWithoutNul", kRegSz, "", ""},
                    ReadCase{"NulInTheMiddle", kRegSz, "D:\\Docs\0junk\0"s, "D:\\Docs"},
                    ReadCase{"WithoutNul", kRegSz, "D:\\Docs", "D:\\Docs"},
                    ReadCase{"ExpandSz", kRegExpandSz, "%QELT_TEST_PROFILE%\\Documents\0"s,
                             "C:\\Users\\A\\Documents"},
                    ReadCase{"ExpandSzNameInOtherCase", kRegExpandSz,
                             "%qelt_test_profile%\\Documents\0"s, "C:\\Users\\A\\Documents"},
                    ReadCase{"ExpandSzCutAtNulBeforeExpanding", kRegExpandSz,
                             "%QELT_TEST_PROFILE%\0%PATH%\0"s, "C:\\Users\\A"},
                    ReadCase{"SzStaysUnexpanded", kRegSz, "%QELT_TEST_PROFILE%\\Documents\0"s,
                             "%QELT_TEST_PROFILE%\\Documents"},
                    ReadCase{"UnknownReferenceStays", kRegExpandSz, "%QELT_NO_SUCH_NAME%\\x\0"s,
                             "%QELT_NO_SUCH_NAME%\\x"},
                    ReadCase{"Dword", kRegDword, "\x01\0\0\0"s, std::nullopt},
                    ReadCase{"Binary", kRegBinary, "D:\\Docs", std::nullopt},
                    ReadCase{"MultiString", kRegMultiSz, "D:\\Docs\0\0"s, std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(RegFuncsTest, MissingValueIsFalseAndLeavesValue) {
    TestRegistry registry(HiveWithPersonal(std::nullopt));
    const ScopedRegistryBackend scoped(registry);
    RegKeyHandle key = 0;
    ASSERT_TRUE(RegOpenKey(kHKeyCurrentUser, ShellFoldersKeyPath(), key));
    std::string value = "untouched";
    EXPECT_FALSE(RegReadString(key, "Personal", value));
    EXPECT_FALSE(RegReadString(key, "", value));
    EXPECT_EQ(value, "untouched");
    EXPECT_TRUE(RegClose(key));
}

TEST(RegFuncsTest, FailedDataReadIsFalseAndLeavesValue) {
    TestRegistry registry(HiveWithPersonal(RegistryValue{kRegSz, "D:\\Docs\0"s}));
    registry.failDataRead = true;
    const ScopedRegistryBackend scoped(registry);
    EXPECT_EQ(GetMyDocumentsFolder(), "");
    EXPECT_EQ(registry.openKeys, 0);
}

TEST(RegFuncsTest, MissingKeyIsFalseAndNothingStaysOpen) {
    TestRegistry registry{RegistryHive{}};
    const ScopedRegistryBackend scoped(registry);
    RegKeyHandle key = 0;
    EXPECT_FALSE(RegOpenKey(kHKeyCurrentUser, ShellFoldersKeyPath(), key));
    EXPECT_EQ(GetMyDocumentsFolder(), "");
    EXPECT_EQ(GetAppDataFolder(), "");
    EXPECT_EQ(registry.openKeys, 0);
}

TEST(RegFuncsTest, FailingCloseIsReportedAndIgnoredByLookups) {
    TestRegistry registry(HiveWithPersonal(RegistryValue{kRegSz, "D:\\Docs\0"s}));
    registry.failClose = true;
    const ScopedRegistryBackend scoped(registry);
    RegKeyHandle key = 0;
    ASSERT_TRUE(RegOpenKey(kHKeyCurrentUser, ShellFoldersKeyPath(), key));
    EXPECT_FALSE(RegClose(key));
    EXPECT_EQ(GetMyDocumentsFolder(), "D:\\Docs\\");
}

TEST(RegFuncsTest, ExpansionLongerThanTheBufferComesBackWhole) {
    const std::string longFolder = "C:\\" + std::string(2000, 'x');
    const qelt::test::ScopedEnvironment profile("QELT_TEST_LONG", longFolder);
    TestRegistry registry(HiveWithPersonal(RegistryValue{kRegExpandSz, "%QELT_TEST_LONG%\\D\0"s}));
    const ScopedRegistryBackend scoped(registry);
    EXPECT_EQ(GetMyDocumentsFolder(), longFolder + "\\D\\");
    EXPECT_EQ(registry.expansions, 2);
}

TEST(RegFuncsTest, ExpansionOfExactly1023CharactersNeedsOneCall) {
    const std::string folder(1023, 'y');
    const qelt::test::ScopedEnvironment profile("QELT_TEST_LONG", folder);
    TestRegistry registry(HiveWithPersonal(RegistryValue{kRegExpandSz, "%QELT_TEST_LONG%\0"s}));
    const ScopedRegistryBackend scoped(registry);
    EXPECT_EQ(GetMyDocumentsFolder(), folder + "\\");
    EXPECT_EQ(registry.expansions, 1);
}

struct FolderCase {
    std::string name;
    std::uint32_t type;
    std::string data;
    std::string expected;
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name;
}

class ShellFolderTest : public testing::TestWithParam<FolderCase> {};

TEST_P(ShellFolderTest, DocumentsAndAppDataReadTheirOwnValue) {
    const RegistryValue folder{GetParam().type, GetParam().data};
    RegistryHive hive = HiveWithPersonal(folder);
    hive.SetValue(kShellFolders, "AppData", folder);
    hive.SetValue(kShellFolders, "Local AppData", RegistryValue{kRegSz, "L:\\Wrong\0"s});
    TestRegistry registry(hive);
    const ScopedRegistryBackend scoped(registry);
    EXPECT_EQ(GetMyDocumentsFolder(), GetParam().expected);
    EXPECT_EQ(GetAppDataFolder(), GetParam().expected);
    EXPECT_EQ(registry.openKeys, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShellFolderTest,
    testing::Values(FolderCase{"Trimmed", kRegSz, "  D:\\Docs  \0"s, "D:\\Docs\\"},
                    FolderCase{"EndsInBackslash", kRegSz, "D:\\Docs\\\0"s, "D:\\Docs\\"},
                    FolderCase{"ForwardSlashes", kRegSz, "D:/Docs/\0"s, "D:/Docs/"},
                    FolderCase{"Empty", kRegSz, "\0"s, ""},
                    FolderCase{"Spaces", kRegSz, "   \0"s, ""},
                    FolderCase{"Number", kRegDword, "\x2A\0\0\0"s, ""}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace qelt
