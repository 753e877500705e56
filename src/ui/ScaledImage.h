#pragma once
// A decoded image at a device scale, made once when a skin is loaded: whole scales repeat each pixel
// (nearest neighbour, pixel-exact), fractional ones interpolate between pixel centres (bilinear) so the
// skin's pieces stay smooth.

#include "platform/DeviceScale.h"
#include "ui/BitmapFile.h"

// Pixels of `image` scaled to scale.ToDevice(width) x scale.ToDevice(height), top row first; at 1x a copy.
DecodedImage ScaleImage(const DecodedImage& image, platform::DeviceScale scale);
// The same size by repeating pixels (nearest neighbour) at any scale.
DecodedImage ScaleImageNearest(const DecodedImage& image, platform::DeviceScale scale);
