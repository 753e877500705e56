#pragma once
// Stand-in for the station chooser until the real one lands: an empty list under a plain header.

#include "ui/MyListBoxV2.h"

struct MyAppContext;
class MySurface;

class MyStationComboPanel : public MyControlBase {
public:
    MyStationComboPanel(MyAppContext* appContext, MySurface* skin) : appContext(appContext), skin(skin) {}

    void OnCreate() override;
    void OnBoundsChanged(const RECT& oldRect) override;

    MyAppContext* appContext;
    MySurface* skin;
    MyListBoxV2* listBox = nullptr;
};
