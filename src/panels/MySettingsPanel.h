#pragma once
// The settings page: six check boxes with their labels on a light panel. The boxes only report
// clicks; the main window flips the option, sets `ticked` and redraws the box.

#include "ui/MyControlBase.h"
#include "ui/MyPressable.h"

#include <array>
#include <memory>
#include <string>

struct MyAppContext;
class MySurface;

class MySettingsPanelButton : public MyPressable<MyControlBase> {
public:
    static constexpr std::int32_t kBoxSize = 20;    // pixels
    static constexpr std::int32_t kSkinColumn = 66; // the four box pictures, one under another

    MySettingsPanelButton(std::u16string text, MySurface* skin) : skin(skin), text(std::move(text)) {
        tabStop = true;
    }

    void Paint() override;
    bool Describe(platform::AccessibleNode& node) override {
        node.role = platform::AccessibleRole::CheckBox;
        node.name = text;
        node.clickable = true;
        node.states |= platform::kAccessibleCheckable | (ticked ? platform::kAccessibleChecked : 0u);
        return true;
    }

    MySurface* skin;
    bool ticked = false;
    std::u16string text;
    std::unique_ptr<Font> font;
};

class MySettingsPanel : public MyControlBase {
public:
    static constexpr COLORREF kBackground = 0xDDDDDD;
    static constexpr std::int32_t kBoxCount = 8;

    MySettingsPanel(MyAppContext* appContext, MySurface* skin) : appContext(appContext), skin(skin) {}

    void OnCreate() override;
    void Paint() override;
    void OnBoundsChanged(const RECT& oldRect) override;

    // In order: show chat beyond the play position, minimise to the notification area, hide
    // conversations, check the link handler, resume playing, check for updates; then hide quiet joins
    // and parts, show chat activity on the position bar.
    std::array<MySettingsPanelButton*, kBoxCount> buttons{};
    MyAppContext* appContext;
    MySurface* skin;
};

// The strip along the top of the settings and about pages, and their light background below it.
void PaintPageBackground(Dc& dc, const MySurface* skin, const RECT& bounds, const MyPalette& palette);
