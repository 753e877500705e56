#pragma once
// Requests from outside to end the program (SIGINT from Ctrl+C in a terminal, SIGTERM from the session
// or `kill`). While an object of this class lives, such a request does not kill the process: `onRequest`
// is called on a thread of the object's own, and the program ends by its normal shutdown path.
//
// Construct it on the main thread before any other thread starts: threads started later inherit the
// arrangement (the signals are blocked in them and taken by the object's thread alone).

#include <functional>
#include <memory>

namespace platform {

class TerminationSignals {
public:
    // `onRequest` runs on the object's thread, once per request; it must only post or set flags.
    explicit TerminationSignals(std::function<void()> onRequest);
    // Stops the thread; requests after this end the process as usual.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // How many requests arrived so far.
    int requests() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Ends the process at once with `exitCode`, running no destructors and no exit handlers: for the rare end
// where a worker thread that did not stop may still be using objects that a normal return would free.
[[noreturn]] void EndProcessNow(int exitCode);

} // namespace platform
