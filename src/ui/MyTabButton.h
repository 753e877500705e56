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
    bool Describe(platform::AccessibleNode& node) override {
        node.role = platform::AccessibleRole::PageTab;
        node.name = accessibleName.empty() ? text : accessibleName;
        node.clickable = true;
        node.states |= platform::kAccessibleSelectable | (selected ? platform::kAccessibleSelected : 0u);
        return true;
    }
    // Assigns a different text, centres it and redraws.
    void SetText(const std::u16string& newText);

    MySurface* skin;
    bool selected = false;
    std::u16string text;
    // What a screen reader calls the tab when its text is a sign ("?"); empty: the text.
    std::u16string accessibleName;
    std::unique_ptr<Font> font;
    bool centred = false;
};
