#pragma once
// Shared by the play control and station chooser tests: a skin bitmap's pixels read straight from the
// built-in resource, to compare what the panels draw against.

#include "platform/Resources.h"
#include "ui/BitmapFile.h"

#include <gtest/gtest.h>

namespace paneltest {

class SkinImage {
public:
    explicit SkinImage(int resource) { loaded = DecodeBmp(platform::FindResource(resource), image); }
    std::uint32_t at(std::int32_t x, std::int32_t y) const {
        return image.pixels[static_cast<std::size_t>(y) * image.width + x] & 0xFFFFFF;
    }
    // True when two skin columns differ somewhere in rows [top, bottom).
    bool ColumnsDiffer(std::int32_t a, std::int32_t b, std::int32_t top, std::int32_t bottom) const {
        for (std::int32_t y = top; y < bottom; ++y) {
            if (at(a, y) != at(b, y))
                return true;
        }
        return false;
    }
    DecodedImage image;
    bool loaded = false;
};

} // namespace paneltest
