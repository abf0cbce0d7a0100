#include "settings/WinePaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "settings/SettingsTestSupport.h"
#include "support/CaseName.h"

namespace qelt {
namespace {

namespace fs = std::filesystem;

// A Wine prefix as wineboot makes it: drive letters as links in dosdevices.
class WinePathsTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(prefix_ / "dosdevices");
        fs::create_directories(prefix_ / "drive_c" / "Program Files" / "QeltOne");
        fs::create_directories(prefix_ / "shares" / "Host" / "Public");
        fs::create_symlink("../drive_c", prefix_ / "dosdevices" / "c:");
        fs::create_directories(prefix_ / "dosdevices" / "unc");
        fs::create_symlink("../../shares", prefix_ / "dosdevices" / "unc" / "server");
        Touch(prefix_ / "drive_c" / "Program Files" / "QeltOne" / "QeltOnePaths.ini");
        Touch(prefix_ / "drive_c" / "Program Files" / "QeltOne" / "Both.ini");
        Touch(prefix_ / "drive_c" / "Program Files" / "QeltOne" / "BOTH.INI");
        Touch(prefix_ / "shares" / "Host" / "Public" / "QeltOne.ini");
    }
    static void Touch(const fs::path& file) { std::ofstream(file) << "[General]\n"; }

    const test::TempFolder folder_;
    const fs::path prefix_ = folder_.Path();
};

struct MappingCase {
    std::string name;
    const char* windowsName;
    const char* expected;  // below the prefix
};

class WinePathsMappingTest : public WinePathsTest,
                             public testing::WithParamInterface<MappingCase> {};

TEST_P(WinePathsMappingTest, ResolvesThroughTheDriveLinks) {
    EXPECT_EQ(MapWindowsFileName(GetParam().windowsName, prefix_), prefix_ / GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, WinePathsMappingTest,
    testing::Values(
        MappingCase{"ExactCase", "C:\\Program Files\\QeltOne\\QeltOnePaths.ini",
                    "dosdevices/c:/Program Files/QeltOne/QeltOnePaths.ini"},
        MappingCase{"OtherCase", "c:\\PROGRAM FILES\\qeltone\\qeltonepaths.INI",
                    "dosdevices/c:/Program Files/QeltOne/QeltOnePaths.ini"},
        MappingCase{"Slashes", "C:/Program Files/QeltOne/QeltOnePaths.ini",
                    "dosdevices/c:/Program Files/QeltOne/QeltOnePaths.ini"},
        MappingCase{"DotsAndDoubleBackslash",
                    "C:\\Program Files\\\\QeltOne\\.\\Old\\..\\QeltOnePaths.ini",
                    "dosdevices/c:/Program Files/QeltOne/QeltOnePaths.ini"},
        MappingCase{"DotsAboveTheRoot", "C:\\..\\..\\Program Files", "dosdevices/c:/Program Files"},
        // An exact name wins over one that differs in case only.
        MappingCase{"ExactUpperCase", "C:\\Program Files\\QeltOne\\BOTH.INI",
                    "dosdevices/c:/Program Files/QeltOne/BOTH.INI"},
        MappingCase{"ExactMixedCase", "C:\\Program Files\\QeltOne\\Both.ini",
                    "dosdevices/c:/Program Files/QeltOne/Both.ini"},
        // Missing parts are kept as written: the file is simply not there.
        MappingCase{"MissingFolder", "C:\\program files\\Missing\\QeltOne.ini",
                    "dosdevices/c:/Program Files/Missing/QeltOne.ini"},
        MappingCase{"OtherDrive", "D:\\Shared\\QeltOne.ini", "dosdevices/d:/Shared/QeltOne.ini"},
        MappingCase{"DriveOnly", "C:", "dosdevices/c:"},
        MappingCase{"UncName", "\\\\SERVER\\host\\public\\qeltone.ini",
                    "dosdevices/unc/server/Host/Public/QeltOne.ini"}),
    test::CaseNameOf());

TEST_F(WinePathsTest, MappedNamesReachTheFiles) {
    EXPECT_TRUE(fs::is_regular_file(
        MapWindowsFileName("c:\\program files\\QELTONE\\QeltOnePaths.ini", prefix_)));
    EXPECT_TRUE(
        fs::is_regular_file(MapWindowsFileName("\\\\server\\HOST\\Public\\QeltOne.ini", prefix_)));
}

struct UnixCase {
    std::string name;
    const char* path;
    const char* expected;
};

class WinePathsUnixTest : public testing::TestWithParam<UnixCase> {};

TEST_P(WinePathsUnixTest, KeepsUnixNames) {
    EXPECT_EQ(MapWindowsFileName(GetParam().path, "/prefix"), fs::path(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Names, WinePathsUnixTest,
    testing::Values(UnixCase{"Plain", "/srv/QeltOne/QeltOne.ini", "/srv/QeltOne/QeltOne.ini"},
                    UnixCase{"UpperCase", "/srv/QELTONE/x.ini", "/srv/QELTONE/x.ini"},
                    UnixCase{"BackslashInName", "/srv/host\\QeltOne.ini", "/srv/host\\QeltOne.ini"},
                    UnixCase{"RelativeWithBackslash", "Data\\QeltOne.ini", "Data\\QeltOne.ini"},
                    UnixCase{"DigitBeforeColon", "1:\\x", "1:\\x"}),
    test::CaseNameOf());

TEST(WinePrefixFolderTest, IsWinePrefixElseDotWineInHome) {
    const test::ScopedEnvironment home("HOME", "/home/admin");
    {
        const test::ScopedEnvironment prefix("WINEPREFIX", "/srv/wine");
        EXPECT_EQ(WinePrefixFolder(), fs::path("/srv/wine"));
    }
    {
        const test::ScopedEnvironment prefix("WINEPREFIX", "");
        EXPECT_EQ(WinePrefixFolder(), fs::path("/home/admin/.wine"));
    }
    const test::ScopedEnvironment prefix("WINEPREFIX", std::nullopt);
    EXPECT_EQ(WinePrefixFolder(), fs::path("/home/admin/.wine"));
}

}  // namespace
}  // namespace qelt
