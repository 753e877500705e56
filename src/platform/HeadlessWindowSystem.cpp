#include "platform/HeadlessWindowSystem.h"

#include <algorithm>
#include <chrono>

namespace platform {

HeadlessWindow::HeadlessWindow(HeadlessWindowSystem& system, const WindowParams& params)
    : WindowCore(system), left_(params.x), top_(params.y), width_(std::max(params.width, 0)),
      height_(std::max(params.height, 0)), title_(params.title), popup_(params.popup),
      screen_(static_cast<std::size_t>(width_) * height_, 0) {
    system.Track(this, true);
}

HeadlessWindow::~HeadlessWindow() {
    static_cast<HeadlessWindowSystem&>(system_).Track(this, false);
}

void HeadlessWindow::SetMinimumSize(std::int32_t width, std::int32_t height) {
    minWidth_ = width;
    minHeight_ = height;
}

void HeadlessWindow::Present(const PixelView& source, const Rect& rect) {
    const Rect area =
        IntersectRect(IntersectRect(rect, ClientRect()), Rect{0, 0, source.width, source.height});
    for (std::int32_t y = area.top; y < area.bottom; ++y)
        std::copy(source.row(y) + area.left, source.row(y) + area.right,
                  screen_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + area.left);
    presented_.push_back(area);
    ++presentedCount_;
}

bool HeadlessWindow::ReadScreen(std::vector<std::uint32_t>& pixels, std::int32_t& width,
                                std::int32_t& height) {
    pixels = screen_;
    width = width_;
    height = height_;
    return true;
}

std::uint32_t HeadlessWindow::ScreenPixel(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return screen_[static_cast<std::size_t>(y) * width_ + x];
}

bool HeadlessWindow::Reaches(std::int32_t x, std::int32_t y) const {
    return hasCapture() || (x >= 0 && y >= 0 && x < width_ && y < height_);
}

std::uintptr_t HeadlessWindow::KeyFlags() const {
    const auto& system = static_cast<const HeadlessWindowSystem&>(system_);
    return (leftHeld_ ? MK_LBUTTON : 0) | (rightHeld_ ? MK_RBUTTON : 0) |
           (system.IsKeyDown(VK_SHIFT) ? MK_SHIFT : 0) | (system.IsKeyDown(VK_CONTROL) ? MK_CONTROL : 0);
}

void HeadlessWindow::InjectButton(int button, bool down, std::int32_t x, std::int32_t y) {
    if (!Reaches(x, y))
        return;
    (button == 0 ? leftHeld_ : rightHeld_) = down;
    const std::uint32_t message =
        button == 0 ? (down ? WM_LBUTTONDOWN : WM_LBUTTONUP) : (down ? WM_RBUTTONDOWN : WM_RBUTTONUP);
    QueueInput(message, KeyFlags(), MakePointLParam(x, y));
}

void HeadlessWindow::InjectMouseMove(std::int32_t x, std::int32_t y) {
    if (Reaches(x, y))
        QueueInput(WM_MOUSEMOVE, KeyFlags(), MakePointLParam(x, y));
}

void HeadlessWindow::InjectWheel(std::int32_t x, std::int32_t y, std::int32_t delta) {
    // The wheel message carries screen coordinates.
    QueueInput(WM_MOUSEWHEEL, MakeWheelWParam(delta, KeyFlags()), MakePointLParam(x + left_, y + top_));
}

void HeadlessWindow::InjectKey(int virtualKey, bool down) {
    QueueInput(down ? WM_KEYDOWN : WM_KEYUP, static_cast<std::uintptr_t>(virtualKey), down ? 1 : 0xC0000001);
}

void HeadlessWindow::InjectResize(std::int32_t width, std::int32_t height) {
    Rect proposed{left_, top_, left_ + std::max(width, minWidth_), top_ + std::max(height, minHeight_)};
    // The sizing handler may change the rectangle before the window takes it.
    Send(WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<std::intptr_t>(&proposed));
    width_ = std::max(proposed.width(), 0);
    height_ = std::max(proposed.height(), 0);
    left_ = proposed.left;
    top_ = proposed.top;
    screen_.assign(static_cast<std::size_t>(width_) * height_, 0);
    minimized_ = false;
    QueueInput(WM_SIZE, SIZE_RESTORED, MakeSizeLParam(width_, height_));
    Invalidate(ClientRect());
}

void HeadlessWindow::Minimize() {
    minimized_ = true;
    QueueInput(WM_SIZE, SIZE_MINIMIZED, 0);
}

void HeadlessWindow::InjectMaximize(std::int32_t width, std::int32_t height) {
    maximized_ = true;
    Rect proposed{left_, top_, left_ + width, top_ + height};
    Send(WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<std::intptr_t>(&proposed));
    width_ = width;
    height_ = height;
    screen_.assign(static_cast<std::size_t>(width_) * height_, 0);
    QueueInput(WM_SIZE, SIZE_MAXIMIZED, MakeSizeLParam(width_, height_));
    Invalidate(ClientRect());
}

void HeadlessWindow::InjectRestore() {
    minimized_ = false;
    maximized_ = false;
    QueueInput(WM_SIZE, SIZE_RESTORED, MakeSizeLParam(width_, height_));
    Invalidate(ClientRect());
}

void HeadlessWindow::InjectMoveTo(std::int32_t left, std::int32_t top) {
    Rect proposed{left, top, left + width_, top + height_};
    Send(WM_MOVING, 0, reinterpret_cast<std::intptr_t>(&proposed));
    left_ = proposed.left;
    top_ = proposed.top;
    QueueInput(WM_MOVE, 0, MakePointLParam(left_, top_));
}

void HeadlessWindow::InjectClose() {
    QueueInput(WM_CLOSE, 0, 0);
}

void HeadlessWindow::InjectFocusLost() {
    QueueInput(WM_KILLFOCUS, 0, 0);
}

void HeadlessWindowSystem::Track(HeadlessWindow* window, bool add) {
    headlessWindows_.erase(std::remove(headlessWindows_.begin(), headlessWindows_.end(), window),
                           headlessWindows_.end());
    if (add)
        headlessWindows_.push_back(window);
}

HeadlessWindow* HeadlessWindowSystem::OpenPopup() const {
    for (auto it = headlessWindows_.rbegin(); it != headlessWindows_.rend(); ++it) {
        if ((*it)->popup() && !(*it)->destroyed())
            return *it;
    }
    return nullptr;
}

std::unique_ptr<Window> HeadlessWindowSystem::CreateNativeWindow(const WindowParams& params) {
    return CreateHeadlessWindow(params);
}

std::unique_ptr<HeadlessWindow> HeadlessWindowSystem::CreateHeadlessWindow(const WindowParams& params) {
    if (!IsClassRegistered(params.className) || params.width < 0 || params.height < 0)
        return nullptr;
    return std::make_unique<HeadlessWindow>(*this, params);
}

bool HeadlessWindowSystem::IsKeyDown(int virtualKey) const {
    return std::find(keysDown_.begin(), keysDown_.end(), virtualKey) != keysDown_.end();
}

void HeadlessWindowSystem::SetKeyDown(int virtualKey, bool down) {
    keysDown_.erase(std::remove(keysDown_.begin(), keysDown_.end(), virtualKey), keysDown_.end());
    if (down)
        keysDown_.push_back(virtualKey);
}

WindowSystemCore::BoxRunner HeadlessWindowSystem::PrepareMessageBox(const std::u16string& text,
                                                                    const std::u16string&,
                                                                    MessageBoxButtons buttons, Window*) {
    std::lock_guard guard(boxLock_);
    shownBoxes_.push_back(text);
    const MessageBoxResult initial =
        buttons == MessageBoxButtons::Ok ? MessageBoxResult::Ok : MessageBoxResult::No;
    if (!holdBoxes_)
        return [initial] { return initial; };
    auto box = std::make_shared<HeldBox>();
    held_.push_back(box);
    return [this, box] {
        std::unique_lock lock(boxLock_);
        boxAnswered_.wait(lock, [&] { return box->answered; });
        return box->result;
    };
}

void HeadlessWindowSystem::HoldBoxes(bool hold) {
    std::lock_guard guard(boxLock_);
    holdBoxes_ = hold;
}

bool HeadlessWindowSystem::AnswerBox(MessageBoxResult result) {
    {
        std::lock_guard guard(boxLock_);
        if (held_.empty())
            return false;
        held_.front()->result = result;
        held_.front()->answered = true;
        held_.pop_front();
    }
    boxAnswered_.notify_all();
    return true;
}

std::vector<std::u16string> HeadlessWindowSystem::shownBoxes() const {
    std::lock_guard guard(boxLock_);
    return shownBoxes_;
}

std::size_t HeadlessWindowSystem::heldBoxes() const {
    std::lock_guard guard(boxLock_);
    return held_.size();
}

void HeadlessWindowSystem::Wake() {
    {
        std::lock_guard guard(wakeLock_);
        wakePending_ = true;
    }
    woken_.notify_all();
}

void HeadlessWindowSystem::PumpNative(bool wait) {
    std::unique_lock lock(wakeLock_);
    if (wait) {
        // Without native events only a post (or a quit from another window's handler) can bring work. The
        // bound keeps a waiting loop from hanging forever on a lost wake.
        woken_.wait_for(lock, std::chrono::milliseconds(100), [&] { return wakePending_; });
    }
    wakePending_ = false;
}

} // namespace platform
