#pragma once
// Resources built into the binary (skin bitmaps, icon, menus, accelerators), found by numeric id.

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

struct EmbeddedResource {
    int id;
    const char* fileName;
    const unsigned char* data;
    std::size_t size;
};

// The generated table; its last entry has id 0.
extern const EmbeddedResource kEmbeddedResources[];

// The bytes of resource `id`, or an empty span when the binary holds no such resource.
std::span<const unsigned char> FindResource(int id);

} // namespace platform
