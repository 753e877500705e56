// Bitmaps, device-context state and the raster operations, pixel for pixel as GDI draws them. Each
// operation maps its logical coordinates to the bitmaps' device pixels and then works on device pixels
// alone; at 1x the mapping is the identity.

#include "ui/Gdi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

constexpr std::int32_t kMaxBitmapSide = 32767; // pixels

std::uint32_t ApplyRop(std::uint32_t d, std::uint32_t s, std::uint32_t rop) {
    switch (rop) {
    case SRCAND:
        return d & s;
    case SRCPAINT:
        return d | s;
    default:
        return s;
    }
}

// Clips a same-size copy of w x h from (sx, sy) to (dx, dy) against both bitmaps' bounds.
bool ClipCopy(std::int32_t& dx, std::int32_t& dy, std::int32_t& sx, std::int32_t& sy, std::int32_t& w,
              std::int32_t& h, const Bitmap& dst, const Bitmap& src) {
    const std::int32_t shiftX = std::max({0, -dx, -sx});
    dx += shiftX;
    sx += shiftX;
    w -= shiftX;
    const std::int32_t shiftY = std::max({0, -dy, -sy});
    dy += shiftY;
    sy += shiftY;
    h -= shiftY;
    w = std::min({w, dst.width() - dx, src.width() - sx});
    h = std::min({h, dst.height() - dy, src.height() - sy});
    return w > 0 && h > 0;
}

// One axis of a stretch: the destination span [start, start + length) and, for each of its pixels, the
// source index. A negative size covers (origin + size, origin], which mirrors the image.
struct Axis {
    std::int32_t start = 0;
    std::int32_t length = 0;
    bool flipped = false;
};

Axis Normalise(std::int32_t origin, std::int32_t size) {
    if (size >= 0)
        return {origin, size, false};
    return {origin + size + 1, -size, true};
}

// Source indices for each destination pixel on one axis, sampling pixel centres; -1 outside the source.
std::vector<std::int32_t> MapAxis(const Axis& d, const Axis& s, std::int32_t sourceLimit) {
    std::vector<std::int32_t> map(static_cast<std::size_t>(d.length));
    const bool mirror = d.flipped != s.flipped;
    for (std::int32_t i = 0; i < d.length; ++i) {
        std::int64_t k =
            (static_cast<std::int64_t>(2 * i + 1) * s.length) / (2 * static_cast<std::int64_t>(d.length));
        if (mirror)
            k = s.length - 1 - k;
        const std::int64_t index = s.start + k;
        map[static_cast<std::size_t>(i)] =
            index >= 0 && index < sourceLimit ? static_cast<std::int32_t>(index) : -1;
    }
    return map;
}

std::uint32_t BlendChannel(std::uint32_t s, std::uint32_t d, std::uint32_t inverseAlpha) {
    const std::uint32_t value = s + (d * inverseAlpha + 127) / 255;
    return value > 255 ? 255 : value;
}

void PaintDeviceSpan(Bitmap& bitmap, std::int32_t left, std::int32_t top, std::int32_t right,
                     std::int32_t bottom, std::uint32_t pixel) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, bitmap.width());
    bottom = std::min(bottom, bitmap.height());
    if (left >= right || top >= bottom)
        return;
    for (std::int32_t y = top; y < bottom; ++y)
        std::fill(bitmap.row(y) + left, bitmap.row(y) + right, pixel);
}

// Fills a logical rectangle: its edges are mapped to device pixels.
void PaintSpan(Bitmap& bitmap, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
               std::uint32_t pixel) {
    const platform::DeviceScale scale = bitmap.scale();
    PaintDeviceSpan(bitmap, scale.ToDevice(left), scale.ToDevice(top), scale.ToDevice(right),
                    scale.ToDevice(bottom), pixel);
}

// One axis of a logical span in device pixels, as StretchBlt takes it: a negative size covers
// (origin + size, origin], so its device origin is the last device pixel of the logical origin.
void MapSpan(platform::DeviceScale scale, std::int32_t origin, std::int32_t size, std::int32_t& deviceOrigin,
             std::int32_t& deviceSize) {
    if (size >= 0) {
        deviceOrigin = scale.ToDevice(origin);
        deviceSize = scale.ToDevice(origin + size) - deviceOrigin;
        return;
    }
    const std::int32_t low = scale.ToDevice(origin + size + 1);
    const std::int32_t high = scale.ToDevice(origin + 1);
    deviceOrigin = high - 1;
    deviceSize = low - high;
}

