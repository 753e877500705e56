#pragma once
// The drawing vocabulary of the user interface: rectangles, colours, 32-bit bitmaps, device contexts
// with their selected font, pen, brush and text state, and the raster operations the controls use.
// The functions keep the names, arguments and pixel results of their GDI counterparts; every
// operation is clipped to the destination bitmap (and reads only inside the source bitmap), so no
// call can touch memory outside a bitmap.
//
// Pixels are 32-bit 0xAARRGGBB words, as a 32-bit DIB holds them; a COLORREF is 0x00BBGGRR.
// User-interface thread only.
//
// Device scale: a bitmap holds device pixels at a scale (platform/DeviceScale.h), and every coordinate,
// size and pen width the functions take is in logical pixels, multiplied by the bitmap's scale on the
// way in. A bitmap made compatible with a context takes that context's scale; at 1x (every bitmap made
// without a reference) a logical pixel is a device pixel and nothing changes. Text is laid out in
// logical pixels and its glyphs drawn at the device scale, so it stays sharp.

#include "platform/DeviceScale.h"
#include "platform/Text.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

using COLORREF = std::uint32_t;

constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned GetRValue(COLORREF c) {
    return c & 0xFFu;
}
constexpr unsigned GetGValue(COLORREF c) {
    return (c >> 8) & 0xFFu;
}
constexpr unsigned GetBValue(COLORREF c) {
    return (c >> 16) & 0xFFu;
}
// A COLORREF as a pixel word (alpha 0, as GDI writes it) and back.
constexpr std::uint32_t ColourToPixel(COLORREF c) {
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}
constexpr COLORREF PixelToColour(std::uint32_t p) {
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

// The window layer's point and rectangle are GDI's POINT and RECT (right and bottom exclusive).
using POINT = platform::Point;
using RECT = platform::Rect;

inline bool IsRectEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}
inline bool PtInRect(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// Raster operations.
enum : std::uint32_t {
    SRCCOPY = 0x00CC0020,
    SRCAND = 0x008800C6,
    SRCPAINT = 0x00EE0086,
};

// AlphaBlend.
enum : std::uint8_t { AC_SRC_OVER = 0x00, AC_SRC_ALPHA = 0x01 };
struct BLENDFUNCTION {
    std::uint8_t BlendOp = AC_SRC_OVER;
    std::uint8_t BlendFlags = 0;
    std::uint8_t SourceConstantAlpha = 255;
    std::uint8_t AlphaFormat = 0;
};

// Pens, brushes, background modes.
enum : int { PS_SOLID = 0, PS_NULL = 5 };
enum : int { TRANSPARENT = 1, OPAQUE = 2 };

// DrawTextW formats.
enum : std::uint32_t {
    DT_TOP = 0x00000000,
    DT_LEFT = 0x00000000,
    DT_CENTER = 0x00000001,
    DT_RIGHT = 0x00000002,
    DT_VCENTER = 0x00000004,
    DT_BOTTOM = 0x00000008,
    DT_WORDBREAK = 0x00000010,
    DT_SINGLELINE = 0x00000020,
    DT_NOCLIP = 0x00000100,
    DT_CALCRECT = 0x00000400,
    DT_NOPREFIX = 0x00000800,
    DT_END_ELLIPSIS = 0x00008000,
    DT_WORD_ELLIPSIS = 0x00040000,
};

// CreateFontW arguments the program passes.
enum : int { FW_NORMAL = 400, FW_BOLD = 700 };
enum : std::uint32_t { DEFAULT_CHARSET = 1, OUT_DEVICE_PRECIS = 5 };
using platform::ANTIALIASED_QUALITY;
using platform::DEFAULT_QUALITY;
using platform::NONANTIALIASED_QUALITY;

// A 32-bit bitmap (a compatible bitmap or a DIB section). Rows are stored top-down unless the bitmap was
// made bottom-up (a DIB section of positive height), in which case `bits` starts with the bottom row.
// Its width, height, rows and bits are device pixels.
class Bitmap {
public:
    Bitmap(std::int32_t width, std::int32_t height, bool bottomUp, platform::DeviceScale scale = {});
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    bool bottomUp() const { return bottomUp_; }
    platform::DeviceScale scale() const { return scale_; }
    // For an image scaled smoothly to a fractional scale: the same image scaled by repeating pixels,
    // which StretchBlt reads when it spreads a single logical column or row, so that the piece keeps
    // its exact colour instead of a blend with its neighbours in the skin. Null otherwise.
    const Bitmap* exactPixels() const { return exact_.get(); }
    void SetExactPixels(std::unique_ptr<Bitmap> exact) { exact_ = std::move(exact); }
    // The memory in DIB order.
    std::uint32_t* bits() { return pixels_.data(); }
    std::uint32_t* row(std::int32_t y) {
        return pixels_.data() + static_cast<std::size_t>(bottomUp_ ? height_ - 1 - y : y) * width_;
    }
    const std::uint32_t* row(std::int32_t y) const {
        return pixels_.data() + static_cast<std::size_t>(bottomUp_ ? height_ - 1 - y : y) * width_;
    }
    platform::PixelView view();

private:
    std::int32_t width_;
    std::int32_t height_;
    bool bottomUp_;
    platform::DeviceScale scale_;
    std::vector<std::uint32_t> pixels_;
    std::unique_ptr<Bitmap> exact_;
};

// An HFONT: made once with CreateFontW and kept by its control.
class Font {
public:
    explicit Font(std::unique_ptr<platform::Font> font) : font_(std::move(font)) {}
    platform::Font* get() const { return font_.get(); }

private:
    std::unique_ptr<platform::Font> font_;
};

struct Pen {
    int style = PS_SOLID;
    std::int32_t width = 1;
    COLORREF colour = 0;
};

struct Brush {
    COLORREF colour = 0xFFFFFF;
    bool null = false; // the hollow brush: nothing is filled
};

// A memory device context: the selected bitmap (not owned) and the drawing state, with GDI's defaults
// (black text on an opaque white background, a black 1-pixel pen, a white brush).
class Dc {
public:
    Dc() = default;
    Dc(const Dc&) = delete;
    Dc& operator=(const Dc&) = delete;

    // Back to a fresh context with no bitmap.
    void Reset();

    Bitmap* bitmap = nullptr;
    Font* font = nullptr; // null: a default font made on first use
    COLORREF textColour = 0x000000;
    COLORREF backgroundColour = 0xFFFFFF;
    int backgroundMode = OPAQUE;
    Pen pen;
    Brush brush;
    POINT position;

    platform::Font* TextFont();
    // The selected bitmap's scale; 1x without one.
    platform::DeviceScale scale() const { return bitmap ? bitmap->scale() : platform::DeviceScale{}; }

private:
    std::unique_ptr<Font> defaultFont_;
};

// Keeps a context's drawing state (font, text and background colours, background mode, pen and brush)
// and puts it back when it goes, as SaveDC and RestoreDC around a paint do. The selected bitmap and the
// current position are not part of it.
class SavedDcState {
public:
    explicit SavedDcState(Dc& dc)
        : dc_(dc), font_(dc.font), textColour_(dc.textColour), backgroundColour_(dc.backgroundColour),
          backgroundMode_(dc.backgroundMode), pen_(dc.pen), brush_(dc.brush) {}
    ~SavedDcState() {
        dc_.font = font_;
        dc_.textColour = textColour_;
        dc_.backgroundColour = backgroundColour_;
        dc_.backgroundMode = backgroundMode_;
        dc_.pen = pen_;
        dc_.brush = brush_;
    }
    SavedDcState(const SavedDcState&) = delete;
    SavedDcState& operator=(const SavedDcState&) = delete;

private:
    Dc& dc_;
    Font* font_;
    COLORREF textColour_;
    COLORREF backgroundColour_;
    int backgroundMode_;
    Pen pen_;
    Brush brush_;
};

// Objects and state.
Bitmap* SelectObject(Dc& dc, Bitmap* bitmap);
Font* SelectObject(Dc& dc, Font* font);
Pen SelectObject(Dc& dc, const Pen& pen);
Brush SelectObject(Dc& dc, const Brush& brush);
inline Pen CreatePen(int style, std::int32_t width, COLORREF colour) {
    return Pen{style, width, colour};
}
inline Brush CreateSolidBrush(COLORREF colour) {
    return Brush{colour, false};
}
inline Brush HollowBrush() {
    return Brush{0, true};
}
COLORREF SetTextColor(Dc& dc, COLORREF colour);
COLORREF SetBkColor(Dc& dc, COLORREF colour);
int SetBkMode(Dc& dc, int mode);

// CreateFontW with the arguments the program uses; the others (width, escapement, orientation, charset,
// precisions, pitch) have no effect here.
std::unique_ptr<Font> CreateFontW(std::int32_t height, std::int32_t width, std::int32_t escapement,
                                  std::int32_t orientation, std::int32_t weight, bool italic, bool underline,
                                  bool strikeOut, std::uint32_t charset, std::uint32_t outPrecision,
                                  std::uint32_t clipPrecision, std::int32_t quality,
                                  std::uint32_t pitchAndFamily, std::u16string_view face);

// A compatible bitmap (top-down, contents zero) and a 32-bit DIB section; a positive height makes it
// bottom-up. Both take the reference's scale (1x without one), so they hold the logical size times the
// scale in device pixels. Null for a size below 1 or above 32767 pixels.
std::unique_ptr<Bitmap> CreateCompatibleBitmap(const Dc* reference, std::int32_t width, std::int32_t height);
std::unique_ptr<Bitmap> CreateScaledBitmap(platform::DeviceScale scale, std::int32_t width,
                                           std::int32_t height);
std::unique_ptr<Bitmap> CreateDIBSection(const Dc* reference, std::int32_t width, std::int32_t height,
                                         std::uint32_t** bits);

// Raster operations.
bool BitBlt(Dc& dst, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, const Dc& src,
            std::int32_t srcX, std::int32_t srcY, std::uint32_t rop);
// Nearest-pixel scaling; a negative width or height mirrors along that axis.
bool StretchBlt(Dc& dst, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                const Dc& src, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                std::int32_t srcHeight, std::uint32_t rop);
// With AC_SRC_ALPHA the source is taken as premultiplied, as GDI does: per channel
// dst = src + dst * (255 - srcAlpha) / 255, rounded, and held at 255 where an unpremultiplied source
// would carry past it.
bool AlphaBlend(Dc& dst, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                const Dc& src, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                std::int32_t srcHeight, BLENDFUNCTION blend);
int FillRect(Dc& dc, const RECT& rect, const Brush& brush);
// Outlines with the selected pen and fills the inside with the selected brush. A pen of width w lies
// w / 2 pixels outside the rectangle's edges and the rest inside, so a 1-pixel pen draws on the
// rectangle's own outermost pixels and Rectangle(l + w/2, t + w/2, r - w/2, b - w/2) frames (l, t, r, b)
// with a border exactly w pixels wide.
bool Rectangle(Dc& dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
bool MoveToEx(Dc& dc, std::int32_t x, std::int32_t y, POINT* previous);
// Draws from the current position up to, not including, (x, y) with the selected pen, and moves there.
bool LineTo(Dc& dc, std::int32_t x, std::int32_t y);
// CLR_INVALID outside the bitmap.
COLORREF GetPixel(const Dc& dc, std::int32_t x, std::int32_t y);
COLORREF SetPixel(Dc& dc, std::int32_t x, std::int32_t y, COLORREF colour);

// DrawTextW: draws or measures `text` in `rect` with the selected font, text colour and background.
// Lines break at CR LF (and a lone CR or LF) unless DT_SINGLELINE; text is clipped to `rect` unless
// DT_NOCLIP; '&' marks a mnemonic unless DT_NOPREFIX. Both ellipsis formats shorten a line that does not
// fit at its end. DT_CALCRECT only measures: `rect`'s right and bottom become the extent of the text.
// Answers the height of the text (with DT_VCENTER or DT_BOTTOM, the offset of its bottom from the top).
int DrawTextW(Dc& dc, std::u16string_view text, RECT* rect, std::uint32_t format);

// Draws the line `font` last laid out with its cell's top-left corner at (x, top), touching only `clip`
// (all logical pixels), in `colour` (a pixel word), at the context's scale.
void DrawLaidOutLine(Dc& dc, platform::Font& font, const RECT& clip, std::int32_t x, std::int32_t top,
                     std::uint32_t colour);

// The device pixels of a logical rectangle in `bitmap`: each edge multiplied by its scale.
RECT DeviceRect(const Bitmap& bitmap, const RECT& logical);
