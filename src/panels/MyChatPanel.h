#pragma once
// The chat replay: every chat event of the stream as one line, unfolding as the play position reaches
// it. The list follows the newest reached line while it is in view; scrolling it out of view stops
// following until it is scrolled back. With "show beyond" on, lines not yet reached show in dark grey.

#include "net/CatalogueRecords.h"
#include "panels/MyStreamChatListBoxRow.h"
#include "ui/MyListBoxV2.h"

#include <memory>

struct MyAppContext;

class MyChatListBox : public MyListBoxV2 {
public:
    // Paints through the parent panel, so the panel and the list repaint together.
    void Redraw() override;
    void Clear() override;
    void Relayout() override;
    void ScrollTo(std::int32_t offset) override;
    void SetScrollOffset(std::int32_t offset) override;

    // The row the play position has reached; -1 or any index outside the rows means none.
    void SetCurrentRow(std::int32_t index);
    void SetShowBeyond(bool on);

    std::int32_t visibleEnd = 0;
    bool redrawGuard = false;
    std::int32_t currentIndex = -1;
    std::int32_t currentTop = 0;
    std::int32_t currentHeight = 0;
    bool follow = true;
    bool showBeyond = false;

protected:
    std::int32_t ContentEnd() const override { return visibleEnd; }
    void BeforeRowPaint(MyListBoxV2ItemBase& row) override;

private:
    // Takes the current row's place after a layout, and keeps it in view as SetCurrentRow does.
    void TakeCurrentRow();
    void KeepCurrentRowInView();
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

    MyAppContext* appContext;
    const StreamChatRowList* chatRows = nullptr;
    MyChatListBox* listBox = nullptr;
    std::unique_ptr<Font> font;
};
