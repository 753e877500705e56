#pragma once
// The whole of the program `vantri`: the single-instance rule, the command line, the context, the
// settings, the worker threads, the main window, the message loop and the shutdown.

#include "platform/Window.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class MainWindowBase;
struct MyAppContext;

// The command line as one narrow string: the arguments joined by single spaces.
std::string JoinCommandLine(const std::vector<std::string_view>& arguments);

struct ProgramOptions {
    // The single-instance channel's name (tests use their own).
    std::string instanceName = "vantri";
    // The window system (null: the desktop's).
    std::function<std::unique_ptr<platform::WindowSystem>()> openWindowSystem;
    // Called on the user-interface thread once the main window exists, and after each message the loop
    // dispatched (tests and benchmarks watch the program through these).
    std::function<void(MainWindowBase&, MyAppContext&)> started;
    std::function<void(MainWindowBase&, const platform::Message&)> dispatched;
};

// Runs the program for `commandLine`; answers the process's exit code: 0, or 1 when no window could be
// made.
int RunProgram(std::string_view commandLine, const ProgramOptions& options = {});

// The message loop of the user-interface thread, with the accelerator table of `owner`'s context.
void RunMessageLoop(
    platform::WindowSystem& system, MainWindowBase& owner,
    const std::function<void(MainWindowBase&, const platform::Message&)>& dispatched = nullptr);

// One message of the loop: a key of the accelerator table first becomes its command (sent to the main
// window), then the message is dispatched as it is.
void DispatchWithAccelerators(platform::WindowSystem& system, MainWindowBase& owner,
                              const platform::Message& message);
