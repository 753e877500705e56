#include "ui/ScaledImage.h"

#include <algorithm>
#include <cmath>

namespace {

// Each device pixel takes the logical pixel that holds it, as the raster operations map edges, so a
// piece's device span holds only that piece's pixels.
DecodedImage Nearest(const DecodedImage& image, platform::DeviceScale scale) {
    DecodedImage out;
    out.width = scale.ToDevice(image.width);
    out.height = scale.ToDevice(image.height);
    out.pixels.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (std::int32_t y = 0; y < out.height; ++y) {
        const std::int32_t sy = std::min(scale.ToLogical(y), image.height - 1);
        const std::uint32_t* in = image.pixels.data() + static_cast<std::size_t>(sy) * image.width;
        std::uint32_t* row = out.pixels.data() + static_cast<std::size_t>(y) * out.width;
        for (std::int32_t x = 0; x < out.width; ++x)
            row[x] = in[std::min(scale.ToLogical(x), image.width - 1)];
    }
    return out;
}

// Where a device pixel's centre falls between two source pixel centres: the lower index and the weight
// of the upper one, in 1/256.
struct Tap {
    std::int32_t index = 0;
    std::uint32_t weight = 0;
};

std::vector<Tap> Taps(std::int32_t source, std::int32_t device) {
    std::vector<Tap> taps(static_cast<std::size_t>(device));
    for (std::int32_t i = 0; i < device; ++i) {
        const double centre = (i + 0.5) * source / device - 0.5;
        const double clamped = std::clamp(centre, 0.0, static_cast<double>(source - 1));
        const auto low = static_cast<std::int32_t>(std::floor(clamped));
        const auto weight = static_cast<std::uint32_t>(std::lround((clamped - low) * 256));
        taps[static_cast<std::size_t>(i)] = {low, std::min<std::uint32_t>(weight, 256)};
    }
    return taps;
}

std::uint32_t Mix(std::uint32_t a, std::uint32_t b, std::uint32_t weight) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ((ca * (256 - weight) + cb * weight + 128) >> 8) << shift;
    }
    return out;
}

DecodedImage Bilinear(const DecodedImage& image, std::int32_t width, std::int32_t height) {
    DecodedImage out;
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const std::vector<Tap> columns = Taps(image.width, width);
    const std::vector<Tap> rows = Taps(image.height, height);
    auto at = [&](std::int32_t x, std::int32_t y) {
        return image.pixels[static_cast<std::size_t>(y) * image.width + x];
    };
    for (std::int32_t y = 0; y < height; ++y) {
        const Tap ty = rows[static_cast<std::size_t>(y)];
        const std::int32_t y1 = std::min(ty.index + 1, image.height - 1);
        std::uint32_t* row = out.pixels.data() + static_cast<std::size_t>(y) * width;
        for (std::int32_t x = 0; x < width; ++x) {
            const Tap tx = columns[static_cast<std::size_t>(x)];
            const std::int32_t x1 = std::min(tx.index + 1, image.width - 1);
            const std::uint32_t top = Mix(at(tx.index, ty.index), at(x1, ty.index), tx.weight);
            const std::uint32_t bottom = Mix(at(tx.index, y1), at(x1, y1), tx.weight);
            row[x] = Mix(top, bottom, ty.weight);
        }
    }
    return out;
}

} // namespace

DecodedImage ScaleImage(const DecodedImage& image, platform::DeviceScale scale) {
    if (scale.identity() || image.width <= 0 || image.height <= 0)
        return image;
    const std::int32_t width = scale.ToDevice(image.width), height = scale.ToDevice(image.height);
    return scale.integral() ? Nearest(image, scale) : Bilinear(image, width, height);
}

DecodedImage ScaleImageNearest(const DecodedImage& image, platform::DeviceScale scale) {
    if (scale.identity() || image.width <= 0 || image.height <= 0)
        return image;
    return Nearest(image, scale);
}
