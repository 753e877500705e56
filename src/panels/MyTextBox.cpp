#include "panels/MyTextBox.h"

void MyTextBox::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    if (!font)
        font = CreateFontW(14, 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0,
                           0, 0, u"Arial");
    const SavedDcState saved(dc);
    const MyPalette palette = PaletteOf(*this);
    SetTextColor(dc, !palette.highContrast ? textColour : (isLink ? palette.link : palette.text));
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, font.get());
    RECT area{bounds.left + 5, bounds.top, bounds.right - 5, bounds.bottom};
    DrawTextW(dc, text, &area, DT_NOPREFIX);
}
