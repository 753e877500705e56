#pragma once
// A PNG file of an image: 8-bit RGBA, the pixel rows in stored (uncompressed) deflate blocks. Icons are
// small, so size does not matter; any PNG reader opens the result.

#include "ui/BitmapFile.h"

#include <vector>

std::vector<unsigned char> EncodePng(const DecodedImage& image);
