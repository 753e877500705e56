// DrawTextW and CreateFontW on top of the platform's line layout.

#include "ui/Gdi.h"

#include <algorithm>
#include <string>

namespace {

struct Line {
    std::u16string text;
    std::int32_t underlined = -1; // index of the mnemonic character, or -1
};

// Removes mnemonic markers: "&&" is a literal '&', "&x" underlines x.
Line StripPrefix(std::u16string_view text) {
    Line line;
    line.text.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != u'&' && line.underlined < 0)
                line.underlined = static_cast<std::int32_t>(line.text.size());
        } else if (text[i] == u'&') {
            continue; // a lone trailing marker shows nothing
        }
        line.text.push_back(text[i]);
    }
    return line;
}

std::vector<Line> SplitLines(std::u16string_view text, std::uint32_t format) {
    std::vector<Line> lines;
    auto add = [&](std::u16string_view part) {
        lines.push_back((format & DT_NOPREFIX) ? Line{std::u16string(part), -1} : StripPrefix(part));
    };
    if (format & DT_SINGLELINE) {
        add(text);
        return lines;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            add(text.substr(start, i - start));
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
    }
    add(text.substr(start));
    return lines;
}

// A bottom-up bitmap's pixels in a top-down copy for the time of drawing, written back at the end; a
// top-down bitmap itself.
class TopDownCanvas {
public:
    explicit TopDownCanvas(Bitmap& target) : target_(target) {
        if (!target.bottomUp())
            return;
        scratch_ = std::make_unique<Bitmap>(target.width(), target.height(), false, target.scale());
        for (std::int32_t r = 0; r < target.height(); ++r)
            std::copy(target.row(r), target.row(r) + target.width(), scratch_->row(r));
    }
    ~TopDownCanvas() {
        if (!scratch_)
            return;
        for (std::int32_t r = 0; r < target_.height(); ++r)
            std::copy(scratch_->row(r), scratch_->row(r) + target_.width(), target_.row(r));
    }
    TopDownCanvas(const TopDownCanvas&) = delete;
    TopDownCanvas& operator=(const TopDownCanvas&) = delete;
    Bitmap& get() { return scratch_ ? *scratch_ : target_; }

private:
    Bitmap& target_;
    std::unique_ptr<Bitmap> scratch_;
};

// The font's last layout into a top-down bitmap, clipped to the logical `clip`.
void DrawLine(Bitmap& canvas, platform::Font& font, const RECT& clip, std::int32_t x, std::int32_t top,
              std::uint32_t colour) {
    const platform::Rect device =
        IntersectRect(DeviceRect(canvas, clip), platform::Rect{0, 0, canvas.width(), canvas.height()});
    font.DrawLastLayout(canvas.view(), device, x, top, colour, canvas.scale());
}

} // namespace

std::unique_ptr<Font> CreateFontW(std::int32_t height, std::int32_t, std::int32_t, std::int32_t,
                                  std::int32_t weight, bool italic, bool underline, bool strikeOut,
                                  std::uint32_t, std::uint32_t, std::uint32_t, std::int32_t quality,
                                  std::uint32_t, std::u16string_view face) {
    platform::FontRequest request;
    request.face = std::u16string(face);
    request.height = height;
    request.weight = weight == 0 ? FW_NORMAL : weight;
    request.italic = italic;
    request.underline = underline;
    request.strikeOut = strikeOut;
    request.quality = quality;
    auto font = platform::Font::Create(request);
    if (!font)
        return nullptr;
    return std::make_unique<Font>(std::move(font));
}

int DrawTextW(Dc& dc, std::u16string_view text, RECT* rect, std::uint32_t format) {
    if (!rect)
        return 0;
    platform::Font* font = dc.TextFont();
    if (!font)
        return 0;
    const std::vector<Line> lines = SplitLines(text, format);
    const std::int32_t lineHeight = font->cellHeight();
    const std::int32_t textHeight = lineHeight * static_cast<std::int32_t>(lines.size());

    if (format & DT_CALCRECT) {
        std::int32_t widest = 0;
        for (const Line& line : lines)
            widest = std::max(widest, font->Layout(line.text, -1, line.underlined, nullptr));
        rect->right = rect->left + widest;
        rect->bottom = rect->top + textHeight;
        return textHeight;
    }

    const std::int32_t boxWidth = rect->right - rect->left;
    std::int32_t y = rect->top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
        y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
    else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM))
        y = rect->bottom - lineHeight;
    const int answer = (format & (DT_VCENTER | DT_BOTTOM)) && (format & DT_SINGLELINE)
                           ? y - rect->top + lineHeight
                           : textHeight;
    if (!dc.bitmap)
        return answer;

    const bool clip = (format & DT_NOCLIP) == 0;
    const bool ellipsis = (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) != 0;
    if (clip && (boxWidth <= 0 || rect->bottom <= rect->top))
        return answer;

    // Text in a bottom-up bitmap is drawn through a top-down copy, since the layout engine needs
    // rows in ascending memory order.
    Bitmap& target = *dc.bitmap;
    TopDownCanvas canvas(target);
    const platform::DeviceScale scale = target.scale();
    const platform::Rect bounds{0, 0, scale.ToLogicalEdge(target.width()),
                                scale.ToLogicalEdge(target.height())};
    const platform::Rect clipRect = clip ? platform::IntersectRect(*rect, bounds) : bounds;

    for (const Line& line : lines) {
        const std::int32_t width =
            font->Layout(line.text, ellipsis ? std::max(boxWidth, 0) : -1, line.underlined, nullptr);
        std::int32_t x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (boxWidth - width) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - width;
        if (dc.backgroundMode == OPAQUE && width > 0) {
            const platform::Rect cell = IntersectRect(
                DeviceRect(target, platform::IntersectRect(platform::Rect{x, y, x + width, y + lineHeight},
                                                           clipRect)),
                platform::Rect{0, 0, target.width(), target.height()});
            const std::uint32_t pixel = ColourToPixel(dc.backgroundColour);
            for (std::int32_t r = cell.top; r < cell.bottom; ++r)
                std::fill(canvas.get().row(r) + cell.left, canvas.get().row(r) + cell.right, pixel);
        }
        if (!line.text.empty())
            DrawLine(canvas.get(), *font, clipRect, x, y, ColourToPixel(dc.textColour));
        y += lineHeight;
    }
    return answer;
}

void DrawLaidOutLine(Dc& dc, platform::Font& font, const RECT& clip, std::int32_t x, std::int32_t top,
                     std::uint32_t colour) {
    if (!dc.bitmap)
        return;
    TopDownCanvas canvas(*dc.bitmap);
    DrawLine(canvas.get(), font, clip, x, top, colour);
}
