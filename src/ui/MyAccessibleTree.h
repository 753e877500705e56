#pragma once
// The control tree as assistive technology sees it: a snapshot of the controls that describe themselves
// (MyControlBase::Describe), each under its nearest described ancestor, with the rows in view of each
// list as its list items. A control keeps its node id from one snapshot to the next; a list's row keeps
// its id while the same list shows that row index. The tree also performs what a reader asks of a node,
// as the keyboard would, and words the arrival of new rows in the focused list (the chat) for the
// reader: the new row's text, or "N new lines" when several came, at most once a second.
// User-interface thread only.

#include "platform/Accessibility.h"
#include "ui/MyControlBase.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

class MyListBoxV2;

class MyAccessibleTree {
public:
    using Clock = std::chrono::steady_clock;
    // The shortest time between two announcements of new rows.
    static constexpr std::chrono::milliseconds kAnnounceInterval{1000};
    // More new rows than this at once are counted, not read.
    static constexpr std::int32_t kMaxRowsRead = 500;

    // Describes the controls under `root` (the window's root, named `windowName`). `now` paces the
    // announcements.
    platform::AccessibleTree Describe(MyControlBase& root, const std::u16string& windowName,
                                      Clock::time_point now);

    // What the last Describe found new in the focused list, worded for the reader, and the list's node;
    // empty text when there is nothing to say. Taking it clears it.
    std::pair<std::uint32_t, std::u16string> TakeAnnouncement();

    // Performs `action` on the node `id` of a description of `root` made now: a click presses the
    // control as the keyboard does (a list item: as Enter on that row), a focus request gives a control
    // that takes the keyboard the focus. False when no such node is left or it cannot do that.
    bool Perform(MyControlBase& root, std::uint32_t id, platform::AccessibleAction action);

private:
    // A list item: its list's id and the row.
    using RowKey = std::pair<std::uint32_t, std::int32_t>;
    // A node's control, and the row for a list item (-1 for the control itself).
    using Target = std::pair<MyControlBase*, std::int32_t>;

    // The description, without looking for news.
    platform::AccessibleTree Collect(MyControlBase& root, const std::u16string& windowName);
    void Walk(MyControlBase& control, std::int32_t parent, bool enabledAbove, platform::AccessibleTree& tree);
    void AddRows(MyListBoxV2& list, std::int32_t parent, bool enabled, platform::AccessibleTree& tree);
    std::uint32_t IdOf(MyControlBase& control);
    std::uint32_t RowIdOf(MyControlBase& list, std::int32_t row);
    std::uint32_t NewId();
    void NoteArrivals(Clock::time_point now);

    std::map<RowKey, std::uint32_t> rowIds_;
    std::map<RowKey, std::uint32_t> rowsSeen_;
    // What each id of the last description stands for.
    std::map<std::uint32_t, Target> targets_;
    std::uint32_t nextId_ = 1;
    MyWindowContext* context_ = nullptr;

    // The focused list with arriving rows, how many had arrived when the reader was last told (or the
    // list took the focus), and when that was.
    MyListBoxV2* liveList_ = nullptr;
    std::uint32_t liveId_ = 0;
    std::int32_t liveCount_ = 0;
    Clock::time_point lastAnnounced_{};
    MyListBoxV2* focusedList_ = nullptr;
    std::uint32_t focusedListId_ = 0;
    std::pair<std::uint32_t, std::u16string> announcement_;
};