bool DeviceBitBlt(Bitmap& d, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  const Bitmap& s, std::int32_t srcX, std::int32_t srcY, std::uint32_t rop) {
    if (!ClipCopy(x, y, srcX, srcY, width, height, d, s))
        return true;
    // Copying within one bitmap downwards must start at the bottom so no row is overwritten before it is
    // read.
    const bool backwards = &d == &s && y > srcY;
    for (std::int32_t i = 0; i < height; ++i) {
        const std::int32_t r = backwards ? height - 1 - i : i;
        std::uint32_t* out = d.row(y + r) + x;
        const std::uint32_t* in = s.row(srcY + r) + srcX;
        if (rop == SRCCOPY) {
            std::memmove(out, in, static_cast<std::size_t>(width) * sizeof(std::uint32_t));
        } else if (&d == &s && x > srcX) {
            for (std::int32_t c = width - 1; c >= 0; --c)
                out[c] = ApplyRop(out[c], in[c], rop);
        } else {
            for (std::int32_t c = 0; c < width; ++c)
                out[c] = ApplyRop(out[c], in[c], rop);
        }
    }
    return true;
}

bool DeviceStretchBlt(Bitmap& d, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                      const Bitmap& s, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                      std::int32_t srcHeight, std::uint32_t rop) {
    if (width == srcWidth && height == srcHeight && width > 0 && height > 0)
        return DeviceBitBlt(d, x, y, width, height, s, srcX, srcY, rop);
    const Axis dx = Normalise(x, width);
    const Axis dy = Normalise(y, height);
    const std::vector<std::int32_t> columns = MapAxis(dx, Normalise(srcX, srcWidth), s.width());
    const std::vector<std::int32_t> rows = MapAxis(dy, Normalise(srcY, srcHeight), s.height());
    const std::int32_t c0 = std::max(0, -dx.start);
    const std::int32_t c1 = std::min(dx.length, d.width() - dx.start);
    const std::int32_t r0 = std::max(0, -dy.start);
    const std::int32_t r1 = std::min(dy.length, d.height() - dy.start);
    for (std::int32_t r = r0; r < r1; ++r) {
        const std::int32_t sr = rows[static_cast<std::size_t>(r)];
        if (sr < 0)
            continue;
        std::uint32_t* out = d.row(dy.start + r) + dx.start;
        const std::uint32_t* in = s.row(sr);
        for (std::int32_t c = c0; c < c1; ++c) {
            const std::int32_t sc = columns[static_cast<std::size_t>(c)];
            if (sc >= 0)
                out[c] = ApplyRop(out[c], in[sc], rop);
        }
    }
    return true;
}

} // namespace

Bitmap::Bitmap(std::int32_t width, std::int32_t height, bool bottomUp, platform::DeviceScale scale)
    : width_(width), height_(height), bottomUp_(bottomUp), scale_(scale),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u) {}

platform::PixelView Bitmap::view() {
    if (height_ == 0)
        return {pixels_.data(), width_, 0, width_};
    return {row(0), width_, height_, bottomUp_ ? -width_ : width_};
}

void Dc::Reset() {
    bitmap = nullptr;
    font = nullptr;
    textColour = 0x000000;
    backgroundColour = 0xFFFFFF;
    backgroundMode = OPAQUE;
    pen = Pen{};
    brush = Brush{};
    position = POINT{};
}

platform::Font* Dc::TextFont() {
    if (font && font->get())
        return font->get();
    if (!defaultFont_)
        defaultFont_ = std::make_unique<Font>(platform::Font::Create(platform::FontRequest{}));
    return defaultFont_->get();
}

