#include "platform/Resources.h"

namespace platform {

std::span<const unsigned char> FindResource(int id) {
    for (const EmbeddedResource* r = kEmbeddedResources; r->id != 0; ++r) {
        if (r->id == id)
            return {r->data, r->size};
    }
    return {};
}

} // namespace platform
