#include "ui/MyListBoxV2.h"

#include "platform/Window.h"
#include "ui/KeyboardFocus.h"

#include <algorithm>
#include <utility>

void MyListBoxV2ItemBase::Redraw() {
    if (!visible || IsRectEmpty(bounds))
        return;
    Paint();
    for (auto& child : children)
        child->Redraw();
}

void MyListBoxV2ItemBase::PlaceInView(const RECT& rect) {
    StoreBounds(IsRectEmpty(rect) ? RECT{} : rect);
}

MyListBoxV2::~MyListBoxV2() {
    leftPressedRow = nullptr;
    rightPressedRow = nullptr;
    while (!rows.empty())
        rows.pop_back();
    rowTops.clear();
    surface.reset();
}

void MyListBoxV2::Create(MyWindowContext* newContext, std::int32_t newX, std::int32_t newY,
                         std::int32_t newWidth, std::int32_t newHeight) {
    MyControlBase::Create(newContext, newX, newY, newWidth, newHeight);
    tabStop = true;
    auto bar = std::make_unique<MyScrollbar>();
    bar->minThumbLength = 32;
    bar->Create(newContext, newWidth - kScrollbarWidth, 0, kScrollbarWidth, newHeight);
    bar->pageSize = newHeight;
    bar->callbackTarget = this;
    bar->PositionChangedCallback = &MyListBoxV2::ScrollTo;
    scrollbar = AddChild(std::move(bar));
}

MyListBoxV2ItemBase* MyListBoxV2::AddRow(std::unique_ptr<MyListBoxV2ItemBase> row) {
    if (!row)
        return nullptr;
    row->parent = this;
    row->index = static_cast<std::int32_t>(rows.size());
    rows.push_back(std::move(row));
    dirty = true;
    relayoutNeeded = true;
    return rows.back().get();
}

MyListBoxV2ItemBase* MyListBoxV2::RowAt(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= rows.size())
        return nullptr;
    return rows[static_cast<std::size_t>(index)].get();
}

std::int32_t MyListBoxV2::FindRowIndexAt(std::int32_t contentY) const {
    // The last row whose top is not below y: of rows at the same top only the last can have a height.
    const auto it = std::upper_bound(rowTops.begin(), rowTops.end(), contentY);
    if (it == rowTops.begin())
        return -1;
    const auto index = static_cast<std::int32_t>(it - rowTops.begin()) - 1;
    return index < RowCount() && contentY < RowTop(index) + RowHeight(index) ? index : -1;
}

MyListBoxV2ItemBase* MyListBoxV2::FindRowAt(std::int32_t contentY) const {
    const std::int32_t index = FindRowIndexAt(contentY);
    return index >= 0 ? RowAt(index) : nullptr;
}

std::int32_t MyListBoxV2::RowTop(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= rowTops.size())
        return 0;
    return rowTops[static_cast<std::size_t>(index)];
}

std::int32_t MyListBoxV2::RowHeight(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= rowTops.size())
        return 0;
    const auto next = static_cast<std::size_t>(index) + 1;
    return (next < rowTops.size() ? rowTops[next] : contentHeight) - rowTops[static_cast<std::size_t>(index)];
}

void MyListBoxV2::SelectRow(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= rows.size())
        return;
    for (auto& row : rows)
        row->selected = false;
    rows[static_cast<std::size_t>(index)]->selected = true;
    dirty = true;
    Redraw();
}

void MyListBoxV2::SetContentSize(std::int32_t size) {
    if (scrollbar && scrollbar->contentSize != size) {
        scrollbar->contentSize = size;
        scrollbar->needsRebuild = true;
    }
}

void MyListBoxV2::Clear() {
    leftPressedRow = nullptr;
    rightPressedRow = nullptr;
    rows.clear();
    rowTops.clear();
    keyboardRow = -1;
    scrollOffset = 0;
    if (scrollbar)
        scrollbar->position = 0;
    contentHeight = 0;
    SetContentSize(0);
    dirty = true;
}

