// Resource image decoding: any bytes, as a bitmap file and as an icon file.
#include "ui/BitmapFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const unsigned char> bytes(data, size);
    DecodedImage image;
    if (DecodeBmp(bytes, image) &&
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
        __builtin_trap();
    for (int wanted : {16, 48}) {
        DecodedImage icon;
        if (DecodeIco(bytes, wanted, icon) &&
            icon.pixels.size() != static_cast<std::size_t>(icon.width) * icon.height)
            __builtin_trap();
    }
    return 0;
}
