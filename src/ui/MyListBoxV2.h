#pragma once
// The scrolling list of variable-height rows. Rows are owned by the list but are not children in the
// control tree: the list stacks them by their measured heights, renders those in view into a surface of
// its own only when something changed (`dirty`), copies that surface into the back buffer, and hands
// them mouse presses in list-local coordinates. A 24-pixel MyScrollbar along the right edge is the
// list's only child.
//
// The list works on rows by index (RowCount, RowAt, LayOutRow), so that a list of very many rows may keep
// them in a compact form of its own and answer a row control only for the rows it is asked for.

#include "ui/MyControlBase.h"
#include "ui/MyScrollbar.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class MyListBoxV2ItemBase : public MyControlBase {
public:
    // Paints the row and its own children into the list's surface when visible and not empty; rows
    // invalidate nothing, since the list copies its surface as a whole.
    void Redraw() override;
    // Answers the row's height for the list width `width`; Relayout stores it in `height`. A height of
    // 0 hides the row: it takes no space, is never painted and never hit.
    virtual std::uint16_t MeasureHeight(std::int32_t width) = 0;

    // Places the row in the list's surface: `bounds` and the geometry fields, an empty rectangle stored
    // as (0, 0, 0, 0). The row's own `height` is left alone.
    void PlaceInView(const RECT& rect);

    bool selected = false;
    MySurface* surface = nullptr;
    std::int32_t index = 0;
    std::int32_t top = 0;
    // The row's height in pixels for the current width, as MeasureHeight last answered (stored by the
    // list's Relayout). It hides the inherited geometry field of the same name, which follows `bounds`.
    std::uint16_t height = 0;
};

class MyListBoxV2 : public MyControlBase {
public:
    static constexpr std::uint8_t kScrollbarWidth = 24; // pixels

    ~MyListBoxV2() override;

    void Create(MyWindowContext* context, std::int32_t x, std::int32_t y, std::int32_t width,
                std::int32_t height) override;
    void OnLButtonDown(POINT point) override;
    void OnLButtonUp(POINT point) override;
    void OnRButtonDown(POINT point) override;
    void OnRButtonUp(POINT point) override;
    void OnMouseWheel(POINT point, std::uint32_t delta) override;
    void Paint() override;
    void OnBoundsChanged(const RECT& oldRect) override;
    virtual void Clear();
    virtual void Relayout();
    // Clamps the offset, stores it, marks the list dirty and redraws it.
    virtual void ScrollTo(std::int32_t offset);
    // Clamps the offset and stores it without redrawing.
    virtual void SetScrollOffset(std::int32_t offset);

    // Appends a created row: sets its parent and index and marks the list for relayout. Answers the row.
    MyListBoxV2ItemBase* AddRow(std::unique_ptr<MyListBoxV2ItemBase> row);
    template <typename T> T* AddRow(std::unique_ptr<T> row) {
        T* raw = row.get();
        AddRow(std::unique_ptr<MyListBoxV2ItemBase>(std::move(row)));
        return raw;
    }
    virtual std::int32_t RowCount() const { return static_cast<std::int32_t>(rows.size()); }
    // The row at `index`, or none when `index` is outside the rows.
    virtual MyListBoxV2ItemBase* RowAt(std::int32_t index) const;
    // The row whose [top, top + height) holds content y.
    MyListBoxV2ItemBase* FindRowAt(std::int32_t contentY) const;
    // The index of that row, or -1.
    std::int32_t FindRowIndexAt(std::int32_t contentY) const;
    // The content y of row `index`'s upper edge and its height, as the last Relayout placed it; 0 for a
    // row not laid out yet.
    std::int32_t RowTop(std::int32_t index) const;
    std::int32_t RowHeight(std::int32_t index) const;
    void SelectRow(std::int32_t index);

    // The keyboard, while the list has the focus: Up, Down, Page Up, Page Down, Home and End move the
    // current row (`keyboardRow`) over the rows shown and keep it in view; Enter and Space click it, the
    // context-menu key and Shift+F10 right-click it, as the mouse would at its left end.
    bool OnKeyDown(int virtualKey) override;
    // The list rings its current row, or its whole view while no row is current or in view.
    bool DrawsOwnFocusRing() const override { return true; }
    // The index of the row the keyboard is on, or -1 (none yet; a rebuilt list starts again).
    std::int32_t keyboardRow = -1;

    // Assistive technology: a list named `accessibleName`, whose rows in view follow it as list items.
    bool Describe(platform::AccessibleNode& node) override;
    // Describes row `index` as a list item (its text, selected); false for a row that shows nothing.
    virtual bool DescribeRow(std::int32_t index, platform::AccessibleNode& node);
    // The rows in view as the last layout placed them: [first, end), empty when none is.
    std::pair<std::int32_t, std::int32_t> RowsInView() const;
    // A list whose rows arrive while the user listens (the chat) answers how many have arrived, so that a
    // reader hears of new ones; -1 for the others.
    virtual std::int32_t ArrivedRowCount() const { return -1; }
    // Makes row `index` the current row and presses it as Enter would. False when it cannot be reached.
    bool ClickRow(std::int32_t index);
    std::u16string accessibleName;

    // The top of every row laid out, in row order (rows stack without gaps, so a row's height is the
    // distance to the next top). Rebuilt by Relayout.
    std::vector<std::int32_t> rowTops;
    std::vector<std::unique_ptr<MyListBoxV2ItemBase>> rows;
    std::int32_t contentHeight = 0;
    // The row (or the row's child) that took the current left or right press.
    MyControlBase* leftPressedRow = nullptr;
    MyControlBase* rightPressedRow = nullptr;
    MyScrollbar* scrollbar = nullptr;
    std::uint8_t scrollbarWidth = kScrollbarWidth;
    COLORREF backgroundColour = 0;
    std::unique_ptr<MySurface> surface;
    bool dirty = true;
    bool relayoutNeeded = false;
    std::int32_t scrollOffset = 0;

protected:
    // Measures row `index` for rows `width` pixels wide, placed at content y `top`, and answers its
    // height. Rows of `rows` keep their top and height themselves as well.
    virtual std::uint16_t LayOutRow(std::int32_t index, std::int32_t top, std::int32_t width);
    // The content y below which nothing is drawn or scrolled to: the end of the content here; a list
    // that shows only part of its rows answers less.
    virtual std::int32_t ContentEnd() const { return contentHeight; }
    // Runs right before `row` is painted into the surface.
    virtual void BeforeRowPaint(MyListBoxV2ItemBase& row) { (void)row; }
    // Renders the rows in view into `surface` (the dirty part of Paint).
    void RenderRows();
    void PressRow(POINT point, bool left);
    void ReleaseRow(POINT point, bool left);
    void SetContentSize(std::int32_t size);

private:
    // The rows the keyboard can reach: laid out, taking space, above ContentEnd.
    bool ReachableRow(std::int32_t index) const;
    std::int32_t StepRow(std::int32_t from, std::int32_t step) const;
    void ShowRow(std::int32_t index);
    void PressRowByKeyboard(std::int32_t index, bool left);
    // Whether the surface now holds the focus ring (a change of focus renders the rows again).
    bool ringRendered_ = false;
};
