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
    lines.Clear();
    for (auto& view : views_)
        view->index = -1;
    visibleEnd = 0;
}

void MyChatListBox::AddLine(std::int32_t time, std::u16string_view text, COLORREF colour) {
    lines.Add(time, text, colour);
    dirty = true;
    relayoutNeeded = true;
}

void MyChatListBox::AddRowLine(std::size_t row, std::int32_t time, COLORREF colour) {
    lines.AddRowLine(row, time, colour);
    dirty = true;
    relayoutNeeded = true;
}

void MyChatListBox::AddRow(std::unique_ptr<MyStreamChatListBoxRow> row) {
    if (!row)
        return;
    if (!font)
        font = row->font;
    AddLine(row->time, row->text, row->textColour);
    if (row->hidden)
        lines.SetHidden(lines.size() - 1, true);
}

bool MyChatListBox::SetRowHidden(std::int32_t index, bool hidden) {
    if (!HasRow(index) || !lines.SetHidden(static_cast<std::size_t>(index), hidden))
        return false;
    dirty = true;
    relayoutNeeded = true;
    return true;
}

std::size_t MyChatListBox::ViewPoolSize() const {
    // Every shown line is at least one line of text high; two more for the partly shown lines at the top
    // and bottom, and a few for rows held by a press or asked for by RowAt.
    constexpr std::size_t kSpare = 6;
    const auto lineCount =
        static_cast<std::size_t>(std::max(height, 0)) / MyStreamChatListBoxRow::kLineHeight;
    return lineCount + 2 + kSpare;
}

MyListBoxV2ItemBase* MyChatListBox::RowAt(std::int32_t index) const {
    if (!HasRow(index))
        return nullptr;
    const auto i = static_cast<std::size_t>(index);
    std::size_t slot = views_.size();
    for (std::size_t v = 0; v < views_.size(); ++v)
        if (views_[v]->index == index) {
            slot = v;
            break;
        }
    if (slot == views_.size()) {
        if (views_.size() >= ViewPoolSize()) {
            // The control answered longest ago, unless a press holds it. Those answered during a paint
            // are the newest, so a paint never takes back a row it drew.
            for (std::size_t v = 0; v < views_.size(); ++v) {
                const MyControlBase* held = views_[v].get();
                if (held == leftPressedRow || held == rightPressedRow)
                    continue;
                if (slot == views_.size() || viewUses_[v] < viewUses_[slot])
                    slot = v;
            }
        }
        if (slot == views_.size()) {
            auto view = std::make_unique<MyStreamChatListBoxRow>(0, std::u16string(), font, 0);
            view->Create(context, 0, 0, 0, 0);
            // The list's own row, made while the list answers a question about its rows.
            view->parent = const_cast<MyChatListBox*>(this);
            views_.push_back(std::move(view));
            viewUses_.push_back(0);
        }
        MyStreamChatListBoxRow& view = *views_[slot];
        view.index = index;
        view.font = font;
        view.ShowLine(lines[i].time, lines.Text(i), lines[i].colour, lines.Widths(i), lines[i].tokenCount);
    }
    MyStreamChatListBoxRow& view = *views_[slot];
    view.callbackTarget = timeTarget;
    view.TimeClickCallback = TimeClickCallback;
    view.SetLastSecond(lastSecond);
    // The line's place and state as of now.
    view.TakeTokenWidths(lines.Widths(i), lines[i].tokenCount);
    view.hidden = lines[i].hidden;
    view.top = RowTop(index);
    view.height = static_cast<std::uint16_t>(RowHeight(index));
    viewUses_[slot] = ++useClock_;
    return &view;
}

std::uint16_t MyChatListBox::LayOutRow(std::int32_t index, std::int32_t, std::int32_t rowWidth) {
    return lines.Height(static_cast<std::size_t>(index), rowWidth, font);
}

