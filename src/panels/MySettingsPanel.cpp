#include "panels/MySettingsPanel.h"

#include "ui/MySurface.h"

namespace {

constexpr std::int32_t kStripColumn = 65;
constexpr std::int32_t kStripHeight = 8; // pixels

const char16_t* const kBoxTexts[MySettingsPanel::kBoxCount] = {
    u"Show chat beyond current play position",
    u"Minimize Vantri to notification area on close",
    u"Hide conversations in tracklist",
    u"Check if Vantri is default application for open vantri: links at start",
    u"Resume playing from last position on application start",
    u"Check for updates on application start",
    u"Hide joins and parts of people who do not speak within 10 minutes",
    u"Show chat activity on the position bar",
};

} // namespace

void PaintPageBackground(Dc& dc, const MySurface* skin, const RECT& bounds, const MyPalette& palette) {
    if (palette.highContrast) {
        FillRect(dc, bounds, CreateSolidBrush(palette.background));
        return;
    }
    if (skin)
        StretchBlt(dc, bounds.left, bounds.top, bounds.right - bounds.left, kStripHeight, skin->dc,
                   kStripColumn, 0, 1, kStripHeight, SRCCOPY);
    FillRect(dc, RECT{bounds.left, bounds.top + kStripHeight, bounds.right, bounds.bottom},
             CreateSolidBrush(MySettingsPanel::kBackground));
}

void MySettingsPanelButton::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    const std::int32_t s = (ticked ? 40 : 0) + (pressed ? 20 : 0);
    if (skin)
        BitBlt(dc, x, y, kBoxSize, kBoxSize, skin->dc, kSkinColumn, s, SRCCOPY);
    if (pressed)
        return; // the label already in the back buffer stays
    if (!font)
        font = CreateFontW(14, 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0,
                           0, 0, u"Arial");
    const MyPalette palette = PaletteOf(*this);
    const SavedDcState saved(dc);
    SetTextColor(dc, palette.highContrast ? palette.text : 0x000000);
    SetBkColor(dc, palette.highContrast ? palette.background : MySettingsPanel::kBackground);
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, font.get());
    RECT area{bounds.left + 25, bounds.top, bounds.right - 5, bounds.bottom};
    DrawTextW(dc, text, &area, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
}

void MySettingsPanel::OnCreate() {
    for (std::int32_t k = 0; k < kBoxCount; ++k) {
        auto box = std::make_unique<MySettingsPanelButton>(kBoxTexts[k], skin);
        box->Create(context, 8, 8 + 20 * k, width - 8, 20);
        buttons[static_cast<std::size_t>(k)] = AddChild(std::move(box));
    }
}

void MySettingsPanel::Paint() {
    if (backBuffer)
        PaintPageBackground(*backBuffer, skin, bounds, PaletteOf(*this));
}

void MySettingsPanel::OnBoundsChanged(const RECT& oldRect) {
    // Only a move of the left edge moves the boxes.
    if (oldRect.left == x)
        return;
    for (std::int32_t k = 0; k < kBoxCount; ++k) {
        if (MySettingsPanelButton* box = buttons[static_cast<std::size_t>(k)])
            box->SetBounds(RECT{x + 8, y + 8 + 20 * k, x + width, y + 28 + 20 * k});
    }
}
