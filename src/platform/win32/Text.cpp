// Text with GDI: fonts from CreateFontW, lines measured with GetTextExtentPoint32W and drawn with
// ExtTextOutW into a DIB section that holds a copy of the target's pixels.
#include "platform/Text.h"
#include "platform/win32/Win32Handles.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

// A memory device context for measuring and drawing, with the font selected.
class MemoryDc {
public:
    MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {}
    ~MemoryDc() {
        if (dc_)
            DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

class GdiFont final : public Font {
public:
    GdiFont(HFONT font, std::int32_t ascent, std::int32_t descent)
        : font_(font), ascent_(ascent), descent_(descent) {
        SelectObject(dc_.get(), font_);
    }
    ~GdiFont() override {
        // The font is selected into this object's own context, which goes first.
        SelectObject(dc_.get(), GetStockObject(SYSTEM_FONT));
        DeleteObject(font_);
    }

    std::int32_t ascent() const override { return ascent_; }
    std::int32_t descent() const override { return descent_; }

    std::int32_t Layout(std::u16string_view line, std::int32_t maxWidth, std::int32_t underlined,
                        bool* ellipsized) override {
        text_ = WideString(line);
        underlined_ =
            underlined >= 0 && static_cast<std::size_t>(underlined) < text_.size() ? underlined : -1;
        bool cut = false;
        std::int32_t width = Measure(text_);
        if (maxWidth >= 0 && width > maxWidth) {
            // Drop characters from the end (a surrogate pair as one) until the rest and "…" fit.
            cut = true;
            std::wstring kept = text_;
            for (;;) {
                if (kept.empty()) {
                    text_ = Measure(L"\u2026") <= maxWidth ? L"\u2026" : L"";
                    break;
                }
                kept.pop_back();
                if (!kept.empty() && IS_HIGH_SURROGATE(kept.back()))
                    kept.pop_back();
                if (Measure(kept + L"\u2026") <= maxWidth) {
                    text_ = kept + L"\u2026";
                    break;
                }
            }
            if (underlined_ >= static_cast<std::int32_t>(text_.size()) - 1)
                underlined_ = -1;
            width = Measure(text_);
        }
        if (ellipsized)
            *ellipsized = cut;
        width_ = width;
        return width;
    }

    std::int32_t MeasureWidth(std::u16string_view text, bool* additive) override {
        std::int32_t sum = 0;
        bool adds = true;
        for (char16_t c : text) {
            const std::int32_t advance = Advance(c);
            if (advance < 0) {
                adds = false;
                break;
            }
            sum += advance;
        }
        if (additive)
            *additive = adds;
        // GDI lays a line out without kerning, so the face's own simple letters add up exactly.
        return adds ? sum : Measure(WideString(text));
    }

    void DrawLastLayout(const PixelView& target, const Rect& clip, std::int32_t x, std::int32_t top,
                        std::uint32_t colour, DeviceScale scale) override {
        // Windows' windows stay at 1x; a scaled target gets the line at its place, unscaled.
        x = scale.ToDevice(x);
        top = scale.ToDevice(top);
        // Glyphs may reach past their advance box (an italic's or an "f"'s overhang): the area drawn
        // is wider than the line by a margin, and only `clip` and the target limit it.
        const std::int32_t margin = ascent_ + descent_;
        const Rect area =
            IntersectRect(IntersectRect(clip, Rect{0, 0, target.width, target.height}),
                          Rect{x - margin, top, x + width_ + margin, top + ascent_ + descent_ + 1});
        if (area.empty() || text_.empty())
            return;
        // A top-down 32-bit DIB the size of the area, holding the target's pixels, drawn on, copied back.
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = area.width();
        info.bmiHeader.biHeight = -area.height();
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap)
            return;
        auto* pixels = static_cast<std::uint32_t*>(bits);
        const std::size_t rowBytes = static_cast<std::size_t>(area.width()) * 4;
        for (std::int32_t y = 0; y < area.height(); ++y)
            std::memcpy(pixels + static_cast<std::size_t>(y) * area.width(),
                        target.row(area.top + y) + area.left, rowBytes);
        HGDIOBJ previous = SelectObject(dc_.get(), bitmap);
        SetBkMode(dc_.get(), TRANSPARENT);
        const COLORREF textColour = RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
        SetTextColor(dc_.get(), textColour);
        SetTextAlign(dc_.get(), TA_TOP | TA_LEFT | TA_NOUPDATECP);
        GdiFlush();
        // Each character is placed at the integer advance the measuring reported, so a line drawn whole
        // puts every glyph exactly where drawing it piece by piece would.
        std::vector<INT> partial(text_.size());
        std::vector<INT> advances(text_.size());
        SIZE whole{};
        const bool placed = GetTextExtentExPointW(dc_.get(), text_.c_str(), static_cast<int>(text_.size()), 0,
                                                  nullptr, partial.data(), &whole) != FALSE;
        for (std::size_t i = 0; placed && i < text_.size(); ++i)
            advances[i] = partial[i] - (i > 0 ? partial[i - 1] : 0);
        ExtTextOutW(dc_.get(), x - area.left, top - area.top, 0, nullptr, text_.c_str(),
                    static_cast<UINT>(text_.size()), placed ? advances.data() : nullptr);
        if (underlined_ >= 0) {
            const std::int32_t before = Measure(text_.substr(0, static_cast<std::size_t>(underlined_)));
            const std::int32_t through = Measure(text_.substr(0, static_cast<std::size_t>(underlined_) + 1));
            RECT line{x - area.left + before, top - area.top + ascent_ + 1, x - area.left + through,
                      top - area.top + ascent_ + 2};
            HBRUSH brush = CreateSolidBrush(textColour);
            FillRect(dc_.get(), &line, brush);
            DeleteObject(brush);
        }
        GdiFlush();
        SelectObject(dc_.get(), previous);
        // GDI leaves the alpha byte of the pixels it touched at 0; the target's alpha stays as it was.
        for (std::int32_t y = 0; y < area.height(); ++y) {
            std::uint32_t* to = target.row(area.top + y) + area.left;
            const std::uint32_t* from = pixels + static_cast<std::size_t>(y) * area.width();
            for (std::int32_t i = 0; i < area.width(); ++i)
                to[i] = (to[i] & 0xFF000000u) | (from[i] & 0x00FFFFFFu);
        }
        DeleteObject(bitmap);
    }

private:
    // The advance of a character of a simple script that the face itself has, measured once; -1 for
    // any other character (another script, a combining mark, or one drawn from a linked font).
    std::int32_t Advance(char16_t c) {
        const bool simple = (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c < 0x250) ||
                            (c >= 0x370 && c < 0x3E2) || (c >= 0x400 && c < 0x482) ||
                            (c >= 0x48A && c < 0x530) || (c >= 0x2010 && c < 0x2028) ||
                            (c >= 0x20A0 && c < 0x20C0);
        if (!simple)
            return -1;
        if (auto found = advances_.find(c); found != advances_.end())
            return found->second;
        const wchar_t character = static_cast<wchar_t>(c);
        WORD glyph = 0xFFFF;
        std::int32_t advance = -1;
        if (GetGlyphIndicesW(dc_.get(), &character, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 &&
            glyph != 0xFFFF)
            advance = Measure(std::wstring(1, character));
        advances_.emplace(c, advance);
        return advance;
    }

    std::int32_t Measure(const std::wstring& text) {
        SIZE size{};
        if (text.empty() ||
            !GetTextExtentPoint32W(dc_.get(), text.c_str(), static_cast<int>(text.size()), &size))
            return 0;
        return size.cx;
    }

    MemoryDc dc_;
    HFONT font_;
    std::int32_t ascent_;
    std::int32_t descent_;
    std::unordered_map<char16_t, std::int32_t> advances_;
    std::wstring text_;
    std::int32_t underlined_ = -1;
    std::int32_t width_ = 0;
};

} // namespace

std::unique_ptr<Font> Font::Create(const FontRequest& request) {
    const int height = request.height == 0 ? 16 : request.height;
    std::u16string face = request.face.substr(0, LF_FACESIZE - 1);
    HFONT font = CreateFontW(height, 0, 0, 0, request.weight, request.italic, request.underline,
                             request.strikeOut, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             static_cast<DWORD>(request.quality), DEFAULT_PITCH | FF_DONTCARE, Wide(face));
    if (!font)
        return nullptr;
    MemoryDc dc;
    HGDIOBJ previous = SelectObject(dc.get(), font);
    TEXTMETRICW metrics{};
    BOOL measured = GetTextMetricsW(dc.get(), &metrics);
    SelectObject(dc.get(), previous);
    if (!measured) {
        DeleteObject(font);
        return nullptr;
    }
    return std::make_unique<GdiFont>(font, metrics.tmAscent, metrics.tmDescent);
}

} // namespace platform
