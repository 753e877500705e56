#include "platform/linux/WaylandProbe.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace platform::linux_backend {

namespace {

struct DisplayCloser {
    void operator()(wl_display* display) const { wl_display_disconnect(display); }
};
struct RegistryDestroyer {
    void operator()(wl_registry* registry) const { wl_registry_destroy(registry); }
};
struct OutputDestroyer {
    void operator()(wl_output* output) const { wl_output_destroy(output); }
};

struct Listening {
    WaylandOffer offer;
    std::vector<std::unique_ptr<wl_output, OutputDestroyer>> outputs;
};

void OutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                    int32_t) {}
void OutputMode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
void OutputDone(void*, wl_output*) {}
void OutputScale(void* data, wl_output*, int32_t factor) {
    auto* listening = static_cast<Listening*>(data);
    listening->offer.outputScale = std::max(listening->offer.outputScale, static_cast<int>(factor));
}
void OutputText(void*, wl_output*, const char*) {}
// Bound at version 2: the name and description (version 4) never come.
const wl_output_listener kOutputListener{OutputGeometry, OutputMode, OutputDone,
                                         OutputScale,    OutputText, OutputText};

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* listening = static_cast<Listening*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        listening->offer.seat = true;
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 2) {
        // Version 2 brings the scale event.
        auto* output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 2));
        if (output) {
            wl_output_add_listener(output, &kOutputListener, listening);
            listening->outputs.emplace_back(output);
        }
    }
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener{Global, GlobalRemove};

} // namespace

std::optional<WaylandOffer> ProbeWayland() {
    std::unique_ptr<wl_display, DisplayCloser> display(wl_display_connect(nullptr));
    if (!display)
        return std::nullopt;
    Listening listening;
    {
        std::unique_ptr<wl_registry, RegistryDestroyer> registry(wl_display_get_registry(display.get()));
        if (!registry)
            return std::nullopt;
        wl_registry_add_listener(registry.get(), &kRegistryListener, &listening);
        // The first round trip brings the globals, the second the outputs' events.
        if (wl_display_roundtrip(display.get()) < 0 || wl_display_roundtrip(display.get()) < 0)
            return std::nullopt;
    }
    listening.outputs.clear();
    return listening.offer;
}

bool WaylandConnectionFailed(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND ||
        !info.info.wl.display)
        return false;
    return wl_display_get_error(info.info.wl.display) != 0;
}

} // namespace platform::linux_backend