std::uint16_t MyListBoxV2::LayOutRow(std::int32_t index, std::int32_t top, std::int32_t rowWidth) {
    MyListBoxV2ItemBase* row = RowAt(index);
    if (!row)
        return 0;
    row->height = row->MeasureHeight(rowWidth);
    row->top = top;
    return row->height;
}

void MyListBoxV2::Relayout() {
    const std::int32_t anchor = FindRowIndexAt(scrollOffset);
    const std::int32_t inside = anchor >= 0 ? scrollOffset - RowTop(anchor) : 0;
    const auto count = static_cast<std::size_t>(RowCount());
    rowTops.resize(count);
    if (rowTops.capacity() > count + count / 4)
        rowTops.shrink_to_fit();
    contentHeight = 0;
    const std::int32_t rowWidth = width - scrollbarWidth;
    for (std::size_t i = 0; i < count; ++i) {
        rowTops[i] = contentHeight;
        contentHeight += LayOutRow(static_cast<std::int32_t>(i), contentHeight, rowWidth);
    }
    SetContentSize(contentHeight);
    relayoutNeeded = false;
    if (anchor >= 0 && static_cast<std::size_t>(anchor) < count)
        SetScrollOffset(RowTop(anchor) + inside);
}

void MyListBoxV2::ScrollTo(std::int32_t offset) {
    if (offset == scrollOffset)
        return;
    SetScrollOffset(offset);
    dirty = true;
    Redraw();
}

void MyListBoxV2::SetScrollOffset(std::int32_t offset) {
    if (offset == scrollOffset)
        return;
    offset = std::max(0, std::min(offset, contentHeight - height));
    scrollOffset = offset;
    if (scrollbar)
        scrollbar->position = offset;
    dirty = true;
}

void MyListBoxV2::OnMouseWheel(POINT, std::uint32_t delta) {
    const std::int32_t signedDelta = static_cast<std::int16_t>(static_cast<std::uint16_t>(delta));
    ScrollTo(scrollOffset - signedDelta / 5);
}

void MyListBoxV2::RenderRows() {
    if (relayoutNeeded)
        Relayout();
    const std::int32_t rowWidth = width - scrollbarWidth;
    const MyPalette palette = PaletteOf(*this);
    const Brush brush = CreateSolidBrush(palette.highContrast ? palette.background : backgroundColour);
    const auto count = static_cast<std::int32_t>(std::min<std::size_t>(rowTops.size(), RowCount()));
    // The first row to draw: the one holding the top of the view, or the last one above it when the view
    // is scrolled into a last row taller than itself.
    const auto first = std::upper_bound(rowTops.begin(), rowTops.end(), scrollOffset);
    std::int32_t i =
        first == rowTops.begin() ? count : static_cast<std::int32_t>(first - rowTops.begin()) - 1;
    std::int32_t rowY = i < count ? RowTop(i) - scrollOffset : 0;
    const std::int32_t end = ContentEnd();
    const bool ring = ShowsFocusRing();
    bool rowRinged = false;
    while (rowY < height) {
        if (i >= count || rowY + scrollOffset >= end) {
            FillRect(surface->dc, RECT{0, rowY, rowWidth, height}, brush);
            break;
        }
        const std::int32_t rowHeight = RowHeight(i);
        MyListBoxV2ItemBase* row = rowHeight > 0 ? RowAt(i) : nullptr;
        const std::int32_t index = i++;
        if (!row)
            continue; // takes no space
        const RECT rect{0, rowY, rowWidth, rowY + rowHeight};
        row->surface = surface.get();
        if (!(rect == row->bounds))
            row->PlaceInView(rect);
        BeforeRowPaint(*row);
        row->Redraw();
        if (ring && index == keyboardRow) {
            DrawFocusRing(surface->dc, rect, context->palette);
            rowRinged = true;
        }
        const std::int32_t bottom = rowY + rowHeight;
        if (bottom >= height)
            break;
        rowY = bottom;
    }
    if (ring && !rowRinged)
        DrawFocusRing(surface->dc, RECT{0, 0, rowWidth, height}, context->palette);
    ringRendered_ = ring;
    dirty = false;
}

