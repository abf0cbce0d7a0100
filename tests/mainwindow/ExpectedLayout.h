#pragma once

#include <array>

#include "mainwindow/FormControls.h"

namespace qelt::gui::test {

// Where each control must sit, relative to the window's client area, at 96 and at 144 dots per
// inch: the twips of the window's layout worked out by hand (15 and 10 twips to a pixel, halves
// rounded up, edges rounded rather than sizes).
struct ExpectedPlace {
    const char* name;
    ControlId id;
    PixelRect at96;
    PixelRect at144;
};

inline constexpr std::array<ExpectedPlace, 8> kExpectedPlaces{{
    {"Frame2", ControlId::Frame2, {12, 8, 409, 77}, {18, 12, 614, 116}},
    {"Label5", ControlId::Label5, {16, 30, 73, 16}, {24, 45, 110, 24}},
    {"txtDatabaseName", ControlId::txtDatabaseName, {93, 27, 316, 19}, {140, 41, 474, 28}},
    {"Label3", ControlId::Label3, {16, 54, 73, 16}, {24, 81, 110, 24}},
    {"cmbTable", ControlId::cmbTable, {93, 51, 316, 21}, {140, 77, 474, 31}},
    {"txtScript", ControlId::txtScript, {12, 95, 409, 331}, {18, 143, 614, 496}},
    {"cmdCreate", ControlId::cmdCreate, {106, 445, 109, 22}, {159, 668, 164, 33}},
    {"cmdClose", ControlId::cmdClose, {222, 445, 109, 22}, {333, 668, 164, 33}},
}};

inline constexpr PixelRect kClientAt96{0, 0, 437, 482};
inline constexpr PixelRect kClientAt144{0, 0, 656, 723};

}  // namespace qelt::gui::test
