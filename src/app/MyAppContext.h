#pragma once
// The one application-wide record: how threads and windows find each other. It lives for the whole
// run; every worker and window keeps a pointer to it. All fields start zero.

#include "platform/PostTarget.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

class MyMediaHandler;
class MyNetworkHandler;
class MyCallbacks;
class MainWindow;
class MySettings;

// A stream and a moment in it: station id, stream id, seconds. All 0 means none.
struct MyLinkValue {
    std::int32_t stationId = 0;
    std::int32_t streamId = 0;
    std::int32_t seconds = 0;

    bool empty() const { return stationId == 0 && streamId == 0 && seconds == 0; }
    bool operator==(const MyLinkValue&) const = default;
};

// A link that more than one thread may read and write (the media thread writes the start link while the
// user-interface thread takes it). Every operation sees and changes the three fields together, so a
// reader never sees half of one link and half of another, and taking a link cannot wipe a newer one.
class MyLink {
public:
    void Set(std::int32_t station, std::int32_t stream, std::int32_t at) {
        std::lock_guard guard(lock_);
        Store({station, stream, at});
    }
    void Clear() { Set(0, 0, 0); }
    MyLinkValue Get() const {
        std::lock_guard guard(lock_);
        return Load();
    }
    bool empty() const { return Get().empty(); }
    // When the link names station `stationId` (not 0): answers it and clears it, in one step.
    std::optional<MyLinkValue> TakeForStation(std::int32_t stationId) {
        std::lock_guard guard(lock_);
        const MyLinkValue value = Load();
        if (stationId == 0 || value.stationId != stationId)
            return std::nullopt;
        Store({});
        return value;
    }
    // Sets the link only when it names no station; answers whether it did.
    bool SetIfNoStation(const MyLinkValue& value) {
        std::lock_guard guard(lock_);
        if (stationId != 0)
            return false;
        Store(value);
        return true;
    }

    // The fields one by one, for code on the one thread that writes a link (the copy-menu link). A link
    // another thread may write is read whole with Get.
    std::atomic<std::int32_t> stationId{0};
    std::atomic<std::int32_t> streamId{0};
    std::atomic<std::int32_t> seconds{0};

private:
    MyLinkValue Load() const { return {stationId, streamId, seconds}; }
    void Store(const MyLinkValue& value) {
        stationId = value.stationId;
        streamId = value.streamId;
        seconds = value.seconds;
    }

    mutable std::mutex lock_;
};

// The main window's handle as the worker threads see it. Posting holds a lock that clearing takes too,
// so once the handle has been cleared no thread is still inside a post to the old window, and the window
// may be freed. Callbacks posted after that find no window and are released by their sender.
class MyMainWindowHandle {
public:
    MyMainWindowHandle& operator=(platform::PostTarget* target) {
        std::lock_guard guard(lock_);
        target_ = target;
        return *this;
    }
    platform::PostTarget* load() const {
        std::lock_guard guard(lock_);
        return target_;
    }
    // False when there is no window or it refused the message; the sender then still owns it.
    bool Post(const platform::WindowMessage& message) {
        std::lock_guard guard(lock_);
        return target_ && target_->Post(message);
    }

private:
    mutable std::mutex lock_;
    platform::PostTarget* target_ = nullptr;
};

struct MyAppContext {
    void* instance = nullptr; // the module instance
    // Null until the main window exists and again before it is destroyed; callback messages go to it.
    MyMainWindowHandle mainWindowHandle;
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
