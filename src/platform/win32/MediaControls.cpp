// Windows has no counterpart of the desktop's media-player interface that a plain Win32 program is
// expected to serve; the keyboard's media keys reach the window as WM_KEYDOWN with VK_MEDIA_* and the
// program's accelerator table handles them. The controls are therefore never available here.
#include "platform/MediaControls.h"

namespace platform {

namespace {

class NoMediaControls final : public MediaControls {
public:
    bool available() const override { return false; }
    void Publish(const MediaState&) override {}
    void Seeked(std::int64_t) override {}
};

} // namespace

std::unique_ptr<MediaControls> CreateMediaControls(PostTarget*, std::uint32_t) {
    return std::make_unique<NoMediaControls>();
}

} // namespace platform
