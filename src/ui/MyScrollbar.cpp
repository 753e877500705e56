#include "ui/MyScrollbar.h"

#include "platform/MessageBox.h"

#include <cmath>

namespace {
constexpr std::int32_t kSpriteWidth = 20; // pixels
constexpr std::int32_t kThumbImageColumn = 24;
constexpr std::int32_t kThumbMaskColumn = 44;
} // namespace

std::int32_t MyScrollbarBase::ThumbLength() const {
    if (contentSize <= 0)
        return minThumbLength;
    return minThumbLength + static_cast<std::int32_t>(static_cast<std::int64_t>(pageSize) *
                                                      (height - minThumbLength) / contentSize);
}

std::int32_t MyScrollbarBase::ThumbTop() const {
    if (dragging)
        return dragOffset;
    const std::int32_t scrollable = contentSize - pageSize;
    if (scrollable <= 0)
        return 0;
    return static_cast<std::int32_t>(static_cast<std::int64_t>(height - ThumbLength()) * position /
                                     scrollable);
}

void MyScrollbarBase::OnLButtonDown(POINT point) {
    if (pageSize >= contentSize)
        return;
    const std::int32_t top = ThumbTop();
    dragAnchor = point.y - top;
    dragOffset = top;
    dragging = true;
}

void MyScrollbarBase::OnMouseDrag(POINT point) {
    if (!dragging)
        return;
    const std::int32_t range = Range();
    std::int32_t offset = point.y - dragAnchor;
    if (offset <= 0)
        offset = 0;
    else if (offset >= range)
        offset = range;
    const std::int32_t oldOffset = dragOffset;
    const std::int32_t oldPosition = position;
    dragOffset = offset;
    // A thumb as long as the strip cannot move; the position then stays at the top.
    position = range > 0 ? static_cast<std::int32_t>(
                               static_cast<double>(dragOffset) / range * (contentSize - pageSize) + 0.5)
                         : 0;
    if (dragOffset == oldOffset)
        return;
    Redraw();
    if (position != oldPosition && enabled)
        PositionChangedCallback(callbackTarget, position);
}

void MyScrollbarBase::OnLButtonUp(POINT) {
    dragging = false;
    dragOffset = 0;
    Redraw();
}

void MyScrollbarBase::OnBoundsChanged(const RECT& oldRect) {
    if (oldRect.right - oldRect.left == width && oldRect.bottom - oldRect.top == height)
        return;
    trackSurface.reset();
    thumbSurface.reset();
    needsRebuild = true;
}

void MyScrollbar::OnCreate() {
    if (!skin.LoadSkin(backBuffer, kSkinResource, instance))
        platform::ShowMessageBox(u"ScrollbarGraphics->LoadBitmap FAILED!", u"Fel!");
    MakeAlphaSprite(thumbTop, 18, 0);
    MakeAlphaSprite(thumbBottom, 14, 19);
}

void MyScrollbar::MakeAlphaSprite(MySurface& sprite, std::int32_t rows, std::int32_t firstRow) {
    sprite.Release();
    std::uint32_t* bits = nullptr;
    sprite.bitmap = CreateDIBSection(&skin.dc, kSpriteWidth, rows, &bits);
    if (!sprite.bitmap)
        return;
    sprite.width = kSpriteWidth;
    sprite.height = rows;
    // The sprite is made at the skin's scale, device pixel by device pixel, from the skin's own.
    const platform::DeviceScale scale = sprite.bitmap->scale();
    const std::int32_t deviceRows = sprite.bitmap->height(), deviceColumns = sprite.bitmap->width();
    const Bitmap* source = skin.bitmap.get();
    auto skinPixel = [&](std::int32_t column, std::int32_t row) -> std::uint32_t {
        if (!source || column < 0 || row < 0 || column >= source->width() || row >= source->height())
            return 0;
        return source->row(row)[column] & 0xFFFFFFu;
    };
    const std::int32_t imageColumn = scale.ToDevice(kThumbImageColumn);
    const std::int32_t maskColumn = scale.ToDevice(kThumbMaskColumn);
    const std::int32_t top = scale.ToDevice(firstRow);
    for (std::int32_t i = 0; i < deviceRows; ++i) {
        for (std::int32_t j = 0; j < deviceColumns; ++j) {
            const std::uint32_t image = skinPixel(imageColumn + j, top + i);
            const std::uint32_t mask = skinPixel(maskColumn + j, top + i);
            // Bottom-up rows: the image's top row is the last one in memory. The mask's red (the pixel
            // word's top byte of colour) becomes the alpha.
            bits[static_cast<std::size_t>(deviceRows - 1 - i) * deviceColumns + j] =
                (((mask >> 16) & 0xFF) << 24) | image;
        }
    }
    SelectObject(sprite.dc, sprite.bitmap.get());
}

void MyScrollbar::DrawAlphaSprite(MySurface& sprite, std::int32_t atX, std::int32_t atY) {
    if (!backBuffer || sprite.empty())
        return;
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(*backBuffer, atX, atY, sprite.width, sprite.height, sprite.dc, 0, 0, sprite.width,
               sprite.height, blend);
}

void MyScrollbar::RebuildBackground() {
    if (!trackSurface) {
        trackSurface = std::make_unique<MySurface>();
        trackSurface->ResizeSurface(backBuffer, width, height);
    }
    Dc& dc = trackSurface->dc;
    BitBlt(dc, 0, 0, width, 16, skin.dc, 0, 0, SRCCOPY);
    StretchBlt(dc, 0, 16, 24, height - 28, skin.dc, 0, 17, 24, 1, SRCCOPY);
    BitBlt(dc, 0, height - 12, width, 12, skin.dc, 0, 19, SRCCOPY);
    const bool thumbShown = contentSize > 0 && pageSize < contentSize;
    if (thumbShown && !thumbSurface)
        thumbSurface = std::make_unique<MySurface>();
    else if (!thumbShown)
        thumbSurface.reset();
    needsRebuild = false;
}

void MyScrollbar::Paint() {
    if (!backBuffer)
        return;
    if (needsRebuild)
        RebuildBackground();
    if (trackSurface)
        BitBlt(*backBuffer, x, y, width, height, trackSurface->dc, 0, 0, SRCCOPY);
    if (thumbSurface && contentSize >= 1) {
        const std::int32_t top = ThumbTop();
        const std::int32_t length = ThumbLength();
        DrawAlphaSprite(thumbTop, x + 2, y + top + 2);
        StretchBlt(*backBuffer, x + 2, y + top + 20, 20, length - 32, skin.dc, 24, 17, 20, 1, SRCCOPY);
        DrawAlphaSprite(thumbBottom, x + 2, y + top + length - 16);
    }
}
