#pragma once
// Static text in one colour on whatever lies beneath: lines break only at the text's own line breaks.
// A release inside reports a click.

#include "ui/MyControlBase.h"

#include <memory>
#include <string>

class MyTextBox : public MyControlBase {
public:
    MyTextBox(std::u16string text, COLORREF textColour) : text(std::move(text)), textColour(textColour) {}

    void Paint() override;
    bool Describe(platform::AccessibleNode& node) override {
        node.role = platform::AccessibleRole::Label;
        node.name = text;
        node.clickable = static_cast<bool>(LClickCallback) && callbackTarget;
        return true;
    }

    std::u16string text;
    std::unique_ptr<Font> font;
    COLORREF textColour;
    // Drawn in the palette's link colour in high contrast (else in its text colour).
    bool isLink = false;
};
