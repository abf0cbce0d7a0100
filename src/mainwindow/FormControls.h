// The window's controls as both views build them: names, kinds, captions, places.
#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

// The window's controls as both views build them: names, kinds, captions, places in twips, tab
// order and access keys. Nothing here knows a toolkit.
namespace qelt::gui {

// The program's title: the window caption starts with it, and message boxes, which have no
// caption of their own, show it in their title bar.
inline constexpr char kApplicationTitle[] = "QeltAuditTrigger";
inline constexpr char kFormName[] = "frmQeltAuditTrigger";

enum class ControlId {
    Frame2,
    Label5,
    txtDatabaseName,
    Label3,
    cmbTable,
    txtScript,
    cmdCreate,
    cmdClose
};

enum class ControlKind {
    Frame,             // a captioned group box
    Label,             // static text, aligned to the right
    TextBox,           // single line, editable
    MultiLineTextBox,  // both scroll bars, no wrapping, no length limit, editable
    DropDownList,      // the user can only choose an item, not type
    Button,
};

struct TwipsRect {
    int left, top, width, height;
};

struct PixelRect {
    int left, top, width, height;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct ControlSpec {
    ControlId id;
    std::string_view name;
    ControlKind kind;
    std::optional<ControlId> container;  // none: the window's client area
    std::string_view caption;            // '&' marks the access key
    TwipsRect twips;                     // relative to the container
    int tabIndex;
};

// The layout is in twips: 1440 to the inch, so 15 to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kClientWidthTwips = 6555;
inline constexpr int kClientHeightTwips = 7230;

// The one font of the window and all its controls: Tahoma 8.25 pt, normal weight.
inline constexpr char kFontFamily[] = "Tahoma";
inline constexpr double kFontPoints = 8.25;
inline constexpr int kFontWeight = 400;

// Top to bottom, as the window shows them.
inline constexpr std::array<ControlSpec, 8> kControls{{
    {ControlId::Frame2,
     "Frame2",
     ControlKind::Frame,
     std::nullopt,
     "SQL Server Information",
     {180, 120, 6135, 1155},
     3},
    {ControlId::Label5,
     "Label5",
     ControlKind::Label,
     ControlId::Frame2,
     "Database:",
     {60, 330, 1095, 240},
     4},
    {ControlId::txtDatabaseName,
     "txtDatabaseName",
     ControlKind::TextBox,
     ControlId::Frame2,
     "",
     {1215, 285, 4740, 285},
     0},
    {ControlId::Label3,
     "Label3",
     ControlKind::Label,
     ControlId::Frame2,
     "Table:",
     {60, 690, 1095, 240},
     7},
    {ControlId::cmbTable,
     "cmbTable",
     ControlKind::DropDownList,
     ControlId::Frame2,
     "",
     {1215, 645, 4740, 315},
     6},
    {ControlId::txtScript,
     "txtScript",
     ControlKind::MultiLineTextBox,
     std::nullopt,
     "",
     {180, 1425, 6135, 4965},
     5},
    {ControlId::cmdCreate,
     "cmdCreate",
     ControlKind::Button,
     std::nullopt,
     "&Create",
     {1590, 6675, 1635, 330},
     1},
    {ControlId::cmdClose,
     "cmdClose",
     ControlKind::Button,
     std::nullopt,
     "Cl&ose",
     {3330, 6675, 1635, 330},
     2},
}};

const ControlSpec& Control(ControlId id);

// Every control in TabIndex order, the order in which a view creates them.
std::vector<ControlId> ControlsByTabIndex();

// The controls that take the keyboard focus (not the frame or the labels), in TabIndex order.
std::vector<ControlId> TabOrder();

// The access key of a caption (the letter after '&', upper case), or '\0' when it has none.
char AccessKey(std::string_view caption);

// Twips as pixels at the given dots per inch, rounded to the nearest pixel (halves up).
int TwipsToPixels(int twips, int dpi);

// The client area's size in pixels.
PixelRect ClientArea(int dpi);

// The control's rectangle relative to the window's client area, and relative to its container.
// Edges are rounded, not sizes, so that controls that meet in twips meet in pixels.
PixelRect ClientRect(ControlId id, int dpi);
PixelRect ContainerRect(ControlId id, int dpi);

// The font's height in pixels (the character height, without internal leading) at the dpi.
int FontPixelHeight(int dpi);

}  // namespace qelt::gui
