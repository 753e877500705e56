#include "ArchiveWatch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <system_error>

namespace station {
namespace fs = std::filesystem;

struct ArchiveWatch::State {
    ~State() {
        if (signals >= 0)
            ::close(signals);
        if (notes >= 0)
            ::close(notes);
    }
    fs::path stations;
    int signals = -1;
    int notes = -1;

    void Add(const fs::path& folder) {
        constexpr std::uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_CLOSE_WRITE |
                                        IN_ONLYDIR | IN_DONT_FOLLOW;
        ::inotify_add_watch(notes, folder.c_str(), kMask);
    }

    // Reads the waiting notifications; answers whether one concerns a name the server looks at.
    bool Drain() {
        bool relevant = false;
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t got = ::read(notes, buffer, sizeof buffer);
            if (got <= 0)
                return relevant;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                const char* name = event->len > 0 ? event->name : "";
                if ((event->mask & IN_Q_OVERFLOW) || (name[0] != '\0' && name[0] != '.'))
                    relevant = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }
};

ArchiveWatch::ArchiveWatch(std::unique_ptr<State> state) : state_(std::move(state)) {}
ArchiveWatch::~ArchiveWatch() = default;

Result<std::unique_ptr<ArchiveWatch>> ArchiveWatch::Start(const fs::path& archive) {
    auto state = std::make_unique<State>();
    state->stations = archive / "stations";
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    state->signals = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (state->signals < 0)
        return Failure{"", 0, std::string("cannot take signals: ") + std::strerror(errno)};
    state->notes = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::unique_ptr<ArchiveWatch> watch(new ArchiveWatch(std::move(state)));
    watch->Refresh();
    return watch;
}

bool ArchiveWatch::watching() const {
    return state_->notes >= 0;
}

void ArchiveWatch::Refresh() {
    if (state_->notes < 0)
        return;
    // Adding a watch again for the same folder only renews it.
    state_->Add(state_->stations);
    std::error_code error;
    for (fs::directory_iterator it(state_->stations, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename().string().starts_with(".") || !it->is_directory(error))
            continue;
        state_->Add(it->path());
        if (fs::is_directory(it->path() / "streams", error))
            state_->Add(it->path() / "streams");
    }
}

ArchiveWatch::Wake ArchiveWatch::Wait() {
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> firstChange;
    for (;;) {
        pollfd waits[2] = {{state_->signals, POLLIN, 0}, {state_->notes, POLLIN, 0}};
        int timeout = -1;
        if (firstChange) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                *firstChange + longestDelay - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, std::min(settle, left).count()));
        }
        const int ready = ::poll(waits, state_->notes >= 0 ? 2 : 1, timeout);
        if (ready < 0 && errno != EINTR)
            return Wake::Stop;
        if (waits[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(state_->signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (info.ssi_signo != SIGHUP)
                    return Wake::Stop;
                return Wake::Rescan;
            }
        }
        if (state_->notes >= 0 && (waits[1].revents & POLLIN)) {
            if (state_->Drain() && !firstChange)
                firstChange = Clock::now();
            if (firstChange && Clock::now() - *firstChange < longestDelay)
                continue;
        }
        // Quiet for the settling time (or the burst went on too long): scan.
        if (firstChange && (ready == 0 || Clock::now() - *firstChange >= longestDelay))
            return Wake::Rescan;
    }
}

} // namespace station
