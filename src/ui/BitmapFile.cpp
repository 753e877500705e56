#include "ui/BitmapFile.h"

#include <limits>

namespace {

constexpr std::int32_t kMaxSide = 16384; // pixels; more than any resource needs

std::uint32_t Read16(std::span<const unsigned char> d, std::size_t at) {
    return d[at] | (d[at + 1] << 8);
}
std::uint32_t Read32(std::span<const unsigned char> d, std::size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<std::uint32_t>(d[at + 3]) << 24);
}
void Put16(std::vector<unsigned char>& v, std::uint32_t x) {
    v.push_back(x & 0xFF);
    v.push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<unsigned char>& v, std::uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

// Decodes a BITMAPINFOHEADER and its pixels at `header`, pixels at `pixels`. `icon` images store twice
// their height (colour then mask) and are always bottom-up.
bool DecodeDib(std::span<const unsigned char> d, std::size_t header, std::size_t pixels, bool icon,
               DecodedImage& out) {
    if (header + 40 > d.size())
        return false;
    const std::uint32_t headerSize = Read32(d, header);
    if (headerSize < 40 || headerSize > d.size() - header)
        return false;
    const std::int32_t width = static_cast<std::int32_t>(Read32(d, header + 4));
    std::int32_t height = static_cast<std::int32_t>(Read32(d, header + 8));
    const std::uint32_t planes = Read16(d, header + 12);
    const std::uint32_t bits = Read16(d, header + 14);
    const std::uint32_t compression = Read32(d, header + 16);
    if (planes != 1 || (bits != 24 && bits != 32) || compression != 0)
        return false;
    bool bottomUp = true;
    if (height < 0) {
        if (icon || height == std::numeric_limits<std::int32_t>::min())
            return false;
        height = -height;
        bottomUp = false;
    }
    if (icon)
        height /= 2;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    if (pixels > d.size() || stride * static_cast<std::size_t>(height) > d.size() - pixels)
        return false;
    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<std::size_t>(width) * height, 0);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::size_t rowAt = pixels + stride * static_cast<std::size_t>(bottomUp ? height - 1 - y : y);
        for (std::int32_t x = 0; x < width; ++x) {
            const std::size_t p = rowAt + static_cast<std::size_t>(x) * (bits / 8);
            std::uint32_t value = d[p] | (d[p + 1] << 8) | (d[p + 2] << 16);
            if (bits == 32)
                value |= static_cast<std::uint32_t>(d[p + 3]) << 24;
            out.pixels[static_cast<std::size_t>(y) * width + x] = value;
        }
    }
    return true;
}

} // namespace

bool DecodeBmp(std::span<const unsigned char> file, DecodedImage& out) {
    if (file.size() < 14 + 40 || file[0] != 'B' || file[1] != 'M')
        return false;
    return DecodeDib(file, 14, Read32(file, 10), false, out);
}

std::vector<unsigned char> EncodeBmp24(const DecodedImage& image) {
    const std::size_t stride = ((static_cast<std::size_t>(image.width) * 24 + 31) / 32) * 4;
    const std::size_t dataSize = stride * image.height;
    std::vector<unsigned char> v;
    v.reserve(54 + dataSize);
    v.push_back('B');
    v.push_back('M');
    Put32(v, static_cast<std::uint32_t>(54 + dataSize));
    Put32(v, 0);
    Put32(v, 54);
    Put32(v, 40);
    Put32(v, image.width);
    Put32(v, image.height);
    Put16(v, 1);
    Put16(v, 24);
    Put32(v, 0);
    Put32(v, static_cast<std::uint32_t>(dataSize));
    Put32(v, 2835); // 72 dots per inch
    Put32(v, 2835);
    Put32(v, 0);
    Put32(v, 0);
    for (std::int32_t y = image.height - 1; y >= 0; --y) {
        std::size_t written = 0;
        for (std::int32_t x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.pixels[static_cast<std::size_t>(y) * image.width + x];
            v.push_back(p & 0xFF);
            v.push_back((p >> 8) & 0xFF);
            v.push_back((p >> 16) & 0xFF);
            written += 3;
        }
        for (; written < stride; ++written)
            v.push_back(0);
    }
    return v;
}

bool DecodeIco(std::span<const unsigned char> file, std::int32_t size, DecodedImage& out) {
    if (file.size() < 6 || Read16(file, 0) != 0 || Read16(file, 2) != 1)
        return false;
    const std::uint32_t count = Read16(file, 4);
    if (count == 0 || 6 + 16 * static_cast<std::size_t>(count) > file.size())
        return false;
    // Pick the entry: the smallest at least `size`, else the largest.
    int best = -1;
    std::int32_t bestSide = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t e = 6 + 16 * i;
        const std::int32_t side = file[e] == 0 ? 256 : file[e];
        const bool better =
            best < 0 || (bestSide < size ? side > bestSide : (side >= size && side < bestSide));
        if (better) {
            best = static_cast<int>(i);
            bestSide = side;
        }
    }
    const std::size_t e = 6 + 16 * static_cast<std::size_t>(best);
    const std::uint32_t bytes = Read32(file, e + 8);
    const std::uint32_t offset = Read32(file, e + 12);
    if (offset > file.size() || bytes > file.size() - offset)
        return false;
    const auto image = file.subspan(offset, bytes);
    if (image.size() < 40)
        return false;
    return DecodeDib(image, 0, Read32(image, 0), true, out);
}

std::vector<unsigned char> EncodeIco(const std::vector<DecodedImage>& images) {
    std::vector<std::vector<unsigned char>> entries;
    for (const DecodedImage& image : images) {
        std::vector<unsigned char> v;
        const std::size_t maskStride = ((static_cast<std::size_t>(image.width) + 31) / 32) * 4;
        Put32(v, 40);
        Put32(v, image.width);
        Put32(v, image.height * 2);
        Put16(v, 1);
        Put16(v, 32);
        Put32(v, 0);
        Put32(v, static_cast<std::uint32_t>(image.width * image.height * 4 + maskStride * image.height));
        Put32(v, 0);
        Put32(v, 0);
        Put32(v, 0);
        Put32(v, 0);
        for (std::int32_t y = image.height - 1; y >= 0; --y)
            for (std::int32_t x = 0; x < image.width; ++x)
                Put32(v, image.pixels[static_cast<std::size_t>(y) * image.width + x]);
        for (std::int32_t y = image.height - 1; y >= 0; --y) {
            std::vector<unsigned char> row(maskStride, 0);
            for (std::int32_t x = 0; x < image.width; ++x) {
                if ((image.pixels[static_cast<std::size_t>(y) * image.width + x] >> 24) == 0)
                    row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
            }
            v.insert(v.end(), row.begin(), row.end());
        }
        entries.push_back(std::move(v));
    }
    std::vector<unsigned char> file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, static_cast<std::uint32_t>(images.size()));
    std::size_t offset = 6 + 16 * images.size();
    for (std::size_t i = 0; i < images.size(); ++i) {
        file.push_back(images[i].width >= 256 ? 0 : static_cast<unsigned char>(images[i].width));
        file.push_back(images[i].height >= 256 ? 0 : static_cast<unsigned char>(images[i].height));
        file.push_back(0);
        file.push_back(0);
        Put16(file, 1);
        Put16(file, 32);
        Put32(file, static_cast<std::uint32_t>(entries[i].size()));
        Put32(file, static_cast<std::uint32_t>(offset));
        offset += entries[i].size();
    }
    for (const auto& entry : entries)
        file.insert(file.end(), entry.begin(), entry.end());
    return file;
}
