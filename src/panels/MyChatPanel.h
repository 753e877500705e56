#pragma once
// The chat replay: every chat event of the stream as one line, unfolding as the play position reaches
// it. The list follows the newest reached line while it is in view; scrolling it out of view stops
// following until it is scrolled back. With "show beyond" on, lines not yet reached show in dark grey.

#include "panels/ChatChannelState.h"
#include "panels/ChatLineStore.h"
#include "panels/ChatSearchIndex.h"
#include "panels/MyStreamChatListBoxRow.h"
#include "records/CatalogueRecords.h"
#include "ui/MyListBoxV2.h"

#include <algorithm>
#include <memory>

struct MyAppContext;
class MyChatStateLine;
class MyChatOffsetBadge;
class MyChatSearchBar;

// The list keeps its lines in a ChatLineStore rather than as row controls, and answers a row control
// (MyStreamChatListBoxRow) only for a line it is asked for: the lines in view when it paints, the line
// a press falls on, and any line RowAt names. Those controls come from a small pool (a view's worth of
// lines and a few more) and the one answered longest ago is bound to another line when the view moves
// on; a control held by a press keeps its line. So a row RowAt answered shows its line until the list
// paints elsewhere or RowAt is asked for many other lines; the control itself lives as long as the list.
class MyChatListBox : public MyListBoxV2 {
public:
    // Paints through the parent panel, so the panel and the list repaint together.
    void Redraw() override;
    void Clear() override;
    void Relayout() override;
    std::int32_t RowCount() const override { return static_cast<std::int32_t>(lines.size()); }
    MyListBoxV2ItemBase* RowAt(std::int32_t index) const override;
    void ScrollTo(std::int32_t offset) override;
    void SetScrollOffset(std::int32_t offset) override;
    // Rows take the press as any list's rows do; the list then reports a right click of its own.
    void OnRButtonUp(POINT point) override;
    // A line is a list item named by its text as shown ("[0:12:34] ..."), read from the lines rather than
    // from a row control, so that describing the list binds no row; a line left out of the view, or not
    // reached while the chat beyond is not shown, shows nothing. The lines the play position has reached
    // are the rows that have arrived.
    bool DescribeRow(std::int32_t index, platform::AccessibleNode& node) override;
    std::int32_t ArrivedRowCount() const override { return std::min(currentIndex + 1, RowCount()); }

    // The row the play position has reached; -1 or any index outside the rows means none.
    void SetCurrentRow(std::int32_t index);
    void SetShowBeyond(bool on);
    // Whether row `index` shows: reached, or the chat beyond is shown, and not left out.
    bool RowShows(std::int32_t index) const;
    // Scrolls row `index` into view (a third down from the top when it was out of view).
    void ScrollRowIntoView(std::int32_t index);
    // Follows the current row again and brings it into view.
    void FollowCurrentRow();

    // Appends a line in `colour`; the list lays it out on its next paint.
    void AddLine(std::int32_t time, std::u16string_view text, COLORREF colour);
    // Appends the line chat row `row` of the rows given to `lines` reads as.
    void AddRowLine(std::size_t row, std::int32_t time, COLORREF colour);
    // Appends the line a row control shows; the control itself is not kept.
    void AddRow(std::unique_ptr<MyStreamChatListBoxRow> row);
    // Leaves line `index` out of the view (it takes no space) or shows it again; answers whether that
    // changed anything. The list lays the lines out again on its next paint.
    bool SetRowHidden(std::int32_t index, bool hidden);
    // The row controls made so far for lines in view.
    std::size_t RowControlCount() const { return views_.size(); }

    ChatLineStore lines;
    // The font of every line: the panel's, not owned.
    Font* font = nullptr;
    std::int32_t visibleEnd = 0;
    bool redrawGuard = false;
    std::int32_t currentIndex = -1;
    std::int32_t currentTop = 0;
    std::int32_t currentHeight = 0;
    bool follow = true;
    bool showBeyond = false;
    // Show times written in the lines are links to that second of the show (see MyStreamChatListBoxRow);
    // a click on one goes to TimeClickCallback on `timeTarget`. Times past `lastSecond` are no links.
    MyCallbackTarget* timeTarget = nullptr;
    MyCallback<std::int32_t, std::int32_t> TimeClickCallback;
    std::int32_t lastSecond = -1;
    // Search: the query, the rows that hold it (ascending) and the row of the match shown, which the
    // list highlights; all the panel's, null or -1 while no search is open.
    const SearchPattern* searchPattern = nullptr;
    const std::vector<std::int32_t>* searchMatches = nullptr;
    std::int32_t shownMatchRow = -1;
    // The background of the row of the match shown.
    static constexpr COLORREF kShownMatchBack = RGB(0x20, 0x30, 0x60);

protected:
    std::int32_t ContentEnd() const override { return visibleEnd; }
    void BeforeRowPaint(MyListBoxV2ItemBase& row) override;
    std::uint16_t LayOutRow(std::int32_t index, std::int32_t top, std::int32_t width) override;

private:
    bool HasRow(std::int32_t index) const { return index >= 0 && index < RowCount(); }
    // How many row controls the pool keeps: enough for every line of a full view and a few more.
    std::size_t ViewPoolSize() const;
    // Takes the current row's place after a layout, and keeps it in view as SetCurrentRow does.
    void TakeCurrentRow();
    void KeepCurrentRowInView();

