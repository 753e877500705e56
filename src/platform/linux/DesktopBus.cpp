#include "platform/linux/DesktopBus.h"

#include <cerrno>
#include <cstdint>
#include <future>
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

namespace platform {

std::unique_ptr<DesktopBus> DesktopBus::Connect(const std::string& name) {
    std::unique_ptr<DesktopBus> bus(new DesktopBus());
    try {
        bus->connection_ = sdbus::createSessionBusConnection();
        if (!name.empty())
            bus->connection_->requestName(name);
    } catch (const sdbus::Error&) {
        return nullptr;
    }
    bus->wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (bus->wakeFd_ < 0)
        return nullptr;
    return bus;
}

DesktopBus::~DesktopBus() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    Wake();
    if (thread_.joinable())
        thread_.join();
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

void DesktopBus::Start() {
    if (!thread_.joinable())
        thread_ = std::thread([this] { Loop(); });
}

void DesktopBus::Post(std::function<void()> task) {
    {
        std::lock_guard guard(lock_);
        tasks_.push_back(std::move(task));
    }
    Wake();
}

void DesktopBus::Run(const std::function<void()>& task) {
    if (!thread_.joinable() || onBusThread()) {
        try {
            task();
        } catch (const sdbus::Error&) {
        }
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    Post([&] {
        try {
            task();
        } catch (const sdbus::Error&) {
        }
        done.set_value();
    });
    finished.wait();
}

void DesktopBus::Wake() {
    const std::uint64_t one = 1;
    while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void DesktopBus::Loop() {
    for (;;) {
        std::vector<std::function<void()>> tasks;
        {
            std::lock_guard guard(lock_);
            if (stopping_)
                return;
            tasks.swap(tasks_);
        }
        for (auto& task : tasks) {
            try {
                task();
            } catch (const sdbus::Error&) {
                // A call or signal the bus refused; the program goes on without it.
            }
        }
        sdbus::IConnection::PollData poll{};
        try {
            while (connection_->processPendingRequest()) {
            }
            poll = connection_->getEventLoopPollData();
        } catch (const sdbus::Error&) {
            return; // the bus is gone
        }
        pollfd fds[2] = {{poll.fd, poll.events, 0}, {wakeFd_, POLLIN, 0}};
        int timeout = -1;
        if (poll.timeout_usec != UINT64_MAX) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const std::uint64_t nowUsec = static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
                                          static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
            const std::uint64_t waitMs =
                poll.timeout_usec <= nowUsec ? 0 : (poll.timeout_usec - nowUsec + 999) / 1000;
            timeout = waitMs > 0x7fffffffu ? 0x7fffffff : static_cast<int>(waitMs);
        }
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            while (read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
            }
        }
    }
}

} // namespace platform
