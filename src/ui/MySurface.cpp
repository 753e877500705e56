#include "ui/MySurface.h"

#include "platform/Resources.h"
#include "ui/BitmapFile.h"
#include "ui/ScaledImage.h"

#include <algorithm>

bool MySurface::ResizeSurface(const Dc* referenceDc, std::int32_t newWidth, std::int32_t newHeight) {
    return ResizeSurface(referenceDc ? referenceDc->scale() : platform::DeviceScale{}, newWidth, newHeight);
}

bool MySurface::ResizeSurface(platform::DeviceScale scale, std::int32_t newWidth, std::int32_t newHeight) {
    Release();
    auto made = CreateScaledBitmap(scale, newWidth, newHeight);
    if (!made)
        return false;
    width = newWidth;
    height = newHeight;
    bitmap = std::move(made);
    SelectObject(dc, bitmap.get());
    return true;
}

bool MySurface::LoadSkin(const Dc* referenceDc, int resourceId, const platform::WindowSystem*) {
    Release();
    DecodedImage image;
    if (!DecodeBmp(platform::FindResource(resourceId), image))
        return false;
    auto made = CreateCompatibleBitmap(referenceDc, image.width, image.height);
    if (!made)
        return false;
    // Scaled once, here, to the surface's device pixels; painting then only copies.
    const DecodedImage scaled = ScaleImage(image, made->scale());
    if (scaled.width != made->width() || scaled.height != made->height())
        return false;
    auto fill = [](Bitmap& bitmap, const DecodedImage& pixels) {
        for (std::int32_t y = 0; y < pixels.height; ++y)
            std::copy_n(pixels.pixels.begin() + static_cast<std::ptrdiff_t>(y) * pixels.width, pixels.width,
                        bitmap.row(y));
    };
    fill(*made, scaled);
    if (!made->scale().integral()) {
        // Pieces stretched from one column or row keep the skin's exact colours.
        auto exact = std::make_unique<Bitmap>(made->width(), made->height(), false, made->scale());
        fill(*exact, ScaleImageNearest(image, made->scale()));
        made->SetExactPixels(std::move(exact));
    }
    width = image.width;
    height = image.height;
    bitmap = std::move(made);
    SelectObject(dc, bitmap.get());
    return true;
}

void MySurface::Release() {
    dc.bitmap = nullptr;
    bitmap.reset();
    dc.Reset();
    width = 0;
    height = 0;
}
