#pragma once
// Message boxes. Every box the program shows goes through the installed sink: the program's window layer
// installs one that shows real boxes, tests install one that records the texts, and until either exists
// boxes are written to standard error and answered with their default button.

#include <string>

namespace platform {

enum class MessageBoxButtons { Ok, YesNo };
enum class MessageBoxResult { Ok, Yes, No };

class MessageBoxSink {
public:
    virtual ~MessageBoxSink() = default;
    // May be called on any thread; blocks only the calling thread, and only if the sink shows the box
    // modally there.
    virtual MessageBoxResult Show(const std::u16string& text, const std::u16string& caption,
                                  MessageBoxButtons buttons) = 0;
};

MessageBoxResult ShowMessageBox(const std::u16string& text, const std::u16string& caption,
                                MessageBoxButtons buttons = MessageBoxButtons::Ok);

// Installs `sink` for the whole process (null restores the standard-error sink) and answers the previous
// one. The sink must outlive its installation.
MessageBoxSink* SetMessageBoxSink(MessageBoxSink* sink);

} // namespace platform
