#include "ui/MyWindowBase.h"

void MyWindowBase::CreateFromRect(MyWindowContext* newContext, std::int32_t left, std::int32_t top,
                                  std::int32_t right, std::int32_t bottom) {
    windowContext = newContext;
    MyControlBase::CreateFromRect(newContext, left, top, right, bottom);
}

void MyWindowBase::Create(MyWindowContext* newContext, std::int32_t newX, std::int32_t newY,
                          std::int32_t newWidth, std::int32_t newHeight) {
    windowContext = newContext;
    MyControlBase::Create(newContext, newX, newY, newWidth, newHeight);
}

void MyWindowBase::Redraw() {
    PaintAndInvalidate();
}

void MyWindowBase::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    if (borderWidth == 0) {
        FillRect(dc, bounds, CreateSolidBrush(backgroundColour));
        return;
    }
    const SavedDcState saved(dc);
    SelectObject(dc, CreateSolidBrush(backgroundColour));
    SelectObject(dc, CreatePen(PS_SOLID, borderWidth, borderColour));
    const std::int32_t h = borderWidth / 2;
    Rectangle(dc, bounds.left + h, bounds.top + h, bounds.right - h, bounds.bottom - h);
}
