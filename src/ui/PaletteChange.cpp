#include "ui/PaletteChange.h"

#include "ui/MyListBoxV2.h"

namespace {

void MarkListsDirty(MyControlBase& control) {
    if (auto* list = dynamic_cast<MyListBoxV2*>(&control))
        list->dirty = true;
    for (auto& child : control.children)
        MarkListsDirty(*child);
}

} // namespace

void ChangePalette(MyWindowContext& context, MyControlBase& root, const MyPalette& palette) {
    if (context.palette == palette)
        return;
    context.palette = palette;
    MarkListsDirty(root);
    root.Redraw();
}
