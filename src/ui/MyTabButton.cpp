#include "ui/MyTabButton.h"

#include "ui/MySurface.h"

namespace {
constexpr std::int32_t kTabHeight = 38; // pixels
}

void MyTabButton::SetText(const std::u16string& newText) {
    if (newText == text)
        return;
    text = newText;
    centred = true;
    Redraw();
}

void MyTabButton::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    const MyPalette palette = PaletteOf(*this);
    const bool marked = pressed || selected;
    if (palette.highContrast) {
        // A framed plain tab; the page shown is the selection's colour.
        FillRect(dc, bounds, CreateSolidBrush(palette.border));
        FillRect(dc, RECT{bounds.left + 1, bounds.top + 1, bounds.right - 1, bounds.bottom - 1},
                 CreateSolidBrush(marked ? palette.selectionBackground : palette.background));
    } else if (skin) {
        const std::int32_t s = pressed ? 18 : (selected ? 33 : 3);
        BitBlt(dc, x, y, 8, kTabHeight, skin->dc, s, 0, SRCCOPY);
        StretchBlt(dc, x + 8, y, width - 14, kTabHeight, skin->dc, s + 8, 0, 1, kTabHeight, SRCCOPY);
        BitBlt(dc, x + width - 6, y, 6, kTabHeight, skin->dc, s + 9, 0, SRCCOPY);
    }
    if (!font)
        font = CreateFontW(14, 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0,
                           0, 0, u"Arial");
    const SavedDcState saved(dc);
    SetTextColor(dc, !palette.highContrast ? 0x000000 : (marked ? palette.selectionText : palette.text));
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, font.get());
    RECT area{bounds.left + 5, bounds.top, bounds.right - 5, bounds.bottom};
    DrawTextW(dc, text, &area,
              DT_WORD_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | (centred ? DT_CENTER : 0u));
}
