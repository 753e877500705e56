#include "ui/MyListBoxV2.h"

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
    rowsByTop.clear();
    surface.reset();
}

void MyListBoxV2::Create(MyWindowContext* newContext, std::int32_t newX, std::int32_t newY,
                         std::int32_t newWidth, std::int32_t newHeight) {
    MyControlBase::Create(newContext, newX, newY, newWidth, newHeight);
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

MyListBoxV2ItemBase* MyListBoxV2::FindRowAt(std::int32_t contentY) const {
    auto it = rowsByTop.upper_bound(contentY);
    if (it == rowsByTop.begin())
        return nullptr;
    --it;
    MyListBoxV2ItemBase* row = it->second;
    return contentY < row->top + row->height ? row : nullptr;
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
    rowsByTop.clear();
    scrollOffset = 0;
    if (scrollbar)
        scrollbar->position = 0;
    contentHeight = 0;
    SetContentSize(0);
    dirty = true;
}

void MyListBoxV2::Relayout() {
    MyListBoxV2ItemBase* anchor = FindRowAt(scrollOffset);
    const std::int32_t inside = anchor ? scrollOffset - anchor->top : 0;
    rowsByTop.clear();
    contentHeight = 0;
    const std::int32_t rowWidth = width - scrollbarWidth;
    auto last = rowsByTop.end();
    for (auto& row : rows) {
        const std::uint16_t h = row->MeasureHeight(rowWidth);
        row->height = h;
        row->top = contentHeight;
        // Tops only grow, so each row goes at the end; a row at the same top as the one before replaces it
        // (the one before took no space).
        if (last != rowsByTop.end() && last->first == contentHeight)
            last->second = row.get();
        else
            last = rowsByTop.emplace_hint(rowsByTop.end(), contentHeight, row.get());
        contentHeight += h;
    }
    SetContentSize(contentHeight);
    relayoutNeeded = false;
    if (anchor)
        SetScrollOffset(anchor->top + inside);
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
    const Brush brush = CreateSolidBrush(backgroundColour);
    auto it = rowsByTop.upper_bound(scrollOffset);
    if (it != rowsByTop.begin())
        --it;
    else
        it = rowsByTop.end();
    std::int32_t rowY = it != rowsByTop.end() ? it->first - scrollOffset : 0;
    const std::int32_t end = ContentEnd();
    while (rowY < height) {
        if (it == rowsByTop.end() || rowY + scrollOffset >= end) {
            FillRect(surface->dc, RECT{0, rowY, rowWidth, height}, brush);
            break;
        }
        MyListBoxV2ItemBase* row = it->second;
        const RECT rect{0, rowY, rowWidth, rowY + row->height};
        row->surface = surface.get();
        if (!(rect == row->bounds))
            row->PlaceInView(rect);
        BeforeRowPaint(*row);
        row->Redraw();
        ++it;
        const std::int32_t bottom = rowY + row->height;
        if (bottom >= height)
            break;
        rowY = bottom;
    }
    dirty = false;
}

void MyListBoxV2::Paint() {
    if (!backBuffer)
        return;
    if (!surface) {
        surface = std::make_unique<MySurface>();
        surface->ResizeSurface(backBuffer, width - scrollbarWidth, height);
    }
    if (dirty)
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
