#include "platform/linux/DesktopBus.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace platform {

// What the bus thread uses. The thread holds it too, so that a thread left behind by the destructor
// never uses freed memory.
struct DesktopBus::Shared {
    std::unique_ptr<sdbus::IConnection> connection;
    int wakeFd = -1;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::function<void()>> tasks;
    bool stopping = false;
    bool ended = false; // the thread has stopped serving: nothing it is given runs there any more
    std::atomic<bool> lost{false};

    ~Shared() {
        if (wakeFd >= 0)
            close(wakeFd);
    }

    void Wake() {
        const std::uint64_t one = 1;
        while (write(wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

    void Loop();
    bool ServeOnce();
};

namespace {

void RunCatching(const std::function<void()>& task) {
    try {
        task();
    } catch (const sdbus::Error&) {
        // A call or signal the bus refused; the program goes on without it.
    }
}

} // namespace

std::unique_ptr<DesktopBus> DesktopBus::Connect(const std::string& name) {
    std::unique_ptr<DesktopBus> bus(new DesktopBus());
    bus->shared_ = std::make_shared<Shared>();
    try {
        bus->shared_->connection = sdbus::createSessionBusConnection();
        if (!name.empty())
            bus->shared_->connection->requestName(name);
    } catch (const sdbus::Error&) {
        return nullptr;
    }
    bus->shared_->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (bus->shared_->wakeFd < 0)
        return nullptr;
    return bus;
}

std::unique_ptr<DesktopBus> DesktopBus::ConnectTo(const std::string& address) {
    std::unique_ptr<DesktopBus> bus(new DesktopBus());
    bus->shared_ = std::make_shared<Shared>();
    try {
        bus->shared_->connection = sdbus::createSessionBusConnectionWithAddress(address);
    } catch (const sdbus::Error&) {
        return nullptr;
    }
    bus->shared_->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (bus->shared_->wakeFd < 0)
        return nullptr;
    return bus;
}

DesktopBus::~DesktopBus() {
    if (!thread_.joinable())
        return;
    std::unique_lock guard(shared_->lock);
    shared_->stopping = true;
    shared_->Wake();
    const bool ended = shared_->changed.wait_for(guard, std::chrono::milliseconds(kWaitMilliseconds),
                                                 [&] { return shared_->ended; });
    guard.unlock();
    if (ended)
        thread_.join();
    else
        thread_.detach();
}

sdbus::IConnection& DesktopBus::connection() {
    return *shared_->connection;
}

void DesktopBus::Start() {
    if (!thread_.joinable())
        thread_ = std::thread([shared = shared_] { shared->Loop(); });
}

void DesktopBus::Post(std::function<void()> task) {
    {
        std::lock_guard guard(shared_->lock);
        if (shared_->ended)
            return;
        shared_->tasks.push_back(std::move(task));
    }
    shared_->Wake();
}

bool DesktopBus::Run(const std::function<void()>& task) {
    if (!thread_.joinable() || onBusThread()) {
        RunCatching(task);
        return true;
    }
    // The task's state: waiting to be taken, then taken (running or done), or given up by this thread.
    struct Job {
        bool taken = false;
        bool done = false;
        bool abandoned = false;
    };
    auto job = std::make_shared<Job>();
    std::unique_lock guard(shared_->lock);
    if (shared_->ended) {
        guard.unlock();
        // The thread no longer touches the connection: the task runs here, and fails as the bus is gone.
        RunCatching(task);
        return true;
    }
    Shared* shared = shared_.get();
    shared_->tasks.push_back([job, shared, &task] {
        {
            std::lock_guard taking(shared->lock);
            if (job->abandoned)
                return;
            job->taken = true;
        }
        RunCatching(task);
        std::lock_guard finishing(shared->lock);
        job->done = true;
        shared->changed.notify_all();
    });
    shared_->Wake();
    const bool taken = shared_->changed.wait_for(guard, std::chrono::milliseconds(kWaitMilliseconds),
                                                 [&] { return job->taken || shared_->ended; });
    if (!taken) {
        job->abandoned = true;
        return false;
    }
    // Once taken it runs to its end (a call's own time-out bounds it). A thread that ended before
    // taking it leaves it to this thread.
    shared_->changed.wait(guard, [&] { return job->done || (shared_->ended && !job->taken); });
    if (job->done)
        return true;
    job->abandoned = true;
    guard.unlock();
    RunCatching(task);
    return true;
}

bool DesktopBus::onBusThread() const {
    return thread_.joinable() && std::this_thread::get_id() == thread_.get_id();
}

bool DesktopBus::connected() const {
    return !shared_->lost;
}

void DesktopBus::Shared::Loop() {
    while (ServeOnce()) {
    }
    // Tasks handed over until now still run here (and fail on a lost bus); later ones are not taken.
    for (;;) {
        std::vector<std::function<void()>> left;
        {
            std::lock_guard guard(lock);
            if (tasks.empty()) {
                ended = true;
                changed.notify_all();
                return;
            }
            left.swap(tasks);
        }
        for (auto& task : left)
            RunCatching(task);
    }
}

// One round of the loop: the tasks handed over, the bus's pending work, then a wait. False when the
// thread is to stop or the bus is gone.
bool DesktopBus::Shared::ServeOnce() {
    std::vector<std::function<void()>> taken;
    {
        std::lock_guard guard(lock);
        if (stopping)
            return false;
        taken.swap(tasks);
    }
    for (auto& task : taken)
        RunCatching(task);
    sdbus::IConnection::PollData poll{};
    try {
        while (connection->processPendingRequest()) {
        }
        poll = connection->getEventLoopPollData();
    } catch (const sdbus::Error&) {
        lost = true;
        return false;
    }
    pollfd fds[2] = {{poll.fd, poll.events, 0}, {wakeFd, POLLIN, 0}};
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
    if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
        lost = true;
        return false;
    }
    if (fds[1].revents & POLLIN) {
        std::uint64_t count = 0;
        while (read(wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
        }
    }
    return true;
}

} // namespace platform
