#include "ui/MySurface.h"

#include "platform/Resources.h"
#include "ui/BitmapFile.h"

#include <algorithm>

bool MySurface::ResizeSurface(const Dc* referenceDc, std::int32_t newWidth, std::int32_t newHeight) {
    Release();
    auto made = CreateCompatibleBitmap(referenceDc, newWidth, newHeight);
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
    for (std::int32_t y = 0; y < image.height; ++y)
        std::copy_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * image.width, image.width,
                    made->row(y));
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
