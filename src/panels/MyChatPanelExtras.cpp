// The chat panel's additions for real shows: the pinned channel state line, the sync offset badge, the
// filter of quiet joins and parts, and the chat's right-click menu.

#include "panels/ChatJoinFilter.h"
#include "panels/MyChatOverlays.h"
#include "panels/MyChatPanel.h"
#include "panels/MyChatSearchBar.h"
#include "platform/Window.h"
#include "ui/MyPopupMenu.h"

#include <algorithm>

void MyChatPanel::CreateOverlays() {
    auto line = std::make_unique<MyChatStateLine>();
    line->visible = false;
    line->Create(context, 0, 0, width, MyChatStateLine::kHeight);
    stateLine = AddChild(std::move(line));
    auto badge = std::make_unique<MyChatOffsetBadge>();
    badge->visible = false;
    badge->Create(context, 0, 0, 0, 0);
    offsetBadge = AddChild(std::move(badge));
    for (MyControlBase* control :
         {static_cast<MyControlBase*>(listBox), static_cast<MyControlBase*>(stateLine),
          static_cast<MyControlBase*>(offsetBadge)}) {
        control->callbackTarget = this;
        control->RClickCallback = &MyChatPanel::OpenChatMenu;
    }
    LayOutChildren();
}

std::int32_t MyChatPanel::TopOfList() const {
    return (searchOpen() ? MyChatSearchBar::kHeight : 0) +
           (stateLine && stateLine->visible ? MyChatStateLine::kHeight : 0);
}

void MyChatPanel::LayOutChildren() {
    // From the top: the search bar while open, the state line while it has something to say, the list.
    const std::int32_t barHeight = searchOpen() ? MyChatSearchBar::kHeight : 0;
    if (searchBar)
        searchBar->SetBounds(RECT{x, y, x + width, y + std::min(height, MyChatSearchBar::kHeight)});
    if (stateLine)
        stateLine->SetBounds(
            RECT{x, y + barHeight, x + width, y + std::min(height, barHeight + MyChatStateLine::kHeight)});
    if (listBox) {
        listBox->SetBounds(RECT{x, y + std::min(height, TopOfList()), x + width, y + height});
        // The list lost or gained height at its top: the newest line it follows stays in view.
        MyChatListBox& list = *listBox;
        if (list.follow && list.currentHeight > 0 &&
            list.scrollOffset + list.height - 1 < list.currentTop + list.currentHeight) {
            list.SetScrollOffset(list.currentTop + list.currentHeight - list.height + 1);
            list.dirty = true;
        }
    }
    PlaceBadge();
}

void MyChatPanel::PlaceBadge() {
    if (!offsetBadge)
        return;
    const std::int32_t top = TopOfList() + y + MyChatOffsetBadge::kMargin;
    const std::int32_t scrollbar = listBox ? listBox->scrollbarWidth : MyListBoxV2::kScrollbarWidth;
    const std::int32_t right = x + width - scrollbar - MyChatOffsetBadge::kMargin;
    const std::int32_t badgeWidth = offsetBadge->MeasureWidth();
    offsetBadge->SetBounds(RECT{right - badgeWidth, top, right, top + MyChatOffsetBadge::kHeight});
}

void MyChatPanel::SetOffsetBadge(std::int32_t seconds) {
    if (!offsetBadge)
        return;
    const bool show = seconds != 0;
    const std::u16string text = show ? MyChatOffsetBadge::TextFor(seconds) : std::u16string();
    if (offsetBadge->visible == show && offsetBadge->text == text)
        return;
    offsetBadge->text = text;
    offsetBadge->visible = show;
    PlaceBadge();
    // The whole chat repaints, so that the list shows again where a wider or hidden badge was.
    if (listBox)
        listBox->dirty = true;
    Redraw();
}

void MyChatPanel::SetChatPosition(std::int32_t second, std::int32_t index) {
    const bool jumped = lastChatSecond_ < 0
                            ? second > kJumpSeconds
                            : second < lastChatSecond_ || second > lastChatSecond_ + kJumpSeconds;
    lastChatSecond_ = second;
    if (jumped)
        pinWanted_ = true;
    // Back before the first row there is nothing to pin, and playing on from there unfolds the chat.
    if (chatRows && index < 0)
        pinWanted_ = false;
    if (!pinWanted_ || !chatRows || index < 0) {
        pinnedIndex_ = -2;
        ShowStateLine(u"");
        return;
    }
    if (index == pinnedIndex_)
        return;
    pinnedIndex_ = index;
    if (!channelIndexBuilt_) {
        channelIndex.Build(chatRows);
        channelIndexBuilt_ = true;
    }
    ShowStateLine(FormatChannelStateLine(channelIndex.StateAfter(index)));
}

void MyChatPanel::ForgetChatPosition() {
    lastChatSecond_ = -1;
    pinWanted_ = false;
    pinnedIndex_ = -2;
    ShowStateLine(u"");
}

void MyChatPanel::MoveChatPosition(std::int32_t second) {
    if (lastChatSecond_ >= 0)
        lastChatSecond_ = std::max(second, 0);
}

void MyChatPanel::ShowStateLine(const std::u16string& text) {
    if (!stateLine)
        return;
    const bool show = !text.empty();
    if (stateLine->visible == show && stateLine->text == text)
        return;
    const bool layout = stateLine->visible != show;
    stateLine->text = text;
    stateLine->visible = show;
    if (layout) {
        LayOutChildren();
        Redraw();
    } else {
        stateLine->Redraw();
    }
}

void MyChatPanel::SetHideQuietJoins(bool on) {
    if (on == hideQuietJoins)
        return;
    hideQuietJoins = on;
    ApplyQuietJoins();
    Redraw();
}

void MyChatPanel::ApplyQuietJoins() {
    if (!listBox)
        return;
    std::vector<bool> quiet;
    if (hideQuietJoins && chatRows)
        quiet = FindQuietJoinsAndParts(*chatRows);
    bool changed = false;
    for (std::int32_t i = 0; i < listBox->RowCount(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        changed = listBox->SetRowHidden(i, at < quiet.size() && quiet[at]) || changed;
    }
    if (!changed)
        return;
    // Laid out now when the list can be, so that the current row's place is right before any paint.
    if (listBox->width > listBox->scrollbarWidth && listBox->IsShown())
        listBox->Relayout();
}

void MyChatPanel::OnChatRowsReplaced() {
    // Built now, with the rows, so that no seek waits for it.
    channelIndex.Build(chatRows);
    channelIndexBuilt_ = true;
    // The line waits for the next position; whether it is wanted (a start or seek) carries over, so
    // rows that arrive after a start in the middle of a show still get it.
    pinnedIndex_ = -2;
    ShowStateLine(u"");
    if (hideQuietJoins)
        ApplyQuietJoins();
}

void MyChatPanel::OpenChatMenu(std::int32_t) {
    if (!window || !instance)
        return;
    const POINT cursor = PopupMenuPoint(context);
    window->BringToFront();
    OpenPopupMenu(context, kChatMenu, cursor, MyPopupMenuAlign_Top);
}
