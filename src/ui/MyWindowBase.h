#pragma once
// The root control of a window's tree: it fills its rectangle with the background colour, or draws a
// border of `borderWidth` pixels around it, and always paints when redrawn.

#include "ui/MyControlBase.h"

class MyWindowBase : public MyControlBase {
public:
    void CreateFromRect(MyWindowContext* context, std::int32_t left, std::int32_t top, std::int32_t right,
                        std::int32_t bottom) override;
    void Create(MyWindowContext* context, std::int32_t x, std::int32_t y, std::int32_t width,
                std::int32_t height) override;
    void Redraw() override;
    void Paint() override;

    COLORREF backgroundColour = 0;
    COLORREF borderColour = 0;
    std::int32_t borderWidth = 0; // pixels; 0 draws no border
    MyWindowContext* windowContext = nullptr;
};
