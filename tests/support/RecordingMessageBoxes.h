#pragma once
// Installs a message-box sink for the lifetime of the object that records every box instead of showing it.

#include "platform/MessageBox.h"

#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

class RecordingMessageBoxes : public platform::MessageBoxSink {
public:
    RecordingMessageBoxes() { previous_ = platform::SetMessageBoxSink(this); }
    ~RecordingMessageBoxes() override { platform::SetMessageBoxSink(previous_); }

    platform::MessageBoxResult Show(const std::u16string& text, const std::u16string& caption,
                                    platform::MessageBoxButtons buttons) override {
        std::lock_guard guard(lock_);
        texts_.push_back(text);
        captions_.push_back(caption);
        return buttons == platform::MessageBoxButtons::Ok ? platform::MessageBoxResult::Ok : answer_;
    }

    std::vector<std::u16string> texts() const {
        std::lock_guard guard(lock_);
        return texts_;
    }
    std::vector<std::u16string> captions() const {
        std::lock_guard guard(lock_);
        return captions_;
    }
    std::size_t count() const {
        std::lock_guard guard(lock_);
        return texts_.size();
    }
    // Forgets the boxes recorded so far.
    void Clear() {
        std::lock_guard guard(lock_);
        texts_.clear();
        captions_.clear();
    }
    // Texts as UTF-8 for readable assertions.
    std::vector<std::string> utf8() const;
    void setYesNoAnswer(platform::MessageBoxResult answer) { answer_ = answer; }

private:
    mutable std::mutex lock_;
    std::vector<std::u16string> texts_;
    std::vector<std::u16string> captions_;
    platform::MessageBoxSink* previous_ = nullptr;
    platform::MessageBoxResult answer_ = platform::MessageBoxResult::No;
};

} // namespace testsupport