void MyListBoxV2::Paint() {
    if (!backBuffer)
        return;
    if (!surface) {
        surface = std::make_unique<MySurface>();
        surface->ResizeSurface(backBuffer, width - scrollbarWidth, height);
    }
    if (dirty || ringRendered_ != ShowsFocusRing())
        RenderRows();
    BitBlt(*backBuffer, x, y, surface->width, surface->height, surface->dc, 0, 0, SRCCOPY);
}

void MyListBoxV2::OnBoundsChanged(const RECT& oldRect) {
    if (oldRect == bounds)
        return;
    const std::int32_t end = ContentEnd();
    if (end - scrollOffset < height)
        scrollOffset = std::max(0, end - height);
    surface.reset();
    if (scrollbar) {
        scrollbar->pageSize = height;
        scrollbar->position = scrollOffset;
        scrollbar->SetBounds(RECT{bounds.right - kScrollbarWidth, bounds.top, bounds.right, bounds.bottom});
    }
    dirty = true;
    if (oldRect.right - oldRect.left != width)
        relayoutNeeded = true;
}

void MyListBoxV2::PressRow(POINT point, bool left) {
    MyListBoxV2ItemBase* row = FindRowAt(scrollOffset + point.y - y);
    if (!row)
        return;
    const POINT local{point.x - x, point.y - y};
    MyControlBase* pressed = row->HitTest(local);
    (left ? leftPressedRow : rightPressedRow) = pressed;
    if (!pressed)
        return;
    // The press may rebuild the list and delete the row; nothing here touches it afterwards.
    if (left)
        pressed->OnLButtonDown(local);
    else
        pressed->OnRButtonDown(local);
    dirty = true;
    Redraw();
}

void MyListBoxV2::ReleaseRow(POINT point, bool left) {
    MyControlBase* pressed = std::exchange(left ? leftPressedRow : rightPressedRow, nullptr);
    if (!pressed)
        return;
    const POINT local{point.x - x, point.y - y};
    if (left)
        pressed->OnLButtonUp(local);
    else
        pressed->OnRButtonUp(local);
    dirty = true;
    Redraw();
}

void MyListBoxV2::OnLButtonDown(POINT point) {
    PressRow(point, true);
}
void MyListBoxV2::OnLButtonUp(POINT point) {
    ReleaseRow(point, true);
}
void MyListBoxV2::OnRButtonDown(POINT point) {
    PressRow(point, false);
}
void MyListBoxV2::OnRButtonUp(POINT point) {
    ReleaseRow(point, false);
}

bool MyListBoxV2::ReachableRow(std::int32_t index) const {
    return index >= 0 && index < RowCount() && static_cast<std::size_t>(index) < rowTops.size() &&
           RowHeight(index) > 0 && RowTop(index) < ContentEnd();
}

// The reachable row `step` rows on from `from` (skipping rows that take no space), or `from` when there
// is none that far; the last (first) reachable one when the step runs past the end (start).
std::int32_t MyListBoxV2::StepRow(std::int32_t from, std::int32_t step) const {
    const std::int32_t direction = step > 0 ? 1 : -1;
    std::int32_t found = from;
    for (std::int32_t i = from + direction, left = step * direction; i >= 0 && i < RowCount() && left > 0;
         i += direction) {
        if (ReachableRow(i)) {
            found = i;
            --left;
        }
    }
    return found;
}

void MyListBoxV2::ShowRow(std::int32_t index) {
    const std::int32_t top = RowTop(index), bottom = top + RowHeight(index);
    if (top < scrollOffset)
        ScrollTo(top);
    else if (bottom > scrollOffset + height)
        ScrollTo(std::min(top, bottom - height));
    dirty = true;
    Redraw();
}

