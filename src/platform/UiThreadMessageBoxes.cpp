#include "platform/UiThreadMessageBoxes.h"

#include "platform/Thread.h"
#include "platform/Utf.h"

#include <cstdio>

namespace platform {

UiThreadMessageBoxes::UiThreadMessageBoxes(ShowModal showModal, std::function<void()> wakeUp, ShowModal open)
    : showModal_(std::move(showModal)), wakeUp_(std::move(wakeUp)), open_(open ? open : showModal_),
      uiThread_(Thread::CurrentId()), openWaits_(!open) {}

namespace {

std::u16string KeyOf(const std::u16string& text, const std::u16string& caption) {
    return caption + u'\n' + text;
}

} // namespace

UiThreadMessageBoxes::~UiThreadMessageBoxes() {
    std::lock_guard guard(lock_);
    for (const Box& box : queued_)
        std::fprintf(stderr, "%s: %s\n", Utf16ToUtf8(box.caption).c_str(), Utf16ToUtf8(box.text).c_str());
}

MessageBoxResult UiThreadMessageBoxes::Show(const std::u16string& text, const std::u16string& caption,
                                            MessageBoxButtons buttons) {
    const MessageBoxResult answer =
        buttons == MessageBoxButtons::Ok ? MessageBoxResult::Ok : MessageBoxResult::No;
    const std::u16string key = KeyOf(text, caption);
    if (Thread::CurrentId() == uiThread_) {
        {
            std::lock_guard guard(lock_);
            if (buttons == MessageBoxButtons::Ok && openBoxes_.contains(key))
                return answer;
            openBoxes_.insert(key);
        }
        const MessageBoxResult result = showModal_(text, caption, buttons);
        std::lock_guard guard(lock_);
        openBoxes_.erase(openBoxes_.find(key));
        return result;
    }
    {
        std::lock_guard guard(lock_);
        if (openBoxes_.contains(key))
            return answer;
        openBoxes_.insert(key);
        // A worker cannot wait for the answer, so its question is shown as a plain notice.
        queued_.push_back({text, caption, MessageBoxButtons::Ok});
    }
    if (wakeUp_)
        wakeUp_();
    return answer;
}

void UiThreadMessageBoxes::ShowPending() {
    std::deque<Box> boxes;
    {
        std::lock_guard guard(lock_);
        boxes.swap(queued_);
    }
    for (const Box& box : boxes) {
        open_(box.text, box.caption, box.buttons);
        if (openWaits_)
            Closed(box.text, box.caption);
    }
}

void UiThreadMessageBoxes::Closed(const std::u16string& text, const std::u16string& caption) {
    std::lock_guard guard(lock_);
    if (auto found = openBoxes_.find(KeyOf(text, caption)); found != openBoxes_.end())
        openBoxes_.erase(found);
}

std::size_t UiThreadMessageBoxes::pending() const {
    std::lock_guard guard(lock_);
    return queued_.size();
}

} // namespace platform
