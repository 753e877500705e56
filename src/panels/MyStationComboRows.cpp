#include "panels/MyStationComboRows.h"

#include "app/Links.h"
#include "ui/MySurface.h"

namespace {
constexpr std::uint32_t kTextFormat = DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;
constexpr COLORREF kRowBackground = 0xE5E5E5;
Font* Make(std::unique_ptr<Font>& font, std::int32_t height, std::int32_t weight) {
    if (!font)
        font = CreateFontW(height, 0, 0, 0, weight, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS,
                           0, 0, 0, u"Arial");
    return font.get();
}
} // namespace

Font* MyStationComboFonts::Station() {
    return Make(station, 17, FW_BOLD);
}
Font* MyStationComboFonts::Bold() {
    return Make(bold, 14, FW_BOLD);
}
Font* MyStationComboFonts::Normal() {
    return Make(normal, 14, FW_NORMAL);
}

// ---- Station row --------------------------------------------------------------------------------------

std::uint16_t MyStationComboStationListBoxRow::MeasureHeight(std::int32_t) {
    height = kHeight;
    return height;
}

void MyStationComboStationListBoxRow::Paint() {
    if (!surface)
        return;
    Dc& dc = surface->dc;
    const std::int32_t h = bounds.bottom - bounds.top;
    const std::int32_t w = bounds.right - bounds.left;
    const MyPalette palette = PaletteOf(*this);
    if (palette.highContrast) {
        // A heading on the plain background, ruled off below.
        FillRect(dc, bounds, CreateSolidBrush(palette.background));
        FillRect(dc, RECT{bounds.left, bounds.bottom - 1, bounds.right, bounds.bottom},
                 CreateSolidBrush(palette.border));
    } else if (skin) {
        BitBlt(dc, x, y, 13, h, skin->dc, 38, 64, SRCCOPY);
        StretchBlt(dc, x + 13, y, w - 26, h, skin->dc, 51, 64, 1, h, SRCCOPY);
        BitBlt(dc, w - 13, y, 13, h, skin->dc, 52, 64, SRCCOPY);
    }
    if (!font && fonts)
        font = fonts->Station();
    const SavedDcState saved(dc);
    SetTextColor(dc, palette.highContrast ? palette.text : 0x000000);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, font);
    RECT area{bounds.left + 10, bounds.top, bounds.right, bounds.bottom};
    DrawTextW(dc, stationName, &area, kTextFormat);
}

// ---- Stream row ---------------------------------------------------------------------------------------

std::uint16_t MyStationComboStreamListBoxRow::MeasureHeight(std::int32_t) {
    height = kHeight;
    return height;
}

void MyStationComboStreamListBoxRow::Paint() {
    if (!surface)
        return;
    Dc& dc = surface->dc;
    const std::int32_t h = bounds.bottom - bounds.top;
    const std::int32_t w = bounds.right - bounds.left;
    const MyPalette palette = PaletteOf(*this);
    if (palette.highContrast)
        FillRect(dc, bounds, CreateSolidBrush(pressed ? palette.selectionBackground : palette.background));
    else
        FillRect(dc, bounds, CreateSolidBrush(kRowBackground));
    if (skin && !palette.highContrast) {
        const std::int32_t s = pressed ? 32 : 0;
        BitBlt(dc, x + 11, y, 6, h, skin->dc, 52, s, SRCCOPY);
        StretchBlt(dc, x + 17, y, w - 26, h, skin->dc, 58, s, 1, h, SRCCOPY);
        BitBlt(dc, w - 9, y, 6, h, skin->dc, 59, s, SRCCOPY);
    }
    if (!boldFont && fonts)
        boldFont = fonts->Bold();
    if (!normalFont && fonts)
        normalFont = fonts->Normal();
    const SavedDcState saved(dc);
    SetTextColor(dc, !palette.highContrast ? 0x000000 : (pressed ? palette.selectionText : palette.text));
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, boldFont);
    RECT line1{x + 15, y, x + w, y + h / 2};
    DrawTextW(dc, DateText() + u" - " + headline, &line1, kTextFormat);
    SelectObject(dc, normalFont);
    RECT line2{x + 25, y + h / 2, x + w, y + h};
    DrawTextW(dc, detailLeft + u" - " + detailRight, &line2, kTextFormat);
}

const std::u16string& MyStationComboStreamListBoxRow::DateText() {
    if (!dateTextMade_) {
        dateText = FormatDateTime(static_cast<std::uint32_t>(startTime));
        dateTextMade_ = true;
    }
    return dateText;
}
