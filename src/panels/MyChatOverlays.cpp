#include "panels/MyChatOverlays.h"

#include "platform/Utf.h"

void MyChatStateLine::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    if (!font)
        font = CreateFontW(kFontHeight, 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET,
                           OUT_DEVICE_PRECIS, 0, 0, 0, u"Arial");
    FillRect(dc, bounds, CreateSolidBrush(0x000000));
    FillRect(dc, RECT{bounds.left, bounds.bottom - 1, bounds.right, bounds.bottom},
             CreateSolidBrush(kRuleColour));
    const SavedDcState saved(dc);
    SetTextColor(dc, kTextColour);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, font.get());
    RECT area{bounds.left + 3, bounds.top, bounds.right - 3, bounds.bottom - 1};
    DrawTextW(dc, text, &area, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

std::u16string MyChatOffsetBadge::TextFor(std::int32_t seconds) {
    return u"chat " + Utf8ToUtf16((seconds > 0 ? "+" : "") + std::to_string(seconds)) + u" s";
}

void MyChatOffsetBadge::MakeFont() {
    if (!font)
        font = CreateFontW(kFontHeight, 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET,
                           OUT_DEVICE_PRECIS, 0, 0, 0, u"Arial");
}

std::int32_t MyChatOffsetBadge::MeasureWidth() {
    MakeFont();
    if (!backBuffer)
        return 2 * kPadding;
    const SavedDcState saved(*backBuffer);
    SelectObject(*backBuffer, font.get());
    RECT area{0, 0, 0, 0};
    DrawTextW(*backBuffer, text, &area, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return area.right - area.left + 2 * kPadding;
}

void MyChatOffsetBadge::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    MakeFont();
    FillRect(dc, bounds, CreateSolidBrush(kBackColour));
    const SavedDcState saved(dc);
    SetTextColor(dc, kTextColour);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, font.get());
    RECT area = bounds;
    DrawTextW(dc, text, &area, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
}