void MyChatListBox::Relayout() {
    // The base keeps the top row in place, but clamps to the old visible end; place it again once the
    // new end is known.
    const std::int32_t anchor = FindRowIndexAt(scrollOffset);
    const std::int32_t inside = anchor >= 0 ? scrollOffset - RowTop(anchor) : 0;
    MyListBoxV2::Relayout();
    // Lines measured for the first time grew the widths buffer.
    lines.Compact();
    if (showBeyond) {
        visibleEnd = contentHeight;
    } else {
        if (HasRow(currentIndex))
            visibleEnd = RowTop(currentIndex) + RowHeight(currentIndex);
        // Without a current row nothing shows, and the scrollbar offers nothing either.
        SetContentSize(visibleEnd + 1);
    }
    if (anchor >= 0)
        SetScrollOffset(RowTop(anchor) + inside);
    TakeCurrentRow();
}

void MyChatListBox::TakeCurrentRow() {
    if (!HasRow(currentIndex))
        return;
    // The heights changed with the width: the same line keeps its place at the bottom of the view.
    currentTop = RowTop(currentIndex);
    currentHeight = RowHeight(currentIndex);
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
    auto& line = static_cast<MyStreamChatListBoxRow&>(row);
    line.reached = currentIndex >= row.index;
    line.highlights.clear();
    line.backColour = 0;
    if (!searchPattern || !searchMatches ||
        !std::binary_search(searchMatches->begin(), searchMatches->end(), row.index))
        return;
    const std::size_t from = ChatSearchIndex::SearchedFrom(line.text);
    for (const auto& [start, end] : searchPattern->MatchesIn(std::u16string_view(line.text).substr(from)))
        line.highlights.emplace_back(start + from, end + from);
    if (row.index == shownMatchRow)
        line.backColour = kShownMatchBack;
}

bool MyChatListBox::DescribeRow(std::int32_t index, platform::AccessibleNode& node) {
    if (!RowShows(index))
        return false;
    node.name.assign(lines.Text(static_cast<std::size_t>(index)));
    node.states |= platform::kAccessibleSelectable;
    return true;
}

bool MyChatListBox::RowShows(std::int32_t index) const {
    return HasRow(index) && (showBeyond || index <= currentIndex) &&
           !lines[static_cast<std::size_t>(index)].hidden;
}

void MyChatListBox::ScrollRowIntoView(std::int32_t index) {
    if (!RowShows(index))
        return;
    if (relayoutNeeded && width > scrollbarWidth && IsShown())
        Relayout();
    const std::int32_t top = RowTop(index);
    const std::int32_t bottom = top + RowHeight(index);
    if (top >= scrollOffset && bottom <= scrollOffset + height) {
        dirty = true;
        Redraw();
        return;
    }
    ScrollTo(std::max(0, top - height / 3));
    dirty = true;
    Redraw();
}

void MyChatListBox::FollowCurrentRow() {
    follow = true;
    KeepCurrentRowInView();
    dirty = true;
    Redraw();
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
    const bool row = HasRow(index);
    currentTop = row ? RowTop(index) : 0;
    currentHeight = row ? RowHeight(index) : 0;
    dirty = true;
    if (!showBeyond) {
        visibleEnd = currentTop + currentHeight;
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
    } else if (HasRow(currentIndex)) {
        const std::int32_t bottom = RowTop(currentIndex) + RowHeight(currentIndex);
        if (bottom < visibleEnd)
            visibleEnd = bottom;
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
    list->accessibleName = u"Chat";
    list->Create(context, 0, 0, width, height);
    listBox = AddChild(std::move(list));
    CreateOverlays();
    CreateSearchBar();
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
    listBox->font = font.get();
    if (list) {
        listBox->lines.Reserve(list->size());
        listBox->lines.SetRows(list, kMaxLineLength);
        for (std::size_t i = 0; i < list->size(); ++i) {
            const StreamChatRow& chatRow = (*list)[i];
            listBox->AddRowLine(i, chatRow.time, ComposeChatLine(chatRow).colour);
        }
        listBox->lines.Compact();
    }
    listBox->dirty = true;
    listBox->relayoutNeeded = true;
    listBox->visibleEnd = listBox->contentHeight;
    // The search index is made again when next needed; an open search looks at the new rows.
    searchIndex.Clear();
    OnChatRowsReplaced();
    if (searchOpen())
        RunSearch();
    Redraw();
}