void MyListBoxV2::PressRowByKeyboard(std::int32_t index, bool left) {
    ShowRow(index);
    const POINT point{x + 4, y + RowTop(index) - scrollOffset + RowHeight(index) / 2};
    if (context) {
        context->keyboardPressing = true;
        context->keyboardPressPoint = point;
    }
    PressRow(point, left);
    ReleaseRow(point, left);
    if (context)
        context->keyboardPressing = false;
}

bool MyListBoxV2::OnKeyDown(int virtualKey) {
    using namespace platform;
    if (relayoutNeeded)
        Relayout();
    const bool shift = instance && instance->IsKeyDown(VK_SHIFT);
    const std::int32_t current = ReachableRow(keyboardRow) ? keyboardRow : -1;
    // Without a current row the keyboard starts from the row at the top of the view.
    std::int32_t start = current;
    if (start < 0) {
        start = FindRowIndexAt(scrollOffset);
        if (!ReachableRow(start))
            start = StepRow(-1, 1);
    }
    if (!ReachableRow(start))
        return false;
    const std::int32_t page = std::max(1, height / std::max(1, RowHeight(start)));
    std::int32_t target = start;
    switch (virtualKey) {
    case VK_DOWN:
        target = current < 0 ? start : StepRow(current, 1);
        break;
    case VK_UP:
        target = current < 0 ? start : StepRow(current, -1);
        break;
    case VK_NEXT:
        target = StepRow(start, page);
        break;
    case VK_PRIOR:
        target = StepRow(start, -page);
        break;
    case VK_HOME:
        target = StepRow(-1, 1);
        break;
    case VK_END:
        target = StepRow(RowCount(), -1);
        break;
    case VK_RETURN:
    case VK_SPACE:
        keyboardRow = start;
        PressRowByKeyboard(start, true);
        return true;
    default:
        if (!IsMenuKey(virtualKey, shift))
            return false;
        keyboardRow = start;
        PressRowByKeyboard(start, false);
        return true;
    }
    keyboardRow = target;
    ShowRow(target);
    return true;
}

bool MyListBoxV2::Describe(platform::AccessibleNode& node) {
    node.role = platform::AccessibleRole::List;
    node.name = accessibleName;
    return true;
}

bool MyListBoxV2::DescribeRow(std::int32_t index, platform::AccessibleNode& node) {
    MyListBoxV2ItemBase* row = RowAt(index);
    if (!row || !row->Describe(node))
        return false;
    node.role = platform::AccessibleRole::ListItem;
    node.states |= platform::kAccessibleSelectable | (row->selected ? platform::kAccessibleSelected : 0u);
    return true;
}

std::pair<std::int32_t, std::int32_t> MyListBoxV2::RowsInView() const {
    const std::int32_t count = std::min(RowCount(), static_cast<std::int32_t>(rowTops.size()));
    const std::int32_t viewEnd = std::min(scrollOffset + height, ContentEnd());
    if (count <= 0 || viewEnd <= scrollOffset)
        return {0, 0};
    const auto begin = rowTops.begin();
    const auto stop = begin + count;
    auto first = std::upper_bound(begin, stop, scrollOffset);
    if (first != begin)
        --first;
    // Rows of no height at the same top come first: the one holding the view's top is the last of them.
    while (first + 1 < stop && *(first + 1) == *first)
        ++first;
    const auto end = std::lower_bound(first, stop, viewEnd);
    return {static_cast<std::int32_t>(first - begin), static_cast<std::int32_t>(end - begin)};
}

bool MyListBoxV2::ClickRow(std::int32_t index) {
    if (relayoutNeeded)
        Relayout();
    if (!ReachableRow(index))
        return false;
    keyboardRow = index;
    PressRowByKeyboard(index, true);
    return true;
}
