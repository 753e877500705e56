#include "panels/MyChatPanel.h"

#include <algorithm>

void MyChatListBox::Redraw() {
    if (redrawGuard || !parent) {
        MyListBoxV2::Redraw();
        return;
    }
    redrawGuard = true;
    parent->Redraw();
    redrawGuard = false;
}

void MyChatListBox::Clear() {
    MyListBoxV2::Clear();
    visibleEnd = 0;
}

void MyChatListBox::Relayout() {
    // The base keeps the top row in place, but clamps to the old visible end; place it again once the
    // new end is known.
    MyListBoxV2ItemBase* anchor = FindRowAt(scrollOffset);
    const std::int32_t inside = anchor ? scrollOffset - anchor->top : 0;
    MyListBoxV2::Relayout();
    if (showBeyond) {
        visibleEnd = contentHeight;
    } else {
        if (MyListBoxV2ItemBase* row = RowAt(currentIndex))
            visibleEnd = row->top + row->height;
        // Without a current row nothing shows, and the scrollbar offers nothing either.
        SetContentSize(visibleEnd + 1);
    }
    if (anchor)
        SetScrollOffset(anchor->top + inside);
    TakeCurrentRow();
}

void MyChatListBox::TakeCurrentRow() {
    MyListBoxV2ItemBase* row = RowAt(currentIndex);
    if (!row)
        return;
    // The heights changed with the width: the same line keeps its place at the bottom of the view.
    currentTop = row->top;
    currentHeight = row->height;
    KeepCurrentRowInView();
}

void MyChatListBox::KeepCurrentRowInView() {
    if (!showBeyond && visibleEnd < height + scrollOffset)
        SetScrollOffset(visibleEnd - height);
    if (follow) {
        if (scrollOffset + height - 1 < currentTop + currentHeight)
            SetScrollOffset(currentTop + currentHeight - height + 1);
        if (currentTop < scrollOffset)
            SetScrollOffset(currentTop);
    }
}

void MyChatListBox::ScrollTo(std::int32_t offset) {
    if (offset == scrollOffset)
        return;
    follow = currentTop >= offset && currentTop <= offset + height - 1;
    SetScrollOffset(offset);
    dirty = true;
    Redraw();
}

void MyChatListBox::SetScrollOffset(std::int32_t offset) {
    if (offset == scrollOffset)
        return;
    offset = std::max(0, std::min(offset, visibleEnd + 1 - height));
    scrollOffset = offset;
    if (scrollbar)
        scrollbar->position = offset;
    dirty = true;
}

void MyChatListBox::OnRButtonUp(POINT point) {
    MyListBoxV2::OnRButtonUp(point);
    MyControlBase::OnRButtonUp(point);
}

void MyChatListBox::BeforeRowPaint(MyListBoxV2ItemBase& row) {
    static_cast<MyStreamChatListBoxRow&>(row).reached = currentIndex >= row.index;
}

void MyChatListBox::SetCurrentRow(std::int32_t index) {
    if (index == currentIndex)
        return;
    currentIndex = index;
    // Rows added since the last paint have no place yet; lay them out now (when the list shows and has
    // a width to wrap to) so that the row's place below is its real one. A hidden list takes the place
    // at its next paint.
    if (relayoutNeeded && width > scrollbarWidth && IsShown())
        Relayout();
    MyListBoxV2ItemBase* row = RowAt(index);
    currentTop = row ? row->top : 0;
    currentHeight = row ? row->height : 0;
    dirty = true;
    if (!showBeyond) {
        visibleEnd = row ? row->top + row->height : 0;
        SetContentSize(visibleEnd + 1);
    }
    KeepCurrentRowInView();
    Redraw();
}

void MyChatListBox::SetShowBeyond(bool on) {
    if (on == showBeyond)
        return;
    showBeyond = on;
    dirty = true;
    if (on) {
        visibleEnd = contentHeight;
    } else if (MyListBoxV2ItemBase* row = RowAt(currentIndex)) {
        if (row->top + row->height < visibleEnd)
            visibleEnd = row->top + row->height;
    } else {
        visibleEnd = 0; // no row reached: nothing shows
    }
    SetContentSize(visibleEnd);
    if (visibleEnd < height + scrollOffset)
        SetScrollOffset(visibleEnd - height);
    Redraw();
}

void MyChatPanel::Redraw() {
    MyControlBase::Redraw();
    if (!parent || IsRectEmpty(bounds) || !IsShown())
        return;
    bool above = false;
    for (auto& sibling : parent->children) {
        if (sibling.get() == this) {
            above = true;
        } else if (above && sibling->visible &&
                   !IsRectEmpty(platform::IntersectRect(sibling->bounds, bounds))) {
            sibling->Redraw();
        }
    }
}

void MyChatPanel::OnCreate() {
    auto list = std::make_unique<MyChatListBox>();
    list->Create(context, 0, 0, width, height);
    listBox = AddChild(std::move(list));
    CreateOverlays();
}

void MyChatPanel::OnBoundsChanged(const RECT& oldRect) {
    // The list moves with the panel as well as growing with it.
    if (listBox && !(oldRect == bounds))
        LayOutChildren();
}

void MyChatPanel::SetChatRows(const StreamChatRowList* list) {
    chatRows = list;
    if (!font)
        font = CreateFontW(kFontHeight, 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET,
                           OUT_DEVICE_PRECIS, 0, 0, 0, u"Arial");
    listBox->Clear();
    if (list) {
        listBox->rows.reserve(list->size());
        for (const StreamChatRow& chatRow : *list) {
            ChatLine line = ComposeChatLine(chatRow);
            auto row = std::make_unique<MyStreamChatListBoxRow>(
                chatRow.time, CleanChatText(std::move(line.text), kMaxLineLength), font.get(), line.colour);
            row->Create(context, 0, 0, 0, 0);
            listBox->AddRow(std::move(row));
        }
        listBox->rows.shrink_to_fit();
    }
    listBox->dirty = true;
    listBox->relayoutNeeded = true;
    listBox->visibleEnd = listBox->contentHeight;
    OnChatRowsReplaced();
    Redraw();
}
