#pragma once
// Presents a window's pixels through an SDL renderer and a streaming texture the size of the window's
// pixels: the way to the screen where SDL's window surface would be scaled up from the window's size in
// points (Wayland with a buffer scale above 1).

#include "platform/WindowMessages.h"

#include <memory>

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

namespace platform::linux_backend {

class RendererPresenter {
public:
    RendererPresenter();
    ~RendererPresenter();
    RendererPresenter(const RendererPresenter&) = delete;
    RendererPresenter& operator=(const RendererPresenter&) = delete;

    // Copies `area` (device pixels) of `source`, the whole client area's pixels, to the window and shows
    // it. A texture made anew (the first time, after a resize) takes all of `source`, so that no part of
    // the window shows what the texture held before. False when SDL has no renderer for the window.
    bool Present(SDL_Window* window, const PixelView& source, const Rect& area);

    // Ends the renderer before its window goes.
    void Close();

private:
    struct RendererDeleter {
        void operator()(SDL_Renderer* renderer) const;
    };
    struct TextureDeleter {
        void operator()(SDL_Texture* texture) const;
    };
    std::unique_ptr<SDL_Renderer, RendererDeleter> renderer_;
    std::unique_ptr<SDL_Texture, TextureDeleter> texture_;
    Point textureSize_;
};

} // namespace platform::linux_backend
