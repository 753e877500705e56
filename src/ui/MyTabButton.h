#pragma once
// A tab of the info panel: a 38-pixel-high skinned button in the states normal, pressed and selected,
// with a bold caption. `selected` belongs to whoever owns the tabs.

#include "ui/MyControlBase.h"
#include "ui/MyPressable.h"

#include <string>

class MySurface;

class MyTabButton : public MyPressable<MyControlBase> {
public:
    explicit MyTabButton(MySurface* skin) : skin(skin) { tabStop = true; }

    void Paint() override;
    // Assigns a different text, centres it and redraws.
    void SetText(const std::u16string& newText);

    MySurface* skin;
    bool selected = false;
    std::u16string text;
    std::unique_ptr<Font> font;
    bool centred = false;
};
