#pragma once
// A session bus of the test's own (dbus-daemon), made the process's session bus for as long as the object
// lives; the daemon ends with it. Tests of desktop services never touch the user's real session.

#include "support/ScopedEnvironment.h"

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // False when dbus-daemon could not be started (then the tests skip).
    bool running() const { return processId_ > 0; }
    const std::string& address() const { return address_; }
    // Ends the daemon now, as a session bus that goes away under its clients.
    void End();

private:
    std::string address_;
    long processId_ = 0;
    std::unique_ptr<ScopedEnvironment> environment_;
};

// Runs a command line tool to its end and answers its standard output (and error); `exitCode` receives
// its exit code.
std::string RunTool(const std::vector<std::string>& arguments, int* exitCode = nullptr);

} // namespace testsupport