Bitmap* SelectObject(Dc& dc, Bitmap* bitmap) {
    return std::exchange(dc.bitmap, bitmap);
}
Font* SelectObject(Dc& dc, Font* font) {
    return std::exchange(dc.font, font);
}
Pen SelectObject(Dc& dc, const Pen& pen) {
    return std::exchange(dc.pen, pen);
}
Brush SelectObject(Dc& dc, const Brush& brush) {
    return std::exchange(dc.brush, brush);
}
COLORREF SetTextColor(Dc& dc, COLORREF colour) {
    return std::exchange(dc.textColour, colour);
}
COLORREF SetBkColor(Dc& dc, COLORREF colour) {
    return std::exchange(dc.backgroundColour, colour);
}
int SetBkMode(Dc& dc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return std::exchange(dc.backgroundMode, mode);
}

std::unique_ptr<Bitmap> CreateScaledBitmap(platform::DeviceScale scale, std::int32_t width,
                                           std::int32_t height) {
    if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide)
        return nullptr;
    const std::int32_t deviceWidth = scale.ToDevice(width), deviceHeight = scale.ToDevice(height);
    if (deviceWidth > kMaxBitmapSide || deviceHeight > kMaxBitmapSide)
        return nullptr;
    return std::make_unique<Bitmap>(deviceWidth, deviceHeight, false, scale);
}

std::unique_ptr<Bitmap> CreateCompatibleBitmap(const Dc* reference, std::int32_t width, std::int32_t height) {
    return CreateScaledBitmap(reference ? reference->scale() : platform::DeviceScale{}, width, height);
}

std::unique_ptr<Bitmap> CreateDIBSection(const Dc* reference, std::int32_t width, std::int32_t height,
                                         std::uint32_t** bits) {
    const std::int32_t rows = height < 0 ? -height : height;
    if (width < 1 || rows < 1 || width > kMaxBitmapSide || rows > kMaxBitmapSide)
        return nullptr;
    const platform::DeviceScale scale = reference ? reference->scale() : platform::DeviceScale{};
    const std::int32_t deviceWidth = scale.ToDevice(width), deviceRows = scale.ToDevice(rows);
    if (deviceWidth > kMaxBitmapSide || deviceRows > kMaxBitmapSide)
        return nullptr;
    auto bitmap = std::make_unique<Bitmap>(deviceWidth, deviceRows, height > 0, scale);
    if (bits)
        *bits = bitmap->bits();
    return bitmap;
}

bool BitBlt(Dc& dst, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, const Dc& src,
            std::int32_t srcX, std::int32_t srcY, std::uint32_t rop) {
    if (!dst.bitmap || !src.bitmap)
        return false;
    if (width <= 0 || height <= 0)
        return true;
    Bitmap& d = *dst.bitmap;
    const Bitmap& s = *src.bitmap;
    const platform::DeviceScale a = d.scale(), b = s.scale();
    if (a.identity() && b.identity())
        return DeviceBitBlt(d, x, y, width, height, s, srcX, srcY, rop);
    // Each side's edges map by its own scale; where the two spans differ by a pixel (a fractional scale)
    // or the scales differ, the copy stretches to the destination's span.
    const std::int32_t x0 = a.ToDevice(x), y0 = a.ToDevice(y);
    const std::int32_t w = a.ToDevice(x + width) - x0, h = a.ToDevice(y + height) - y0;
    const std::int32_t sx0 = b.ToDevice(srcX), sy0 = b.ToDevice(srcY);
    const std::int32_t sw = b.ToDevice(srcX + width) - sx0, sh = b.ToDevice(srcY + height) - sy0;
    if (w == sw && h == sh)
        return DeviceBitBlt(d, x0, y0, w, h, s, sx0, sy0, rop);
    return DeviceStretchBlt(d, x0, y0, w, h, s, sx0, sy0, sw, sh, rop);
}

bool StretchBlt(Dc& dst, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                const Dc& src, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                std::int32_t srcHeight, std::uint32_t rop) {
    if (!dst.bitmap || !src.bitmap)
        return false;
    if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0)
        return true;
    Bitmap& d = *dst.bitmap;
    const Bitmap& s = *src.bitmap;
    MapSpan(d.scale(), x, width, x, width);
    MapSpan(d.scale(), y, height, y, height);
    // A single logical column or row spread wider is read from the exact copy of a smooth image.
    const bool spreadsOne = (std::abs(srcWidth) == 1 && std::abs(width) != 1) ||
                            (std::abs(srcHeight) == 1 && std::abs(height) != 1);
    const Bitmap& from = spreadsOne && s.exactPixels() ? *s.exactPixels() : s;
    MapSpan(s.scale(), srcX, srcWidth, srcX, srcWidth);
    MapSpan(s.scale(), srcY, srcHeight, srcY, srcHeight);
    return DeviceStretchBlt(d, x, y, width, height, from, srcX, srcY, srcWidth, srcHeight, rop);
}

