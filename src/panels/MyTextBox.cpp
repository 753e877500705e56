#include "panels/MyTextBox.h"

void MyTextBox::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    if (!font)
        font = CreateFontW(14, 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0,
                           0, 0, u"Arial");
    const COLORREF oldColour = SetTextColor(dc, textColour);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    Font* oldFont = SelectObject(dc, font.get());
    RECT area{bounds.left + 5, bounds.top, bounds.right - 5, bounds.bottom};
    DrawTextW(dc, text, &area, DT_NOPREFIX);
    SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColour);
}