    // The row controls, each bound to the line of its `index` (-1: none), and when each was last answered.
    mutable std::vector<std::unique_ptr<MyStreamChatListBoxRow>> views_;
    mutable std::vector<std::uint64_t> viewUses_;
    mutable std::uint64_t useClock_ = 0;
};

class MyChatPanel : public MyControlBase {
public:
    static constexpr std::int32_t kFontHeight = 16; // pixels
    // Longer lines are cut: a chat line is at most this many UTF-16 units.
    static constexpr std::size_t kMaxLineLength = 4096;

    explicit MyChatPanel(MyAppContext* appContext) : appContext(appContext) {}

    void OnCreate() override;
    void OnBoundsChanged(const RECT& oldRect) override;
    // Repaints the chat, then the shown pages that lie over it: the chat keeps unfolding underneath
    // the station chooser, the settings and the other pages without drawing over them.
    void Redraw() override;

    // Replaces every row with the lines of `list` (null: none). The current row stays as it was.
    void SetChatRows(const StreamChatRowList* list);

    // The right-click menu of the chat: the chat sync offset steps.
    static constexpr int kChatMenu = 116;
    // A jump of the chat position by more than this many seconds (or back) is a start or a seek.
    static constexpr std::int32_t kJumpSeconds = 5;

    // The chat sync offset of the show, shown as a badge in the top-right corner while not 0.
    void SetOffsetBadge(std::int32_t seconds);
    // The chat second the play position has reached and the index of the last row at or before it (-1:
    // none), every second, with or without rows. After a start or seek past the first rows, the top of
    // the chat pins the channel's state as of that row, and keeps it current from there; back before the
    // first row it goes. Playing on from the start never pins it, even when the rows arrive late.
    void SetChatPosition(std::int32_t second, std::int32_t index);
    // Another show starts: its first position is a start, not a jump from the last show's.
    void ForgetChatPosition();
    // The chat's offset changed: the chat second moves to `second` without that being a seek.
    void MoveChatPosition(std::int32_t second);
    // Leaves joins, parts and quits of people who do not speak within 10 minutes out of the view.
    void SetHideQuietJoins(bool on);
    // Opens the chat's menu at the cursor.
    void OpenChatMenu(std::int32_t id);

    // Search (Ctrl+F): a bar over the chat whose input finds every row holding its text, whatever the
    // case and accents, rows beyond the play position included. Those rows' matches are counted and
    // stepped through like the others, but while the chat beyond the play position is not shown only
    // their time shows, not their text. Enter plays from the shown match's row; Escape closes the bar
    // and the chat follows the play position again.
    void OpenSearch();
    void CloseSearch();
    bool searchOpen() const;
    // F3 and Shift+F3: the next (1) or previous (-1) match, round the ends. Opens the bar when closed.
    void StepSearch(std::int32_t direction);
    const std::vector<std::int32_t>& searchMatches() const { return searchMatches_; }
    // The index in searchMatches() of the match shown, or -1.
    std::int32_t shownMatch() const { return shownMatch_; }
    // Enter in the search: invoked on `searchTarget` with the chat time of the match's row.
    MyCallback<std::int32_t, std::int32_t> SearchPlayCallback;
    MyCallbackTarget* searchTarget = nullptr;
    MyChatSearchBar* searchBar = nullptr;
    ChatSearchIndex searchIndex;

    MyAppContext* appContext;
    const StreamChatRowList* chatRows = nullptr;
    MyChatListBox* listBox = nullptr;
    std::unique_ptr<Font> font;
    MyChatStateLine* stateLine = nullptr;
    MyChatOffsetBadge* offsetBadge = nullptr;
    bool hideQuietJoins = false;
    // The channel state index of the current rows.
    ChatChannelIndex channelIndex;

private:
    void CreateOverlays();
    void LayOutChildren();
    void PlaceBadge();
    void ShowStateLine(const std::u16string& text);
    void ApplyQuietJoins();
    // The rows were replaced: the state line and the filter start over.
    void OnChatRowsReplaced();
    void CreateSearchBar();
    void OnSearchTextChanged(std::int32_t id);
    void OnSearchSubmit(std::int32_t id);
    void OnSearchCancel(std::int32_t id);
    // Finds the query's rows again and shows the match nearest before the play position.
    void RunSearch();
    // Highlights the shown match, brings its row into view when it shows, and writes the status.
    void ShowMatch();
    std::int32_t TopOfList() const;

    std::unique_ptr<SearchPattern> searchPattern_;
    std::vector<std::int32_t> searchMatches_;
    std::int32_t shownMatch_ = -1;

    bool channelIndexBuilt_ = false;
    bool pinWanted_ = false;
    std::int32_t lastChatSecond_ = -1;
    std::int32_t pinnedIndex_ = -2;
};
