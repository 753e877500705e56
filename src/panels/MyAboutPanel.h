#pragma once
// The about page: the program's name in large letters, the credits, and three links that open web
// pages of ours in the desktop's browser.

#include "panels/MyTextBox.h"

#include <array>
#include <memory>
#include <string>

struct MyAppContext;
class MySurface;

class MyAboutPanel : public MyControlBase {
public:
    static constexpr COLORREF kLinkColour = 0xFF0000; // blue
    static constexpr std::int32_t kLinkCount = 3;

    MyAboutPanel(MyAppContext* appContext, MySurface* skin) : appContext(appContext), skin(skin) {}

    void OnCreate() override;
    void Paint() override;
    void OnBoundsChanged(const RECT& oldRect) override;
    // LClickCallback of the link boxes; `id` is the link's number, 0 to 2.
    void OpenLink(std::int32_t id);

    // The web address behind link `id` (0 to 2): pages under the web link base.
    static std::u16string LinkAddress(std::int32_t id);
    static const char16_t* const kCreditsText;

    MyAppContext* appContext;
    MySurface* skin;
    MyTextBox* creditsBox = nullptr;
    std::array<MyTextBox*, kLinkCount> linkBoxes{};
    std::unique_ptr<Font> titleFont;
};
