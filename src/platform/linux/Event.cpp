#include "platform/Event.h"
#include "platform/linux/SocketState.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace platform {

Event::Event() : state_(std::make_unique<State>()) {
    state_->fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

Event::~Event() {
    if (!state_)
        return;
    if (state_->socket)
        state_->socket->Unbind();
    if (state_->fd >= 0)
        close(state_->fd);
    if (state_->timerFd >= 0)
        close(state_->timerFd);
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
    return state_ && state_->fd >= 0;
}

void Event::Set() {
    if (!valid() || state_->signalled.exchange(true))
        return;
    const std::uint64_t one = 1;
    // A full counter cannot happen with auto-reset use; a failed write leaves the event signalled anyway.
    [[maybe_unused]] ssize_t written = write(state_->fd, &one, sizeof one);
}

namespace {

void Reset(Event::State& state) {
    std::uint64_t value;
    [[maybe_unused]] ssize_t got = read(state.fd, &value, sizeof value);
    // Cleared after the read: a Set in between is taken by this wake-up, as if it had come just before.
    state.signalled = false;
}

} // namespace

int WaitForAny(std::span<Event* const> events) {
    if (events.empty())
        return -1;
    // Two poll entries per event: its eventfd and, when bound, its socket.
    std::vector<pollfd> fds(events.size() * 2);
    for (;;) {
        for (std::size_t i = 0; i < events.size(); ++i) {
            Event::State* state = events[i] ? events[i]->state() : nullptr;
            if (!state || state->fd < 0)
                return -1;
            fds[2 * i] = {state->fd, POLLIN, 0};
            short interest = state->socket ? state->socket->Interest() : 0;
            fds[2 * i + 1] = {interest ? state->socket->fd : -1, interest, 0};
            if (state->timerFd >= 0)
                fds[2 * i + 1] = {state->timerFd, POLLIN, 0};
        }
        int ready = poll(fds.data(), fds.size(), -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        for (std::size_t i = 0; i < events.size(); ++i) {
            Event::State* state = events[i]->state();
            if (fds[2 * i].revents & (POLLERR | POLLNVAL))
                return -1;
            bool signalled = (fds[2 * i].revents & POLLIN) != 0;
            if (signalled)
                Reset(*state);
            if (fds[2 * i + 1].revents && state->socket && state->socket->Record(fds[2 * i + 1].revents))
                signalled = true;
            if (fds[2 * i + 1].revents && state->timerFd >= 0) {
                std::uint64_t expiries;
                // Reading clears the expiry; a timer re-armed in between reads nothing and is not lost.
                if (read(state->timerFd, &expiries, sizeof expiries) == sizeof expiries)
                    signalled = true;
            }
            if (signalled)
                return static_cast<int>(i);
        }
        // A socket woke the wait without anything worth recording (for example a readable socket whose
        // reads are not re-enabled yet): wait again.
    }
}

bool WaitForEvent(Event& event, int milliseconds) {
    if (!event.valid())
        return false;
    Event::State& state = *event.state();
    pollfd fds[2] = {{state.fd, POLLIN, 0}, {state.timerFd, POLLIN, 0}};
    const int count = state.timerFd >= 0 ? 2 : 1;
    for (;;) {
        int ready = poll(fds, count, milliseconds);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        if (fds[0].revents & POLLIN)
            Reset(state);
        if (count == 2 && (fds[1].revents & POLLIN)) {
            std::uint64_t expiries;
            [[maybe_unused]] ssize_t got = read(state.timerFd, &expiries, sizeof expiries);
        }
        return true;
    }
}

} // namespace platform
