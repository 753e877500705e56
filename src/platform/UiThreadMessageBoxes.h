#pragma once
// The program's message-box sink. Boxes asked for on the user-interface thread are shown there at once,
// modally. Boxes asked for on any other thread are queued for the user-interface thread, which opens
// them from its message loop (ShowPending) without waiting for their answer; the asking thread gets the
// default answer (OK, or No for a Yes/No box) immediately and does not wait, so one open box never
// stalls a worker thread. A box asked for while one with the same caption and text is still queued or
// open is not shown again, so that a failure repeating many times a second cannot bury the user in
// boxes; a box opened with `open` counts as open until the window layer reports it Closed.

#include "platform/MessageBox.h"

#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>

namespace platform {

class UiThreadMessageBoxes : public MessageBoxSink {
public:
    using ShowModal = std::function<MessageBoxResult(
        const std::u16string& text, const std::u16string& caption, MessageBoxButtons buttons)>;

    // Constructed on the user-interface thread. `wakeUp` is called on the asking thread after a box was
    // queued, to make the message loop call ShowPending, which opens each with `open` (null: `showModal`).
    UiThreadMessageBoxes(ShowModal showModal, std::function<void()> wakeUp, ShowModal open = nullptr);
    // Boxes never shown are written to standard error, so none is lost.
    ~UiThreadMessageBoxes() override;
    UiThreadMessageBoxes(const UiThreadMessageBoxes&) = delete;
    UiThreadMessageBoxes& operator=(const UiThreadMessageBoxes&) = delete;

    MessageBoxResult Show(const std::u16string& text, const std::u16string& caption,
                          MessageBoxButtons buttons) override;

    // User-interface thread: opens every queued box, oldest first. A box queued meanwhile waits for the
    // next call.
    void ShowPending();
    std::size_t pending() const;
    // User-interface thread: a box opened with `open` has been closed; the same box may be shown again.
    void Closed(const std::u16string& text, const std::u16string& caption);

private:
    struct Box {
        std::u16string text;
        std::u16string caption;
        MessageBoxButtons buttons;
    };

    ShowModal showModal_;
    std::function<void()> wakeUp_;
    ShowModal open_;
    unsigned long uiThread_;
    mutable std::mutex lock_;
    std::deque<Box> queued_;
    bool openWaits_;                          // `open` returns once the box is closed (it is `showModal`)
    std::multiset<std::u16string> openBoxes_; // caption and text of every box queued or open
};

} // namespace platform
