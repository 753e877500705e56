// Text with Pango and Cairo, drawn straight into the caller's pixels. Fontconfig picks the face
// (aliases map "Arial" to a metric-compatible face) and the fallback fonts for missing characters.

#include "platform/Text.h"

#include "platform/Utf.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <array>
#include <cmath>
#include <string>
#include <unordered_map>

namespace platform {

namespace {

template <typename T, void (*Free)(T*)> struct Deleter {
    void operator()(T* p) const { Free(p); }
};
void UnrefObject(void* p) {
    g_object_unref(p);
}
using ContextPtr = std::unique_ptr<PangoContext, Deleter<void, UnrefObject>>;
using LayoutPtr = std::unique_ptr<PangoLayout, Deleter<void, UnrefObject>>;
using DescriptionPtr =
    std::unique_ptr<PangoFontDescription, Deleter<PangoFontDescription, pango_font_description_free>>;
using MetricsPtr = std::unique_ptr<PangoFontMetrics, Deleter<PangoFontMetrics, pango_font_metrics_unref>>;
using SurfacePtr = std::unique_ptr<cairo_surface_t, Deleter<cairo_surface_t, cairo_surface_destroy>>;
using CairoPtr = std::unique_ptr<cairo_t, Deleter<cairo_t, cairo_destroy>>;
using OptionsPtr =
    std::unique_ptr<cairo_font_options_t, Deleter<cairo_font_options_t, cairo_font_options_destroy>>;
using AttrListPtr = std::unique_ptr<PangoAttrList, Deleter<PangoAttrList, pango_attr_list_unref>>;

constexpr std::int32_t kDefaultCellHeight = 16; // pixels, for a requested height of 0

// Characters whose advances add up when the face has them: no shaping, no combining, no direction
// of their own beyond left to right. Everything else (marks, CJK, emoji, right-to-left scripts,
// controls, invisible formatting) is laid out in full.
bool MayAddUp(char16_t c) {
    if (c >= 0x20 && c <= 0x7E)
        return true;
    if (c >= 0xA0 && c <= 0x24F)
        return c != 0xAD; // the soft hyphen shows only at a break
    if (c >= 0x370 && c <= 0x3FF)
        return c != 0x37A && !(c >= 0x384 && c <= 0x385); // Greek without its combining forms
    if (c >= 0x400 && c <= 0x52F)
        return !(c >= 0x483 && c <= 0x489); // Cyrillic without its combining marks
    if (c >= 0x2010 && c <= 0x2027)
        return true;
    if (c >= 0x2030 && c <= 0x205E)
        return true;
    if (c >= 0x20A0 && c <= 0x20BF)
        return true; // currency signs
    return false;
}

// Kerning and optional ligatures off, as GDI's DrawTextW draws: widths of pieces add up to the width
// of the whole.
constexpr const char* kFontFeatures = "kern 0, liga 0";

// Full layouts of non-additive pieces kept per font; chat repeats its emoji and words.
constexpr std::size_t kMaxCachedPieces = 8192;
constexpr std::size_t kMaxCachedPieceLength = 64; // UTF-16 units

// Pango's ascent and descent of `description` at its current size, in Pango units.
bool ReadMetrics(PangoContext* context, const PangoFontDescription* description, int& ascent, int& descent) {
    MetricsPtr metrics(pango_context_get_metrics(context, description, nullptr));
    if (!metrics)
        return false;
    ascent = pango_font_metrics_get_ascent(metrics.get());
    descent = pango_font_metrics_get_descent(metrics.get());
    return ascent + descent > 0;
}

class PangoFont : public Font {
public:
    PangoFont(ContextPtr context, LayoutPtr layout, std::int32_t ascent, std::int32_t descent, bool underline,
              bool strikeOut, ::PangoFont* primary)
        : context_(std::move(context)), layout_(std::move(layout)), ascent_(ascent), descent_(descent),
          underline_(underline), strikeOut_(strikeOut), primary_(primary) {}
    ~PangoFont() override {
        if (primary_)
            g_object_unref(primary_);
    }
    PangoFont(const PangoFont&) = delete;
    PangoFont& operator=(const PangoFont&) = delete;

    std::int32_t MeasureWidth(std::u16string_view text, bool* additive) override {
        std::int32_t sum = 0;
        bool adds = true;
        for (char16_t c : text) {
            const std::int16_t advance = Advance(c);
            if (advance < 0) {
                adds = false;
                break;
            }
            sum += advance;
        }
        if (additive)
            *additive = adds;
        if (adds)
            return sum;
        if (text.size() <= kMaxCachedPieceLength) {
            std::u16string key(text);
            if (auto found = pieces_.find(key); found != pieces_.end())
                return found->second;
            const std::int32_t width = Layout(text, -1, -1, nullptr);
            if (pieces_.size() >= kMaxCachedPieces)
                pieces_.clear();
            pieces_.emplace(std::move(key), width);
            return width;
        }
        return Layout(text, -1, -1, nullptr);
    }

