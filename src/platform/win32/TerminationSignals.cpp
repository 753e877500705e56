// Console control events (Ctrl+C, Ctrl+Break, the console window closing, log-off, shut-down) become
// requests to end the program. The system runs the handler on a thread of its own for each event.
#include "platform/TerminationSignals.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {

struct TerminationSignals::State {
    std::function<void()> onRequest;
    std::atomic<int> requests{0};
};

namespace {

std::mutex installed; // guards current
TerminationSignals::State* current = nullptr;

BOOL WINAPI Handler(DWORD) {
    std::lock_guard guard(installed);
    if (!current)
        return FALSE; // the default: the process ends
    ++current->requests;
    if (current->onRequest)
        current->onRequest();
    return TRUE;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onRequest) : state_(std::make_unique<State>()) {
    state_->onRequest = std::move(onRequest);
    std::lock_guard guard(installed);
    current = state_.get();
    SetConsoleCtrlHandler(&Handler, TRUE);
}

TerminationSignals::~TerminationSignals() {
    std::lock_guard guard(installed);
    SetConsoleCtrlHandler(&Handler, FALSE);
    current = nullptr;
}

int TerminationSignals::requests() const {
    return state_->requests;
}

void EndProcessNow(int exitCode) {
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    std::_Exit(exitCode);
}

} // namespace platform
