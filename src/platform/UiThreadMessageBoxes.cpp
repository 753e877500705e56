#include "platform/UiThreadMessageBoxes.h"

#include "platform/Thread.h"
#include "platform/Utf.h"

#include <cstdio>

namespace platform {

UiThreadMessageBoxes::UiThreadMessageBoxes(ShowModal showModal, std::function<void()> wakeUp, ShowModal open)
    : showModal_(std::move(showModal)), wakeUp_(std::move(wakeUp)),
      open_(open ? std::move(open) : showModal_), uiThread_(Thread::CurrentId()) {}

UiThreadMessageBoxes::~UiThreadMessageBoxes() {
    std::lock_guard guard(lock_);
    for (const Box& box : queued_)
        std::fprintf(stderr, "%s: %s\n", Utf16ToUtf8(box.caption).c_str(), Utf16ToUtf8(box.text).c_str());
}

MessageBoxResult UiThreadMessageBoxes::Show(const std::u16string& text, const std::u16string& caption,
                                            MessageBoxButtons buttons) {
    if (Thread::CurrentId() == uiThread_)
        return showModal_(text, caption, buttons);
    {
        std::lock_guard guard(lock_);
        // A worker cannot wait for the answer, so its question is shown as a plain notice.
        queued_.push_back({text, caption, MessageBoxButtons::Ok});
    }
    if (wakeUp_)
        wakeUp_();
    return buttons == MessageBoxButtons::Ok ? MessageBoxResult::Ok : MessageBoxResult::No;
}

void UiThreadMessageBoxes::ShowPending() {
    std::deque<Box> boxes;
    {
        std::lock_guard guard(lock_);
        boxes.swap(queued_);
    }
    for (const Box& box : boxes)
        open_(box.text, box.caption, box.buttons);
}

std::size_t UiThreadMessageBoxes::pending() const {
    std::lock_guard guard(lock_);
    return queued_.size();
}

} // namespace platform
