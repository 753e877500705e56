#pragma once
// One connection to the session bus with a thread of its own that serves it: the objects registered on
// the connection answer there, and work for the connection (signals, calls) is handed to that thread with
// Post. The thread sleeps in poll until the bus or Post wakes it, so an idle program makes no wake-ups.
// When the bus goes away (the session's bus daemon ended), the thread ends; work handed over later runs
// on the caller's thread (Run) or is dropped (Post), and fails there as calls on a lost bus do.
// Linux backend only.

#include <sdbus-c++/sdbus-c++.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace platform {

class DesktopBus {
public:
    // How long Run waits for the bus thread to take its task, and the destructor for the thread to end.
    static constexpr int kWaitMilliseconds = 3000;

    // Connects to the session bus ($DBUS_SESSION_BUS_ADDRESS) and takes `name` when it is not empty. Null
    // when there is no bus or the name is taken.
    static std::unique_ptr<DesktopBus> Connect(const std::string& name);
    // Connects to the bus at `address` (a D-Bus address such as "unix:path=..."), taking no name. Null
    // when it cannot be reached.
    static std::unique_ptr<DesktopBus> ConnectTo(const std::string& address);
    // Ends the thread, waiting for it at most kWaitMilliseconds; a thread still inside a call then (a
    // peer that does not answer) is left to end by itself with the connection.
    ~DesktopBus();
    DesktopBus(const DesktopBus&) = delete;
    DesktopBus& operator=(const DesktopBus&) = delete;

    sdbus::IConnection& connection();
    // Starts serving; objects are registered before.
    void Start();
    // Runs `task` on the bus thread soon, in posting order. Exceptions from sdbus are caught there.
    void Post(std::function<void()> task);
    // Runs `task` on the bus thread and waits for it; directly when called on that thread, before Start
    // or once the bus is lost. False when the thread did not take it within kWaitMilliseconds (busy with
    // a call that does not end): the task then never runs.
    bool Run(const std::function<void()>& task);
    bool onBusThread() const;
    // False once the connection to the bus was lost.
    bool connected() const;

    struct Shared;

private:
    DesktopBus() = default;

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

} // namespace platform
