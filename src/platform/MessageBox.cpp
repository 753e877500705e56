#include "platform/MessageBox.h"

#include "platform/Utf.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace platform {

namespace {

class StandardErrorSink : public MessageBoxSink {
public:
    MessageBoxResult Show(const std::u16string& text, const std::u16string& caption,
                          MessageBoxButtons buttons) override {
        static std::mutex lock; // keeps lines of boxes from different threads apart
        std::lock_guard guard(lock);
        std::fprintf(stderr, "%s: %s\n", Utf16ToUtf8(caption).c_str(), Utf16ToUtf8(text).c_str());
        return buttons == MessageBoxButtons::Ok ? MessageBoxResult::Ok : MessageBoxResult::No;
    }
};

StandardErrorSink standardErrorSink;
std::atomic<MessageBoxSink*> installedSink{nullptr};

} // namespace

MessageBoxResult ShowMessageBox(const std::u16string& text, const std::u16string& caption,
                                MessageBoxButtons buttons) {
    MessageBoxSink* sink = installedSink.load();
    return (sink ? sink : &standardErrorSink)->Show(text, caption, buttons);
}

MessageBoxSink* SetMessageBoxSink(MessageBoxSink* sink) {
    return installedSink.exchange(sink);
}

} // namespace platform
