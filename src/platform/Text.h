#pragma once
// Fonts and single lines of text drawn into 32-bit pixels.
//
// A font is chosen as GDI's CreateFontW chooses one: by face name, height (a positive height is the
// cell height, ascent plus descent, in pixels; a negative one the character height without internal
// leading), weight (400 normal, 700 bold), italic and quality. Faces that are not installed resolve to
// the system's metric-compatible substitute ("Arial" to Liberation Sans on Linux), and characters the
// face lacks are drawn from fallback fonts, so text in any script shows. User-interface thread only.

#include "platform/DeviceScale.h"
#include "platform/WindowMessages.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// GDI font qualities.
enum : int {
    DEFAULT_QUALITY = 0,
    DRAFT_QUALITY = 1,
    PROOF_QUALITY = 2,
    NONANTIALIASED_QUALITY = 3,
    ANTIALIASED_QUALITY = 4,
    CLEARTYPE_QUALITY = 5,
};

struct FontRequest {
    std::u16string face = u"Arial";
    std::int32_t height = 0; // 0: the default of 16
    std::int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::int32_t quality = DEFAULT_QUALITY;
};

class Font {
public:
    // Null only when the text system itself is unusable.
    static std::unique_ptr<Font> Create(const FontRequest& request);
    virtual ~Font() = default;

    // Pixels: the cell height is ascent + descent (GDI's tmHeight).
    virtual std::int32_t ascent() const = 0;
    virtual std::int32_t descent() const = 0;
    std::int32_t cellHeight() const { return ascent() + descent(); }

    // Lays out one line (no line breaks inside). When `maxWidth` is not negative and the line is wider,
    // its end is replaced by an ellipsis so that it fits. `underlined` is the index of one UTF-16 unit to
    // underline (a mnemonic prefix), or -1. Answers the width in pixels; `ellipsized` tells whether the
    // ellipsis was needed. The last layout is kept, so Draw of the same line right after costs little.
    virtual std::int32_t Layout(std::u16string_view line, std::int32_t maxWidth, std::int32_t underlined,
                                bool* ellipsized) = 0;
    // Answers exactly what Layout(text, -1, -1, nullptr) answers, but fast for text made of characters
    // whose widths simply add up (the face's own Latin, Greek and Cyrillic letters, digits and
    // punctuation): their advances are measured once per font and summed. Other text is laid out in
    // full. `additive`, when given, tells whether the text was of that kind: such text drawn in one
    // piece puts every character exactly where drawing it piece by piece would. May replace the last
    // layout, so lay out again before drawing.
    virtual std::int32_t MeasureWidth(std::u16string_view text, bool* additive) = 0;
    // Draws the line last laid out with its cell's top-left corner at (x, top) in `colour` (0x00RRGGBB),
    // touching only pixels inside `clip` and `target`. `target` and `clip` are device pixels; x and top
    // are logical ones, multiplied by `scale`: the line keeps the layout measured in logical pixels and
    // its glyphs are drawn from their outlines at the device size, not stretched.
    virtual void DrawLastLayout(const PixelView& target, const Rect& clip, std::int32_t x, std::int32_t top,
                                std::uint32_t colour, DeviceScale scale) = 0;
};

} // namespace platform