    std::int32_t ascent() const override { return ascent_; }
    std::int32_t descent() const override { return descent_; }

    std::int32_t Layout(std::u16string_view line, std::int32_t maxWidth, std::int32_t underlined,
                        bool* ellipsized) override {
        if (!valid_ || line != lastLine_ || maxWidth != lastMaxWidth_ || underlined != lastUnderlined_) {
            lastLine_.assign(line);
            lastMaxWidth_ = maxWidth;
            lastUnderlined_ = underlined;
            valid_ = true;
            Apply(line, maxWidth, underlined);
        }
        if (ellipsized)
            *ellipsized = lastEllipsized_;
        return lastWidth_;
    }

    void DrawLastLayout(const PixelView& target, const Rect& clip, std::int32_t x, std::int32_t top,
                        std::uint32_t colour, DeviceScale scale) override {
        if (!valid_ || target.stride <= 0)
            return;
        const Rect area = IntersectRect(clip, Rect{0, 0, target.width, target.height});
        if (area.empty())
            return;
        // A surface over just the clip area, so nothing outside it can be touched.
        auto* data = reinterpret_cast<unsigned char*>(target.row(area.top) + area.left);
        SurfacePtr surface(cairo_image_surface_create_for_data(data, CAIRO_FORMAT_RGB24, area.width(),
                                                               area.height(), target.stride * 4));
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
            return;
        CairoPtr cr(cairo_create(surface.get()));
        cairo_set_source_rgb(cr.get(), ((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0,
                             (colour & 0xFF) / 255.0);
        PangoLayoutLine* first = pango_layout_get_line_readonly(layout_.get(), 0);
        if (!first)
            return;
        if (scale.identity()) {
            cairo_move_to(cr.get(), x - area.left, top - area.top + ascent_);
        } else {
            // The logical layout under a device transform: Cairo draws each glyph from its outline at the
            // device size, where the logical layout puts it.
            cairo_translate(cr.get(), -area.left, -area.top);
            cairo_scale(cr.get(), scale.factor(), scale.factor());
            cairo_move_to(cr.get(), x, top + ascent_);
        }
        pango_cairo_show_layout_line(cr.get(), first);
        cairo_surface_flush(surface.get());
    }

private:
    // The advance of `c` in pixels when it adds up, else -1; measured once per character.
    std::int16_t Advance(char16_t c) {
        auto& page = advances_[c >> 8];
        if (!page) {
            page = std::make_unique<std::array<std::int16_t, 256>>();
            page->fill(kUnknown);
        }
        std::int16_t& slot = (*page)[c & 0xFF];
        if (slot == kUnknown) {
            slot = -1;
            if (MayAddUp(c) && primary_ && pango_font_has_char(primary_, c)) {
                const std::int32_t width = Layout(std::u16string_view(&c, 1), -1, -1, nullptr);
                if (width >= 0 && width < 0x7FFF)
                    slot = static_cast<std::int16_t>(width);
            }
        }
        return slot;
    }

    void Apply(std::u16string_view line, std::int32_t maxWidth, std::int32_t underlined) {
        // Line breaks are not this function's business; they would start new Pango lines.
        std::u16string flat(line);
        for (char16_t& c : flat) {
            if (c == u'\r' || c == u'\n')
                c = u' ';
        }
        std::string utf8;
        int underlineStart = -1;
        int underlineEnd = -1;
        if (underlined >= 0 && underlined < static_cast<std::int32_t>(flat.size())) {
            const std::size_t unitEnd = static_cast<std::size_t>(underlined) +
                                        ((flat[underlined] >= 0xD800 && flat[underlined] < 0xDC00) ? 2 : 1);
            underlineStart =
                static_cast<int>(Utf16ToUtf8(std::u16string_view(flat).substr(0, underlined)).size());
            underlineEnd = static_cast<int>(
                Utf16ToUtf8(std::u16string_view(flat).substr(0, std::min(unitEnd, flat.size()))).size());
        }
        utf8 = Utf16ToUtf8(flat);
        pango_layout_set_text(layout_.get(), utf8.data(), static_cast<int>(utf8.size()));

        AttrListPtr attributes(pango_attr_list_new());
        pango_attr_list_insert(attributes.get(), pango_attr_font_features_new(kFontFeatures));
        if (underline_)
            pango_attr_list_insert(attributes.get(), pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        if (strikeOut_)
            pango_attr_list_insert(attributes.get(), pango_attr_strikethrough_new(TRUE));
        if (underlineStart >= 0) {
            PangoAttribute* mark = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
            mark->start_index = static_cast<guint>(underlineStart);
            mark->end_index = static_cast<guint>(underlineEnd);
            pango_attr_list_insert(attributes.get(), mark);
        }
        pango_layout_set_attributes(layout_.get(), attributes.get());

        if (maxWidth >= 0) {
            pango_layout_set_width(layout_.get(), maxWidth * PANGO_SCALE);
            pango_layout_set_ellipsize(layout_.get(), PANGO_ELLIPSIZE_END);
        } else {
            pango_layout_set_width(layout_.get(), -1);
            pango_layout_set_ellipsize(layout_.get(), PANGO_ELLIPSIZE_NONE);
        }
        PangoRectangle logical{};
        PangoLayoutLine* first = pango_layout_get_line_readonly(layout_.get(), 0);
        if (first)
            pango_layout_line_get_pixel_extents(first, nullptr, &logical);
        lastWidth_ = logical.width;
        lastEllipsized_ = maxWidth >= 0 && pango_layout_is_ellipsized(layout_.get());
        if (maxWidth >= 0 && lastWidth_ > maxWidth)
            lastWidth_ = maxWidth;
    }

    ContextPtr context_;
    LayoutPtr layout_;
    std::int32_t ascent_;
    std::int32_t descent_;
    bool underline_;
    bool strikeOut_;

    bool valid_ = false;
    std::u16string lastLine_;
    std::int32_t lastMaxWidth_ = -1;
    std::int32_t lastUnderlined_ = -1;
    std::int32_t lastWidth_ = 0;
    bool lastEllipsized_ = false;

    static constexpr std::int16_t kUnknown = -2;
    // The face chosen for the font's description; characters it lacks come from fallbacks.
    ::PangoFont* primary_;
    std::array<std::unique_ptr<std::array<std::int16_t, 256>>, 256> advances_;
    std::unordered_map<std::u16string, std::int32_t> pieces_;
};

} // namespace

std::unique_ptr<Font> Font::Create(const FontRequest& request) {
    PangoFontMap* map = pango_cairo_font_map_get_default();
    if (!map)
        return nullptr;
    ContextPtr context(pango_font_map_create_context(map));
    if (!context)
        return nullptr;

    OptionsPtr options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), request.quality == NONANTIALIASED_QUALITY
                                                        ? CAIRO_ANTIALIAS_NONE
                                                        : CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_SLIGHT);
    // Whole-pixel advances, as GDI's, so that measured widths add up.
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(context.get(), options.get());

