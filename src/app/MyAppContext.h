#pragma once
// The one application-wide record: how threads and windows find each other. It lives for the whole
// run; every worker and window keeps a pointer to it. All fields start zero.

#include <atomic>
#include <cstdint>

namespace platform {
class PostTarget;
}
class MyMediaHandler;
class MyNetworkHandler;
class MyCallbacks;
class MainWindow;
class MySettings;

// A stream and a moment in it: station id, stream id, seconds. All 0 means none. The media thread may
// write the start link while the user-interface thread reads it, so the fields are atomic.
struct MyLink {
    std::atomic<std::int32_t> stationId{0};
    std::atomic<std::int32_t> streamId{0};
    std::atomic<std::int32_t> seconds{0};

    void Set(std::int32_t station, std::int32_t stream, std::int32_t at) {
        stationId = station;
        streamId = stream;
        seconds = at;
    }
    void Clear() { Set(0, 0, 0); }
    bool empty() const { return stationId == 0 && streamId == 0 && seconds == 0; }
};

struct MyAppContext {
    void* instance = nullptr; // the module instance
    // Null until the main window exists; callback messages are posted to it.
    std::atomic<platform::PostTarget*> mainWindowHandle{nullptr};
    const void* accelerators = nullptr; // table 115, loaded after the main window exists
    std::uint8_t debug = 0;             // 1 when the command line holds "debug"
    MyMediaHandler* mediaHandler = nullptr;
    MyNetworkHandler* networkHandler = nullptr;
    MyCallbacks* callbacks = nullptr;
    MainWindow* mainWindow = nullptr;
    MySettings* settings = nullptr;
    MyLink startLink;
    MyLink menuLink;
};
