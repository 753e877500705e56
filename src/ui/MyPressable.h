#pragma once
// How a button shows a press, written once for every pressable control: pressed from the mouse button
// going down on it until it comes up, then, only when the press began there, the base's handling of the
// release (the click). Rows that also take the right button (for their menu) show its press the same way.

#include "ui/MyControlBase.h"

enum class PressButtons { Left, LeftAndRight };

template <typename Base, PressButtons kButtons = PressButtons::Left> class MyPressable : public Base {
public:
    using Base::Base;

    void OnLButtonDown(POINT) override { Press(); }
    void OnLButtonUp(POINT point) override {
        if (Release())
            Base::OnLButtonUp(point);
    }
    void OnRButtonDown(POINT point) override {
        if constexpr (kButtons == PressButtons::LeftAndRight)
            Press();
        else
            Base::OnRButtonDown(point);
    }
    void OnRButtonUp(POINT point) override {
        if constexpr (kButtons == PressButtons::LeftAndRight) {
            if (Release())
                Base::OnRButtonUp(point);
        } else {
            Base::OnRButtonUp(point);
        }
    }

    bool pressed = false;

private:
    void Press() {
        pressed = true;
        this->Redraw();
    }
    // False when no press began here.
    bool Release() {
        if (!pressed)
            return false;
        pressed = false;
        this->Redraw();
        return true;
    }
};
