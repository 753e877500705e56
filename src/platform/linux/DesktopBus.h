#pragma once
// One connection to the session bus with a thread of its own that serves it: the objects registered on
// the connection answer there, and work for the connection (signals, calls) is handed to that thread with
// Post. The thread sleeps in poll until the bus or Post wakes it, so an idle program makes no wake-ups.
// Linux backend only.

#include <sdbus-c++/sdbus-c++.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {

class DesktopBus {
public:
    // Connects to the session bus ($DBUS_SESSION_BUS_ADDRESS) and takes `name` when it is not empty. Null
    // when there is no bus or the name is taken.
    static std::unique_ptr<DesktopBus> Connect(const std::string& name);
    ~DesktopBus();
    DesktopBus(const DesktopBus&) = delete;
    DesktopBus& operator=(const DesktopBus&) = delete;

    sdbus::IConnection& connection() { return *connection_; }
    // Starts serving; objects are registered before.
    void Start();
    // Runs `task` on the bus thread soon, in posting order. Exceptions from sdbus are caught there.
    void Post(std::function<void()> task);
    // Runs `task` on the bus thread and waits for it; directly when called on that thread or before Start.
    void Run(const std::function<void()>& task);
    bool onBusThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    DesktopBus() = default;
    void Loop();
    void Wake();

    std::unique_ptr<sdbus::IConnection> connection_;
    int wakeFd_ = -1;
    std::thread thread_;
    std::mutex lock_;
    std::vector<std::function<void()>> tasks_;
    bool stopping_ = false;
};

} // namespace platform