bool AlphaBlend(Dc& dst, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                const Dc& src, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                std::int32_t srcHeight, BLENDFUNCTION blend) {
    if (!dst.bitmap || !src.bitmap || blend.BlendOp != AC_SRC_OVER)
        return false;
    if (width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0)
        return false; // AlphaBlend does not mirror
    if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0)
        return true;
    Bitmap& d = *dst.bitmap;
    const Bitmap& s = *src.bitmap;
    MapSpan(d.scale(), x, width, x, width);
    MapSpan(d.scale(), y, height, y, height);
    MapSpan(s.scale(), srcX, srcWidth, srcX, srcWidth);
    MapSpan(s.scale(), srcY, srcHeight, srcY, srcHeight);
    const std::vector<std::int32_t> columns = MapAxis({x, width, false}, {srcX, srcWidth, false}, s.width());
    const std::vector<std::int32_t> rows = MapAxis({y, height, false}, {srcY, srcHeight, false}, s.height());
    const std::uint32_t constant = blend.SourceConstantAlpha;
    const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
    const std::int32_t c0 = std::max(0, -x);
    const std::int32_t c1 = std::min(width, d.width() - x);
    const std::int32_t r0 = std::max(0, -y);
    const std::int32_t r1 = std::min(height, d.height() - y);
    for (std::int32_t r = r0; r < r1; ++r) {
        const std::int32_t sr = rows[static_cast<std::size_t>(r)];
        if (sr < 0)
            continue;
        std::uint32_t* out = d.row(y + r) + x;
        const std::uint32_t* in = s.row(sr);
        for (std::int32_t c = c0; c < c1; ++c) {
            const std::int32_t sc = columns[static_cast<std::size_t>(c)];
            if (sc < 0)
                continue;
            std::uint32_t sp = in[sc];
            const std::uint32_t dp = out[c];
            std::uint32_t channels[4];
            for (int k = 0; k < 4; ++k)
                channels[k] = (sp >> (8 * k)) & 0xFF;
            if (perPixel) {
                if (constant != 255) {
                    for (std::uint32_t& ch : channels)
                        ch = (ch * constant + 127) / 255;
                }
                const std::uint32_t inverse = 255 - channels[3];
                std::uint32_t result = 0;
                for (int k = 0; k < 4; ++k)
                    result |= BlendChannel(channels[k], (dp >> (8 * k)) & 0xFF, inverse) << (8 * k);
                out[c] = result;
            } else {
                std::uint32_t result = 0;
                for (int k = 0; k < 4; ++k) {
                    const std::uint32_t dc = (dp >> (8 * k)) & 0xFF;
                    result |= ((channels[k] * constant + dc * (255 - constant) + 127) / 255) << (8 * k);
                }
                out[c] = result;
            }
        }
    }
    return true;
}

int FillRect(Dc& dc, const RECT& rect, const Brush& brush) {
    if (!dc.bitmap)
        return 0;
    if (!brush.null)
        PaintSpan(*dc.bitmap, rect.left, rect.top, rect.right, rect.bottom, ColourToPixel(brush.colour));
    return 1;
}

