#pragma once
// Reading and writing the image files of res/: Windows bitmap files (24 or 32 bits per pixel, bottom-up
// or top-down, uncompressed) and icon files whose images are 32-bit bitmaps. Decoders accept any bytes
// and answer false for anything they do not fully understand.

#include <cstdint>
#include <span>
#include <vector>

struct DecodedImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, top row first; alpha 0 for 24-bit files
};

bool DecodeBmp(std::span<const unsigned char> file, DecodedImage& out);
// A 24-bit bottom-up bitmap file of `image` (alpha dropped).
std::vector<unsigned char> EncodeBmp24(const DecodedImage& image);

// The icon image nearest to `size` pixels (the smallest one at least that large, else the largest).
bool DecodeIco(std::span<const unsigned char> file, std::int32_t size, DecodedImage& out);
// An icon file holding each image as a 32-bit bitmap with its mask.
std::vector<unsigned char> EncodeIco(const std::vector<DecodedImage>& images);
