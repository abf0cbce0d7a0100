#include "mainwindow/FormControls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "mainwindow/ExpectedLayout.h"
#include "support/CaseName.h"

namespace qelt::gui {

void PrintTo(const PixelRect& rect, std::ostream* out) {
    *out << rect.left << "," << rect.top << " " << rect.width << "x" << rect.height;
}

namespace {

using test::ExpectedPlace;
using ::testing::ElementsAre;

class PlaceTest : public ::testing::TestWithParam<ExpectedPlace> {};

TEST_P(PlaceTest, ControlSitsAtItsTwipsInPixelsAtEachDpi) {
    EXPECT_EQ(ClientRect(GetParam().id, 96), GetParam().at96);
    EXPECT_EQ(ClientRect(GetParam().id, 144), GetParam().at144);
    EXPECT_EQ(Control(GetParam().id).name, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Controls, PlaceTest, ::testing::ValuesIn(test::kExpectedPlaces),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FormControlsTest, ClientAreaScalesWithTheDpi) {
    EXPECT_EQ(ClientArea(96), test::kClientAt96);
    EXPECT_EQ(ClientArea(120), (PixelRect{0, 0, 546, 603}));
    EXPECT_EQ(ClientArea(144), test::kClientAt144);
}

TEST(FormControlsTest, ButtonsAreAPairCentredInTheClientWidth) {
    const TwipsRect create = Control(ControlId::cmdCreate).twips;
    const TwipsRect close = Control(ControlId::cmdClose).twips;
    EXPECT_EQ(create.left, kClientWidthTwips - (close.left + close.width));
    EXPECT_EQ(ClientRect(ControlId::cmdCreate, 96).left,
              437 - (ClientRect(ControlId::cmdClose, 96).left + 109));
}

struct Rounding {
    std::string name;
    int twips;
    int dpi;
    int pixels;
};

class TwipsToPixelsTest : public ::testing::TestWithParam<Rounding> {};

TEST_P(TwipsToPixelsTest, RoundsToTheNearestPixelHalvesUp) {
    EXPECT_EQ(TwipsToPixels(GetParam().twips, GetParam().dpi), GetParam().pixels);
}

INSTANTIATE_TEST_SUITE_P(Values, TwipsToPixelsTest,
                         ::testing::Values(Rounding{"Zero", 0, 96, 0},
                                           Rounding{"FifteenTwipsAreAPixel", 15, 96, 1},
                                           Rounding{"SevenTwipsRoundDown", 7, 96, 0},
                                           Rounding{"EightTwipsRoundUp", 8, 96, 1},
                                           Rounding{"HalfPixelRoundsUp", 315, 144, 32},
                                           Rounding{"ClientWidthAt120Dpi", 6555, 120, 546},
                                           Rounding{"At192Dpi", 7230, 192, 964},
                                           Rounding{"OneInchAt288Dpi", 1440, 288, 288}),
                         qelt::test::CaseNameOf());

TEST(FormControlsTest, TabOrderSkipsTheFrameAndTheLabels) {
    EXPECT_THAT(TabOrder(),
                ElementsAre(ControlId::txtDatabaseName, ControlId::cmdCreate, ControlId::cmdClose,
                            ControlId::txtScript, ControlId::cmbTable));
    EXPECT_THAT(ControlsByTabIndex(),
                ElementsAre(ControlId::txtDatabaseName, ControlId::cmdCreate, ControlId::cmdClose,
                            ControlId::Frame2, ControlId::Label5, ControlId::txtScript,
                            ControlId::cmbTable, ControlId::Label3));
}

struct KeyCase {
    std::string name;
    const char* caption;
    char key;
};

class AccessKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(AccessKeyTest, LetterAfterTheAmpersandUpperCase) {
    EXPECT_EQ(AccessKey(GetParam().caption), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(Captions, AccessKeyTest,
                         ::testing::Values(KeyCase{"FirstLetter", "&Create", 'C'},
                                           KeyCase{"InsideTheWord", "Cl&ose", 'O'},
                                           KeyCase{"NoAmpersand", "Database:", '\0'},
                                           KeyCase{"EmptyCaption", "", '\0'},
                                           KeyCase{"AmpersandAtTheEnd", "trailing&", '\0'}),
                         qelt::test::CaseNameOf());

TEST(FormControlsTest, OnlyTheButtonsHaveAccessKeys) {
    std::string keys;
    for (const ControlSpec& control : kControls) {
        if (const char key = AccessKey(control.caption)) {
            keys += std::string(control.name) + "=" + key + " ";
        }
    }
    EXPECT_EQ(keys, "cmdCreate=C cmdClose=O ");
}

TEST(FormControlsTest, FontHeightInPixels) {
    EXPECT_EQ(FontPixelHeight(96), 11);
    EXPECT_EQ(FontPixelHeight(120), 14);
    EXPECT_EQ(FontPixelHeight(144), 17);
}

}  // namespace
}  // namespace qelt::gui
