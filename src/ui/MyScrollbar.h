#pragma once
// The vertical scrollbar of the list box: a skinned track rendered once per size or content change, and
// a thumb drawn from pre-built alpha sprites whose length shows the visible share of the content. A
// press anywhere on the strip grabs the thumb where it is; dragging moves it and reports the new
// position through PositionChangedCallback.

#include "ui/MyControlBase.h"
#include "ui/MySurface.h"

class MyScrollbarBase : public MyControlBase {
public:
    void OnLButtonDown(POINT point) override;
    void OnLButtonUp(POINT point) override;
    void OnMouseDrag(POINT point) override;
    void OnBoundsChanged(const RECT& oldRect) override;
    virtual void RebuildBackground() = 0;

    // Geometry in pixels along the strip, from the current fields.
    std::int32_t ThumbLength() const;
    std::int32_t ThumbTop() const;
    std::int32_t Range() const { return height - ThumbLength(); }

    std::int32_t minThumbLength = 0;
    std::int32_t contentSize = 0;
    std::int32_t dragAnchor = -1;
    std::int32_t dragOffset = 0;
    bool dragging = false;
    bool needsRebuild = true;
    std::unique_ptr<MySurface> trackSurface;
    // Present exactly when a thumb was shown at the last rebuild.
    std::unique_ptr<MySurface> thumbSurface;
    std::int32_t pageSize = 0;
    std::int32_t position = 0;
    MyCallback<std::int32_t> PositionChangedCallback;
};

class MyScrollbar : public MyScrollbarBase {
public:
    static constexpr int kSkinResource = 107;

    void OnCreate() override;
    void Paint() override;
    void RebuildBackground() override;

    MySurface skin;
    MySurface thumbTop;
    MySurface thumbBottom;

private:
    // A 20-pixel-wide sprite of `rows` rows from the skin's thumb image and mask, starting at `firstRow`:
    // alpha from the mask, colour from the image, not premultiplied.
    void MakeAlphaSprite(MySurface& sprite, std::int32_t rows, std::int32_t firstRow);
    void DrawAlphaSprite(MySurface& sprite, std::int32_t atX, std::int32_t atY);
};
