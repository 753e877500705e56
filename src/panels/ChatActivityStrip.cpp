#include "panels/ChatActivityStrip.h"

#include <algorithm>

std::vector<std::uint32_t> CountChatMessages(const StreamChatRowList& rows, std::uint32_t duration,
                                             std::int32_t pixels) {
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(std::max(pixels, 0)), 0);
    if (counts.empty() || duration == 0)
        return counts;
    const std::int64_t last = pixels - 1;
    for (const StreamChatRow& row : rows) {
        if (row.kind != StreamChatRowKind_Message && row.kind != StreamChatRowKind_Action)
            continue;
        const std::int64_t t = static_cast<std::int64_t>(row.time) * pixels / duration;
        ++counts[static_cast<std::size_t>(std::clamp<std::int64_t>(t, 0, last))];
    }
    return counts;
}

void DrawChatActivityStrip(MySurface& bar, const std::vector<std::uint32_t>& counts, std::int32_t firstX) {
    if (!bar.bitmap || counts.empty())
        return;
    const std::uint32_t most = *std::max_element(counts.begin(), counts.end());
    if (most == 0)
        return;
    Bitmap& bitmap = *bar.bitmap;
    // Columns and rows are logical pixels; each covers its device pixels at the bar's scale.
    const platform::DeviceScale scale = bitmap.scale();
    const std::uint32_t colour = ColourToPixel(kActivityColour);
    const std::int32_t top = std::max(scale.ToDevice(kActivityStripTop), 0);
    const std::int32_t bottom =
        std::min(scale.ToDevice(kActivityStripTop + kActivityStripHeight), bitmap.height());
    for (std::size_t t = 0; t < counts.size(); ++t) {
        const std::int32_t logicalX = firstX + static_cast<std::int32_t>(t);
        const std::int32_t left = std::max(scale.ToDevice(logicalX), 0);
        const std::int32_t right = std::min(scale.ToDevice(logicalX + 1), bitmap.width());
        if (counts[t] == 0 || left >= right)
            continue;
        // From about the least alpha for one message up to full strength for the busiest span.
        const std::uint32_t alpha =
            kActivityLeastAlpha + static_cast<std::uint32_t>((255u - kActivityLeastAlpha) *
                                                             static_cast<std::uint64_t>(counts[t]) / most);
        for (std::int32_t y = top; y < bottom; ++y) {
            for (std::int32_t x = left; x < right; ++x) {
                std::uint32_t& pixel = bitmap.row(y)[x];
                std::uint32_t out = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    const std::uint32_t under = (pixel >> shift) & 0xFF;
                    const std::uint32_t over = (colour >> shift) & 0xFF;
                    out |= ((over * alpha + under * (255 - alpha) + 127) / 255) << shift;
                }
                pixel = (pixel & 0xFF000000u) | out;
            }
        }
    }
}
