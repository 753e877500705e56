#include "platform/Event.h"
#include "platform/win32/Win32Handles.h"

#include <vector>

namespace platform {

Event::Event() : state_(std::make_unique<State>()) {
    state_->handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

Event::~Event() {
    if (state_ && state_->socket)
        state_->socket->Unbind();
    if (state_ && state_->handle)
        CloseHandle(state_->handle);
}

Event::Event(Event&&) noexcept = default;
Event& Event::operator=(Event&& other) noexcept {
    if (this != &other) {
        Event dying(std::move(*this));
        state_ = std::move(other.state_);
    }
    return *this;
}

bool Event::valid() const {
    return state_ && state_->handle;
}

void Event::Set() {
    if (!valid())
        return;
    state_->set = true;
    SetEvent(state_->handle);
}

int WaitForAny(std::span<Event* const> events) {
    if (events.empty() || events.size() > MAXIMUM_WAIT_OBJECTS)
        return -1;
    std::vector<HANDLE> handles(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (!events[i] || !events[i]->valid())
            return -1;
        handles[i] = events[i]->state()->handle;
    }
    for (;;) {
        // Alertable, so that queued APCs run; the wait answers the lowest signalled index and resets
        // only that auto-reset event.
        DWORD result = WaitForMultipleObjectsEx(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                                INFINITE, TRUE);
        if (result == WAIT_IO_COMPLETION)
            continue;
        if (result >= WAIT_OBJECT_0 + handles.size())
            return -1;
        const int index = static_cast<int>(result - WAIT_OBJECT_0);
        Event::State* state = events[static_cast<std::size_t>(index)]->state();
        const bool set = state->set.exchange(false);
        const bool network = state->socket && state->socket->Collect();
        if (set || network || !state->socket)
            return index;
        // The socket's event was signalled with nothing new to report: wait again.
    }
}

bool WaitForEvent(Event& event, int milliseconds) {
    if (!event.valid())
        return false;
    DWORD timeout = milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
    if (WaitForSingleObject(event.state()->handle, timeout) != WAIT_OBJECT_0)
        return false;
    event.state()->set = false;
    if (event.state()->socket)
        event.state()->socket->Collect();
    return true;
}

} // namespace platform
