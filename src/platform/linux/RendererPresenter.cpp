#include "platform/linux/RendererPresenter.h"

#include <SDL.h>

namespace platform::linux_backend {

void RendererPresenter::RendererDeleter::operator()(SDL_Renderer* renderer) const {
    SDL_DestroyRenderer(renderer);
}
void RendererPresenter::TextureDeleter::operator()(SDL_Texture* texture) const {
    SDL_DestroyTexture(texture);
}

RendererPresenter::RendererPresenter() = default;
RendererPresenter::~RendererPresenter() {
    Close();
}

void RendererPresenter::Close() {
    texture_.reset();
    renderer_.reset();
}

bool RendererPresenter::Present(SDL_Window* window, const PixelView& source, const Rect& area) {
    if (!window)
        return false;
    if (!renderer_) {
        renderer_.reset(SDL_CreateRenderer(window, -1, 0));
        if (!renderer_)
            return false;
    }
    int width = 0, height = 0;
    if (SDL_GetRendererOutputSize(renderer_.get(), &width, &height) != 0 || width <= 0 || height <= 0)
        return false;
    const Rect output{0, 0, width, height};
    const Rect pixels{0, 0, source.width, source.height};
    Rect copied = IntersectRect(IntersectRect(area, output), pixels);
    if (!texture_ || textureSize_ != Point{width, height}) {
        texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                         width, height));
        if (!texture_)
            return false;
        textureSize_ = {width, height};
        copied = IntersectRect(output, pixels);
        // Beyond the back buffer (a window larger than the pixels given) the window shows black.
        void* locked = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(texture_.get(), nullptr, &locked, &pitch) == 0) {
            for (int y = 0; y < height; ++y)
                SDL_memset(static_cast<unsigned char*>(locked) + static_cast<std::size_t>(y) * pitch, 0,
                           static_cast<std::size_t>(width) * 4);
            SDL_UnlockTexture(texture_.get());
        }
    }
    if (!copied.empty()) {
        // Row by row: the back buffer may run bottom-up (a negative stride).
        const SDL_Rect rect{copied.left, copied.top, copied.width(), copied.height()};
        void* locked = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(texture_.get(), &rect, &locked, &pitch) != 0)
            return false;
        for (std::int32_t y = 0; y < copied.height(); ++y)
            SDL_memcpy(static_cast<unsigned char*>(locked) + static_cast<std::size_t>(y) * pitch,
                       source.row(copied.top + y) + copied.left,
                       static_cast<std::size_t>(copied.width()) * 4);
        SDL_UnlockTexture(texture_.get());
    }
    SDL_RenderCopy(renderer_.get(), texture_.get(), nullptr, nullptr);
    SDL_RenderPresent(renderer_.get());
    return true;
}

} // namespace platform::linux_backend
