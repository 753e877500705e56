#pragma once
// An off-screen drawing surface: a memory device context with its own 32-bit bitmap selected. The
// surface owns both; releasing it drops the bitmap first, then resets the context. The context object
// itself stays at the same address for the surface's whole life, so a pointer to `dc` follows every
// re-creation.

#include "ui/Gdi.h"

#include <memory>

namespace platform {
class WindowSystem;
}

class MySurface {
public:
    MySurface() = default;
    ~MySurface() { Release(); }
    MySurface(const MySurface&) = delete;
    MySurface& operator=(const MySurface&) = delete;

    // Releases what the surface held, then makes a bitmap of the given size (contents undefined until
    // drawn) compatible with `referenceDc`. False, with the surface left empty, when no bitmap can be made.
    bool ResizeSurface(const Dc* referenceDc, std::int32_t width, std::int32_t height);
    // The same at a given scale: the bitmap holds width x height logical pixels in device pixels.
    bool ResizeSurface(platform::DeviceScale scale, std::int32_t width, std::int32_t height);
    // Releases what the surface held, then loads the built-in bitmap resource `resourceId`, scaled once to
    // `referenceDc`'s scale. False, with the surface left empty, when the resource is missing or not a
    // bitmap. `width` and `height` are logical pixels, as the skin's own.
    bool LoadSkin(const Dc* referenceDc, int resourceId, const platform::WindowSystem* instance);
    void Release();
    bool empty() const { return !bitmap; }

    Dc dc;
    std::unique_ptr<Bitmap> bitmap;
    std::int32_t width = 0;
    std::int32_t height = 0;
};
