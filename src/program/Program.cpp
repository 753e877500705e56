#include "program/Program.h"

#include "app/Links.h"
#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "app/MySettings.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkHandler.h"
#include "platform/Audio.h"
#include "platform/Environment.h"
#include "platform/InstanceChannel.h"
#include "platform/TerminationSignals.h"
#include "program/Commands.h"
#include "program/MainWindowBase.h"
#include "ui/MyResourceTables.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <utility>

using namespace platform;

namespace {

constexpr int kThreadStopMilliseconds = 5000;
// How long a second instance keeps trying to reach a first one that is starting or ending.
constexpr auto kHandOverTime = std::chrono::seconds(5);

// Messages of a second instance and exit requests that arrive before the main window exists wait here.
class EarlyRequests {
public:
    void AddMessage(std::string message) {
        std::lock_guard guard(lock_);
        messages_.push_back(std::move(message));
    }
    void RequestExit() { exit_ = true; }
    std::vector<std::string> TakeMessages() {
        std::lock_guard guard(lock_);
        return std::exchange(messages_, {});
    }
    bool exitRequested() const { return exit_; }

private:
    std::mutex lock_;
    std::vector<std::string> messages_;
    std::atomic<bool> exit_{false};
};

// The second instance's part: hand the command line to the first. The first may be starting (not yet
// listening) or ending (no longer listening); then this process may become the first itself.
enum class HandOver { Delivered, BecameFirst, Failed, Refused };

HandOver HandToFirstInstance(const std::string& name, std::string_view commandLine,
                             const InstanceChannel::Receiver& receiver,
                             std::unique_ptr<InstanceChannel>& channel) {
    const auto deadline = std::chrono::steady_clock::now() + kHandOverTime;
    for (;;) {
        switch (InstanceChannel::Deliver(name, commandLine)) {
        case InstanceChannel::Delivery::Delivered:
            return HandOver::Delivered;
        case InstanceChannel::Delivery::Refused:
            return HandOver::Refused;
        case InstanceChannel::Delivery::NotDelivered:
            break;
        }
        const InstanceChannel::Claim claim = InstanceChannel::Open(name, receiver, channel);
        if (claim == InstanceChannel::Claim::First)
            return HandOver::BecameFirst;
        if (claim == InstanceChannel::Claim::Unavailable || std::chrono::steady_clock::now() >= deadline)
            return HandOver::Failed;
        // The first instance is between taking the lock and listening, or is ending: try again shortly.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

std::string JoinCommandLine(const std::vector<std::string_view>& arguments) {
    std::string line;
    for (std::string_view argument : arguments) {
        if (!line.empty())
            line += ' ';
        line += argument;
    }
    return line;
}

void DispatchWithAccelerators(WindowSystem& system, MainWindowBase& owner, const Message& message) {
    const auto* table = static_cast<const std::vector<MyAccelerator>*>(owner.appContext->accelerators);
    if (table && message.message == WM_KEYDOWN && owner.window && message.window == owner.window.get()) {
        const int key = static_cast<int>(message.wParam);
        const bool control = system.IsKeyDown(VK_CONTROL), shift = system.IsKeyDown(VK_SHIFT),
                   alt = system.IsKeyDown(VK_MENU);
        // A text input with the focus takes its keys (letters, Ctrl+C, ...) before the table does.
        const MyControlBase* focus = owner.FocusedControl();
        const std::uint16_t command = focus && focus->WantsKey(key, control, shift, alt)
                                          ? 0
                                          : FindAccelerator(*table, key, control, shift, alt);
        if (command != 0)
            owner.window->Send(WM_COMMAND, command, 0);
    }
    system.DispatchMessage(message);
}

void RunMessageLoop(WindowSystem& system, MainWindowBase& owner,
                    const std::function<void(MainWindowBase&, const Message&)>& dispatched) {
    Message message;
    while (system.GetMessage(message)) {
        DispatchWithAccelerators(system, owner, message);
        if (dispatched)
            dispatched(owner, message);
        // Repaints overtake other queued messages.
        if (system.PeekPaintMessage(message)) {
            if (message.message == WM_QUIT)
                break;
            system.DispatchMessage(message);
            if (dispatched)
                dispatched(owner, message);
        }
    }
}

int RunProgram(std::string_view commandLine, const ProgramOptions& options) {
    MyAppContext context;
    EarlyRequests early;
    auto post = [&context](std::uint32_t message, std::intptr_t lParam) {
        return context.mainWindowHandle.Post({message, 0, lParam});
    };
    // SIGINT and SIGTERM end the program as "Exit Vantri" does. Set up before any thread starts.
    TerminationSignals signals([&] {
        early.RequestExit();
        context.mainWindowHandle.Post({WM_COMMAND, kCommand_Exit, 0});
    });

    // Single instance: the first instance listens; a later one hands over its command line and ends.
    const InstanceChannel::Receiver receiver = [&](std::string message) {
        auto* owned = new std::string(message);
        if (!post(MainWindowBase::kInstanceMessage, reinterpret_cast<std::intptr_t>(owned))) {
            delete owned;
            early.AddMessage(std::move(message));
        }
    };
    std::unique_ptr<InstanceChannel> channel;
    if (const auto runtime = GetEnv("XDG_RUNTIME_DIR");
        runtime && !runtime->empty() && (*runtime)[0] == '/') {
        // Said once here; without any private folder the message below says so instead.
        if (const std::string folder = InstanceChannel::Folder(); !folder.empty() && folder != *runtime)
            std::fprintf(
                stderr,
                "vantri: XDG_RUNTIME_DIR (%s) is not a folder of this user's that others cannot enter; "
                "the single-instance channel is kept in %s instead\n",
                runtime->c_str(), folder.c_str());
    }
    switch (InstanceChannel::Open(options.instanceName, receiver, channel)) {
    case InstanceChannel::Claim::First:
        break;
    case InstanceChannel::Claim::Second:
        switch (HandToFirstInstance(options.instanceName, commandLine, receiver, channel)) {
        case HandOver::Delivered:
            return 0;
        case HandOver::BecameFirst:
            break;
        case HandOver::Failed:
            std::fputs("vantri: another instance is running but does not answer\n", stderr);
            return 1;
        case HandOver::Refused:
            std::fputs("vantri: the single-instance channel is held by another user's process; the command "
                       "line was not handed over\n",
                       stderr);
            return 1;
        }
        break;
    case InstanceChannel::Claim::Unavailable:
        std::fputs("vantri: no private folder for the single-instance channel; running without it\n", stderr);
        break;
    }

    // The command line: a link to play, else "debug" anywhere sets the debug flag.
    if (!commandLine.empty()) {
        if (const auto link = ParseNarrowLink(commandLine))
            context.startLink.Set(link->stationId, link->streamId, link->seconds);
        else if (commandLine.find("debug") != std::string_view::npos)
            context.debug = 1;
    }

    // The toolkit is started on this thread, video before audio, before any worker thread.
    std::unique_ptr<WindowSystem> system =
        options.openWindowSystem ? options.openWindowSystem() : OpenDesktopWindowSystem();
    if (!system) {
        std::fputs("vantri: cannot open a window: no display (is DISPLAY set?)\n", stderr);
        return 1;
    }
    system->InstallMessageBoxSink();
    AudioSystem audio;
    context.instance = system.get();

    MySettings settings;
    context.settings = &settings;
    MyCallbacks callbacks(&context);
    context.callbacks = &callbacks;
    auto network = std::make_unique<MyNetworkHandler>(&context);
    if (std::u16string cacheFolder = StreamCache::UserFolder(); !cacheFolder.empty())
        network->SetStreamCache(std::make_unique<StreamCache>(std::move(cacheFolder)));
    context.networkHandler = network.get();
    network->Start();
    auto media = std::make_unique<MyMediaHandler>(&context);
    context.mediaHandler = media.get();
    media->Start();

    auto owner = std::make_unique<MainWindowBase>();
    const bool created = owner->StartApplication(system.get(), &context);
    int exitCode = 0;
    if (created) {
        if (options.started)
            options.started(*owner, context);
        for (const std::string& message : early.TakeMessages())
            owner->HandleInstanceMessage(message);
        if (early.exitRequested())
            owner->window->Send(WM_COMMAND, kCommand_Exit, 0);
        RunMessageLoop(*system, *owner, options.dispatched);
    } else {
        std::fputs("vantri: the main window could not be created\n", stderr);
        exitCode = 1;
    }

    // Shutdown: the window first (callbacks posted from now on find no window), then the network thread
    // and the media thread, each waited for at most 5000 ms.
    owner.reset();
    channel.reset();
    network->Stop();
    const bool networkEnded = network->WaitForEnd(kThreadStopMilliseconds);
    media->Stop();
    const bool mediaEnded = media->WaitForEnd(kThreadStopMilliseconds);
    if (!networkEnded || !mediaEnded) {
        // A thread that did not stop may still use the context, the settings or its own object: none of
        // them is freed. The process ends here.
        EndProcessNow(exitCode);
    }
    return exitCode;
}
