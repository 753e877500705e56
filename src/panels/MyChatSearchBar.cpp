#include "panels/MyChatSearchBar.h"

#include <algorithm>

MyTextInputStyle MyChatSearchBar::InputStyle() {
    MyTextInputStyle style;
    style.background = 0x000000;
    style.border = 0x505050;
    style.focusedBorder = 0x909090;
    style.text = 0xFFFFFF;
    style.placeholder = 0x808080;
    style.selectionBackground = RGB(0x33, 0x66, 0xCC);
    style.selectionText = 0xFFFFFF;
    style.fontHeight = 16; // the chat's own lines
    return style;
}

RECT MyChatSearchBar::InputRect() const {
    const std::int32_t right = std::max(x + kMargin + 40, x + width - kStatusWidth);
    const std::int32_t top = y + (kHeight - 1 - kInputHeight) / 2;
    return RECT{x + kMargin, top, right, top + kInputHeight};
}

void MyChatSearchBar::OnCreate() {
    auto made = std::make_unique<MyTextInput>();
    made->style = InputStyle();
    made->placeholder = u"Search the chat";
    const RECT r = InputRect();
    made->Create(context, r.left - x, r.top - y, r.width(), r.height());
    input = AddChild(std::move(made));
}

void MyChatSearchBar::OnBoundsChanged(const RECT&) {
    if (input)
        input->SetBounds(InputRect());
}

void MyChatSearchBar::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    FillRect(dc, RECT{x, y, x + width, y + height - 1}, CreateSolidBrush(kBackColour));
    FillRect(dc, RECT{x, y + height - 1, x + width, y + height}, CreateSolidBrush(kRuleColour));
    if (status.empty())
        return;
    if (!font)
        font = CreateFontW(kFontHeight, 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET,
                           OUT_DEVICE_PRECIS, 0, 0, 0, u"Arial");
    const SavedDcState saved(dc);
    SelectObject(dc, font.get());
    SetTextColor(dc, kStatusColour);
    SetBkMode(dc, TRANSPARENT);
    RECT area{InputRect().right + 8, y, x + width - kMargin, y + height - 1};
    DrawTextW(dc, status, &area, DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
}

void MyChatSearchBar::SetStatus(const std::u16string& text) {
    if (text == status)
        return;
    status = text;
    Redraw();
}
