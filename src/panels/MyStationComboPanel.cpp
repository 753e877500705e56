#include "panels/MyStationComboPanel.h"

void MyStationComboPanel::OnCreate() {
    auto list = std::make_unique<MyListBoxV2>();
    list->Create(context, 0, 48, width, height - 48);
    listBox = AddChild(std::move(list));
}

void MyStationComboPanel::OnBoundsChanged(const RECT&) {
    if (listBox)
        listBox->SetBounds(RECT{bounds.left, bounds.top + 48, bounds.right, bounds.bottom});
}
