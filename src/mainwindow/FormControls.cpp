// The window's controls: their places and sizes from twips to pixels.
#include "mainwindow/FormControls.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "text/Ascii.h"

namespace qelt::gui {

namespace {

bool TakesFocus(ControlKind kind) {
    return kind != ControlKind::Frame && kind != ControlKind::Label;
}

TwipsRect ClientTwips(const ControlSpec& control) {
    TwipsRect twips = control.twips;
    if (control.container) {
        const TwipsRect outer = ClientTwips(Control(*control.container));
        twips.left += outer.left;
        twips.top += outer.top;
    }
    return twips;
}

PixelRect ToPixels(const TwipsRect& twips, int dpi) {
    const int left = TwipsToPixels(twips.left, dpi);
    const int top = TwipsToPixels(twips.top, dpi);
    return {left, top, TwipsToPixels(twips.left + twips.width, dpi) - left,
            TwipsToPixels(twips.top + twips.height, dpi) - top};
}

}  // namespace

const ControlSpec& Control(ControlId id) {
    for (const ControlSpec& control : kControls) {
        if (control.id == id) {
            return control;
        }
    }
    throw std::out_of_range("no such control");
}

std::vector<ControlId> ControlsByTabIndex() {
    std::vector<const ControlSpec*> sorted;
    for (const ControlSpec& control : kControls) {
        sorted.push_back(&control);
    }
    std::ranges::sort(sorted, {}, &ControlSpec::tabIndex);
    std::vector<ControlId> ids;
    for (const ControlSpec* control : sorted) {
        ids.push_back(control->id);
    }
    return ids;
}

std::vector<ControlId> TabOrder() {
    std::vector<ControlId> ids = ControlsByTabIndex();
    std::erase_if(ids, [](ControlId id) { return !TakesFocus(Control(id).kind); });
    return ids;
}

char AccessKey(std::string_view caption) {
    const auto marker = caption.find('&');
    if (marker == std::string_view::npos || marker + 1 >= caption.size()) {
        return '\0';
    }
    return text::AsciiUpper(caption[marker + 1]);
}

int TwipsToPixels(int twips, int dpi) {
    return static_cast<int>((static_cast<long long>(twips) * dpi + kTwipsPerInch / 2) /
                            kTwipsPerInch);
}

PixelRect ClientArea(int dpi) {
    return {0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
}

PixelRect ClientRect(ControlId id, int dpi) {
    return ToPixels(ClientTwips(Control(id)), dpi);
}

PixelRect ContainerRect(ControlId id, int dpi) {
    PixelRect rect = ClientRect(id, dpi);
    if (const auto container = Control(id).container) {
        const PixelRect outer = ClientRect(*container, dpi);
        rect.left -= outer.left;
        rect.top -= outer.top;
    }
    return rect;
}

int FontPixelHeight(int dpi) {
    return static_cast<int>(std::lround(kFontPoints * dpi / 72.0));
}

}  // namespace qelt::gui