    DescriptionPtr description(pango_font_description_new());
    const std::string family = Utf16ToUtf8(request.face.empty() ? std::u16string(u"Arial") : request.face);
    pango_font_description_set_family(description.get(), family.c_str());
    pango_font_description_set_weight(
        description.get(),
        static_cast<PangoWeight>(request.weight <= 0 ? 400 : std::min(request.weight, 1000)));
    pango_font_description_set_style(description.get(),
                                     request.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);

    // Measure the face at a reference size, then scale so that the cell (or the em, for a negative
    // height) has the requested number of pixels.
    constexpr int kReference = 256; // pixels
    pango_font_description_set_absolute_size(description.get(), kReference * PANGO_SCALE);
    int refAscent = 0;
    int refDescent = 0;
    if (!ReadMetrics(context.get(), description.get(), refAscent, refDescent))
        return nullptr;
    const double refCell = static_cast<double>(refAscent + refDescent) / PANGO_SCALE;
    double emPixels;
    std::int32_t cell;
    if (request.height < 0) {
        emPixels = -request.height;
        cell = static_cast<std::int32_t>(std::lround(emPixels * refCell / kReference));
    } else {
        cell = request.height == 0 ? kDefaultCellHeight : request.height;
        emPixels = cell * kReference / refCell;
    }
    pango_font_description_set_absolute_size(description.get(), emPixels * PANGO_SCALE);
    const double ascentShare = static_cast<double>(refAscent) / (refAscent + refDescent);
    std::int32_t ascent = static_cast<std::int32_t>(std::lround(cell * ascentShare));
    if (cell > 0 && ascent >= cell)
        ascent = cell - 1;

    LayoutPtr layout(pango_layout_new(context.get()));
    if (!layout)
        return nullptr;
    pango_layout_set_font_description(layout.get(), description.get());
    pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    ::PangoFont* primary = pango_context_load_font(context.get(), description.get());
    return std::make_unique<PangoFont>(std::move(context), std::move(layout), ascent, cell - ascent,
                                       request.underline, request.strikeOut, primary);
}

} // namespace platform