bool Rectangle(Dc& dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    if (!dc.bitmap)
        return false;
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    Bitmap& b = *dc.bitmap;
    if (dc.pen.style == PS_NULL || dc.pen.width < 1) {
        // Without an outline GDI fills one pixel less to the right and below.
        if (!dc.brush.null)
            PaintSpan(b, left, top, right - 1, bottom - 1, ColourToPixel(dc.brush.colour));
        return true;
    }
    const std::int32_t w = dc.pen.width;
    const std::int32_t outside = w / 2;
    const std::int32_t ol = left - outside, ot = top - outside, orr = right + outside, ob = bottom + outside;
    const std::int32_t il = ol + w, it = ot + w, ir = orr - w, ib = ob - w;
    const std::uint32_t penPixel = ColourToPixel(dc.pen.colour);
    if (il >= ir || it >= ib) {
        PaintSpan(b, ol, ot, orr, ob, penPixel);
        return true;
    }
    PaintSpan(b, ol, ot, orr, it, penPixel); // top
    PaintSpan(b, ol, ib, orr, ob, penPixel); // bottom
    PaintSpan(b, ol, it, il, ib, penPixel);  // left
    PaintSpan(b, ir, it, orr, ib, penPixel); // right
    if (!dc.brush.null)
        PaintSpan(b, il, it, ir, ib, ColourToPixel(dc.brush.colour));
    return true;
}

bool MoveToEx(Dc& dc, std::int32_t x, std::int32_t y, POINT* previous) {
    if (previous)
        *previous = dc.position;
    dc.position = {x, y};
    return true;
}

bool LineTo(Dc& dc, std::int32_t x, std::int32_t y) {
    const POINT from = dc.position;
    dc.position = {x, y};
    if (!dc.bitmap)
        return false;
    if (dc.pen.style == PS_NULL)
        return true;
    Bitmap& b = *dc.bitmap;
    const std::uint32_t pixel = ColourToPixel(dc.pen.colour);
    const std::int32_t w = std::max(dc.pen.width, 1);
    const std::int32_t half = w / 2;
    // Bresenham from `from` towards (x, y); the end point itself is not drawn.
    std::int64_t cx = from.x, cy = from.y;
    const std::int64_t ddx = std::abs(static_cast<std::int64_t>(x) - from.x);
    const std::int64_t ddy = -std::abs(static_cast<std::int64_t>(y) - from.y);
    const int stepX = from.x < x ? 1 : -1;
    const int stepY = from.y < y ? 1 : -1;
    std::int64_t error = ddx + ddy;
    while (cx != x || cy != y) {
        if (w == 1 && b.scale().identity()) {
            if (cx >= 0 && cy >= 0 && cx < b.width() && cy < b.height())
                b.row(static_cast<std::int32_t>(cy))[cx] = pixel;
        } else {
            PaintSpan(b, static_cast<std::int32_t>(cx) - half, static_cast<std::int32_t>(cy) - half,
                      static_cast<std::int32_t>(cx) - half + w, static_cast<std::int32_t>(cy) - half + w,
                      pixel);
        }
        const std::int64_t e2 = 2 * error;
        if (e2 >= ddy) {
            error += ddy;
            cx += stepX;
        }
        if (e2 <= ddx) {
            error += ddx;
            cy += stepY;
        }
    }
    return true;
}

COLORREF GetPixel(const Dc& dc, std::int32_t x, std::int32_t y) {
    if (!dc.bitmap)
        return CLR_INVALID;
    // The first device pixel of the logical one.
    const platform::DeviceScale scale = dc.bitmap->scale();
    x = scale.ToDevice(x);
    y = scale.ToDevice(y);
    if (x < 0 || y < 0 || x >= dc.bitmap->width() || y >= dc.bitmap->height())
        return CLR_INVALID;
    return PixelToColour(dc.bitmap->row(y)[x]);
}

COLORREF SetPixel(Dc& dc, std::int32_t x, std::int32_t y, COLORREF colour) {
    if (!dc.bitmap)
        return CLR_INVALID;
    const platform::DeviceScale scale = dc.bitmap->scale();
    const std::int32_t dx = scale.ToDevice(x), dy = scale.ToDevice(y);
    if (dx < 0 || dy < 0 || dx >= dc.bitmap->width() || dy >= dc.bitmap->height())
        return CLR_INVALID;
    PaintSpan(*dc.bitmap, x, y, x + 1, y + 1, ColourToPixel(colour));
    return colour;
}

RECT DeviceRect(const Bitmap& bitmap, const RECT& logical) {
    const platform::DeviceScale scale = bitmap.scale();
    return {scale.ToDevice(logical.left), scale.ToDevice(logical.top), scale.ToDevice(logical.right),
            scale.ToDevice(logical.bottom)};
}
